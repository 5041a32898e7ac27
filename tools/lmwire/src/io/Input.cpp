#include "io/Input.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "common/Errors.h"
#include "common/Text.h"

namespace lmwire {
namespace {

// Up to `size` bytes from a source that hands over what has arrived; fewer only at its end.
template <class Source>
std::size_t ReadFully(Source& source, unsigned char* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = source.ReadSome(into + done, size - done);
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

}  // namespace

#ifdef LMWIRE_HAVE_CAPTURE

namespace {

// The stream's refusals are the input's: bad input, exit status 2.
template <class Call>
auto Reading(Call call) {
    try {
        return call();
    } catch (const Lumera::capture::CaptureError& error) {
        throw BadInput(error.what());
    }
}

}  // namespace

Input::Input(const std::string& path, std::function<void()> beforeWait)
    : stream_(Reading([&] {
          const bool standardInput = path.empty() || path == "-";
          return Lumera::capture::ByteStream::Open(
              standardInput ? "-" : path, std::move(beforeWait),
              standardInput ? "standard input" : Escaped(path));
      })),
      name_(stream_->Name()),
      size_(stream_->Size()) {}

Input::Input(std::unique_ptr<Lumera::capture::ByteStream> stream)
    : stream_(std::move(stream)), name_(stream_->Name()), size_(stream_->Size()) {}

Input::~Input() = default;

std::size_t Input::ReadSome(unsigned char* into, std::size_t size) {
    return Reading([&] { return stream_->Read(into, size); });
}

std::size_t Input::Read(unsigned char* into, std::size_t size) {
    return Reading([&] { return stream_->ReadFull(into, size); });
}

std::string_view Input::Peek(std::size_t size) {
    peeked_.resize(size);
    peeked_.resize(Reading([&] { return stream_->Peek(peeked_.data(), size); }));
    return {reinterpret_cast<const char*>(peeked_.data()), peeked_.size()};
}

bool Input::WouldBlock() const {
    return stream_->WouldBlock();
}

std::string Input::CutText() const {
    return stream_->CutText();
}

bool Input::Compressed() const {
    return stream_->Compressed() != Lumera::capture::Compression::None;
}

#else

Input::Input(const std::string& path, std::function<void()>)
    : fd_(STDIN_FILENO), owned_(false), name_("standard input") {
    if (!path.empty() && path != "-") {
        fd_ = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd_ < 0) {
            throw BadInput("cannot open " + Escaped(path) + ": " + std::strerror(errno));
        }
        owned_ = true;
        name_ = Escaped(path);
    }
    struct stat info {};
    if (fstat(fd_, &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            if (owned_) {
                close(fd_);
            }
            throw BadInput(name_ + " is a directory");
        }
        if (S_ISREG(info.st_mode)) {
            size_ = static_cast<std::uint64_t>(info.st_size);
        }
    }
}

Input::~Input() {
    if (owned_) {
        close(fd_);
    }
}

std::size_t Input::ReadSome(unsigned char* into, std::size_t size) {
    if (peekTaken_ < peeked_.size()) {
        const std::size_t n = std::min(size, peeked_.size() - peekTaken_);
        std::memcpy(into, peeked_.data() + peekTaken_, n);
        peekTaken_ += n;
        return n;
    }
    return ReadDescriptor(into, size);
}

std::size_t Input::ReadDescriptor(unsigned char* into, std::size_t size) {
    for (;;) {
        const ssize_t got = read(fd_, into, size);
        if (got >= 0) {
            return static_cast<std::size_t>(got);
        }
        if (errno != EINTR) {
            throw BadInput("cannot read " + name_ + ": " + std::strerror(errno));
        }
    }
}

std::size_t Input::Read(unsigned char* into, std::size_t size) {
    return ReadFully(*this, into, size);
}

std::string_view Input::Peek(std::size_t size) {
    peeked_.erase(peeked_.begin(), peeked_.begin() + static_cast<std::ptrdiff_t>(peekTaken_));
    peekTaken_ = 0;
    while (peeked_.size() < size) {
        const std::size_t at = peeked_.size();
        peeked_.resize(size);
        const std::size_t got = ReadDescriptor(peeked_.data() + at, size - at);
        peeked_.resize(at + got);
        if (got == 0) {
            break;
        }
    }
    return {reinterpret_cast<const char*>(peeked_.data()), std::min(size, peeked_.size())};
}

bool Input::WouldBlock() const {
    if (peekTaken_ < peeked_.size()) {
        return false;
    }
    if (size_) {
        return false;
    }
    pollfd request{fd_, POLLIN, 0};
    return poll(&request, 1, 0) == 0;
}

std::string Input::CutText() const {
    return {};
}

bool Input::Compressed() const {
    return false;
}

#endif

std::size_t ByteReader::ReadSome(unsigned char* into, std::size_t size) {
    if (binary_) {
        return input_.ReadSome(into, size);
    }
    while (taken_ == decoded_.size()) {
        if (ended_) {
            return 0;
        }
        // Hex text of 64 KiB holds at most 32 KiB of bytes.
        decoded_.clear();
        taken_ = 0;
        char text[1 << 16];
        const std::size_t got =
            input_.ReadSome(reinterpret_cast<unsigned char*>(text), sizeof text);
        decoder_.Feed(std::string_view(text, got), decoded_);
        if (got == 0) {
            decoder_.Finish();
            ended_ = true;
        }
    }
    const std::size_t n = std::min(size, decoded_.size() - taken_);
    std::memcpy(into, decoded_.data() + taken_, n);
    taken_ += n;
    return n;
}

std::size_t ByteReader::Read(unsigned char* into, std::size_t size) {
    return ReadFully(*this, into, size);
}

Bytes ReadAtMost(Input& input, bool binary, std::size_t limit) {
    ByteReader reader(input, binary);
    Bytes bytes;
    // Grown as bytes arrive rather than reserved at the limit: most records are small.
    constexpr std::size_t kStep = 1 << 16;
    while (bytes.size() <= limit) {
        const std::size_t at = bytes.size();
        const std::size_t want = std::min(kStep, limit + 1 - at);
        bytes.resize(at + want);
        const std::size_t got = reader.Read(bytes.data() + at, want);
        bytes.resize(at + got);
        if (got < want) {
            break;
        }
    }
    return bytes;
}

}  // namespace lmwire
