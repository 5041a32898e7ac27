#include "Input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "Errors.h"
#include "Text.h"

namespace lmwire {

Input::Input(const std::string& path) : file_(stdin), owned_(false), name_("standard input") {
    if (!path.empty() && path != "-") {
        file_ = std::fopen(path.c_str(), "rb");
        if (file_ == nullptr) {
            throw BadInput("cannot open " + Escaped(path) + ": " + std::strerror(errno));
        }
        owned_ = true;
        name_ = Escaped(path);
    }
    struct stat info {};
    if (fstat(fileno(file_), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            throw BadInput(name_ + " is a directory");
        }
        if (S_ISREG(info.st_mode)) {
            size_ = static_cast<std::uint64_t>(info.st_size);
        }
    }
}

Input::~Input() {
    if (owned_) {
        std::fclose(file_);
    }
}

std::size_t Input::Read(unsigned char* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = std::fread(into + done, 1, size - done, file_);
        if (got == 0) {
            if (std::ferror(file_)) {
                throw BadInput("cannot read " + name_ + ": " + std::strerror(errno));
            }
            break;
        }
        done += got;
    }
    return done;
}

std::size_t ByteReader::Read(unsigned char* into, std::size_t size) {
    if (binary_) {
        return input_.Read(into, size);
    }
    std::size_t done = 0;
    while (done < size) {
        if (taken_ == decoded_.size()) {
            if (ended_) {
                break;
            }
            // Hex text of 64 KiB holds at most 32 KiB of bytes.
            decoded_.clear();
            taken_ = 0;
            char text[1 << 16];
            const std::size_t got =
                input_.Read(reinterpret_cast<unsigned char*>(text), sizeof text);
            decoder_.Feed(std::string_view(text, got), decoded_);
            if (got < sizeof text) {
                decoder_.Finish();
                ended_ = true;
            }
            continue;
        }
        const std::size_t n = std::min(size - done, decoded_.size() - taken_);
        std::memcpy(into + done, decoded_.data() + taken_, n);
        taken_ += n;
        done += n;
    }
    return done;
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
