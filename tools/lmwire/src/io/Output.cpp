#include "io/Output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Errors.h"
#include "common/Text.h"
#include "io/ReplacedFile.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "wire_types/capture/CaptureWriter.h"
#endif

namespace lmwire {
namespace {

constexpr const char* kStandardOutput = "standard output";

[[noreturn]] void ThrowWriteError(const std::string& name, int error) {
    // A reader that went away is not our failure to report; the default SIGPIPE would have
    // ended the program already, so this is only reached when the signal is ignored.
    throw WriteError("cannot write " + name + ": " + std::strerror(error), error == EPIPE);
}

}  // namespace

Output::Output() : file_(stdout), name_(kStandardOutput) {
    buffer_.reserve(kBlock + 4096);
}

Output::Output(const std::string& path) : Output() {
    if (path != "-") {
        named_ = std::make_unique<ReplacedFile>(path);
        file_ = named_->Stream();
        name_ = named_->Name();
    }
}

#ifdef LMWIRE_HAVE_CAPTURE

Output::Output(const std::string& path, Compress compress, Framing framing) : Output(path) {
    if (compress.zstdLevel == 0 && framing == Framing::None) {
        return;
    }
    // The writer goes straight to the descriptor: nothing may wait in the stream's buffer.
    Flush();
    Lumera::capture::WriterOptions options;
    options.format = framing == Framing::Pcap     ? Lumera::capture::WriteFormat::Pcap
                     : framing == Framing::Pcapng ? Lumera::capture::WriteFormat::Pcapng
                                                  : Lumera::capture::WriteFormat::Raw;
    if (framing == Framing::Pcapng) {
        options.resolution = Lumera::capture::TimeResolution::Nanoseconds;
    }
    if (compress.zstdLevel != 0) {
        options.compression = Lumera::capture::Compression::Zstd;
        options.level = compress.zstdLevel;
    }
    options.name = name_;
    try {
        capture_ = std::make_unique<Lumera::capture::CaptureWriter>(fileno(file_), options);
    } catch (const Lumera::capture::CaptureError& error) {
        throw BadInput(error.what());
    }
}

void Output::Failed(const std::exception& error) const {
    throw WriteError(error.what(), capture_ && capture_->FailedErrno() == EPIPE);
}

#else

Output::Output(const std::string& path, Compress compress, Framing framing) : Output(path) {
    if (compress.zstdLevel != 0 || framing != Framing::None) {
        throw BadInput(
            "--compress and --pcap: this lmwire was built without the capture "
            "component (libpcap, libzstd and zlib)");
    }
}

#endif

Output::~Output() = default;

void Output::Put(const char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
#ifdef LMWIRE_HAVE_CAPTURE
    if (capture_) {
        try {
            capture_->WriteBytes(reinterpret_cast<const unsigned char*>(data), size);
        } catch (const Lumera::capture::CaptureError& error) {
            Failed(error);
        }
        return;
    }
#endif
    if (std::fwrite(data, 1, size, file_) != size) {
        ThrowWriteError(name_, errno);
    }
}

void Output::WriteBuffer() {
    Put(buffer_.data(), buffer_.size());
    buffer_.clear();
}

void Output::Write(std::string_view block) {
    WriteBuffer();
    Put(block.data(), block.size());
}

void Output::Flush() {
    WriteBuffer();
    if (std::fflush(file_) != 0) {
        ThrowWriteError(name_, errno);
    }
}

void Output::Finish() {
    WriteBuffer();
#ifdef LMWIRE_HAVE_CAPTURE
    if (capture_) {
        try {
            capture_->Finish();
        } catch (const Lumera::capture::CaptureError& error) {
            Failed(error);
        }
    }
#endif
    if (!named_) {
        FinishStandardOutput();
        return;
    }
    const std::unique_ptr<ReplacedFile> named = std::move(named_);
    file_ = nullptr;
    named->Commit();
}

void TextBlock::Grow(std::size_t room) {
    const std::size_t capacity = std::max(2 * capacity_, size_ + room);
    std::unique_ptr<char[]> data(new char[capacity]);
    if (size_ != 0) {
        std::memcpy(data.get(), data_.get(), size_);
    }
    data_ = std::move(data);
    capacity_ = capacity;
}

void FinishStandardOutput(int earlierError) {
    const int flushError = std::fflush(stdout) != 0 ? errno : 0;
    if (flushError != 0 || std::ferror(stdout) != 0) {
        ThrowWriteError(kStandardOutput, flushError != 0     ? flushError
                                         : earlierError != 0 ? earlierError
                                                             : EIO);
    }
}

}  // namespace lmwire
