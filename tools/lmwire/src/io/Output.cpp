#include "io/Output.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Errors.h"
#include "common/Text.h"
#include "io/ReplacedFile.h"

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

Output::~Output() = default;

void Output::WriteBuffer() {
    if (!buffer_.empty() &&
        std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        ThrowWriteError(name_, errno);
    }
    buffer_.clear();
}

void Output::Write(std::string_view block) {
    WriteBuffer();
    if (!block.empty() && std::fwrite(block.data(), 1, block.size(), file_) != block.size()) {
        ThrowWriteError(name_, errno);
    }
}

void Output::Flush() {
    WriteBuffer();
    if (std::fflush(file_) != 0) {
        ThrowWriteError(name_, errno);
    }
}

void Output::Finish() {
    WriteBuffer();
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
