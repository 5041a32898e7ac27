#include "Input.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "Errors.h"

namespace lmwire {

Input::Input(const std::string& path) : file_(stdin), owned_(false), name_("standard input") {
    if (!path.empty() && path != "-") {
        file_ = std::fopen(path.c_str(), "rb");
        if (file_ == nullptr) {
            throw BadInput("cannot open " + path + ": " + std::strerror(errno));
        }
        owned_ = true;
        name_ = path;
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

std::string Input::ReadAll() {
    std::string all;
    if (size_) {
        all.reserve(*size_);
    }
    char chunk[1 << 16];
    for (;;) {
        const std::size_t got = Read(reinterpret_cast<unsigned char*>(chunk), sizeof chunk);
        all.append(chunk, got);
        if (got < sizeof chunk) {
            return all;
        }
    }
}

Bytes ReadBytes(Input& input, bool binary) {
    std::string all = input.ReadAll();
    if (binary) {
        return Bytes(all.begin(), all.end());
    }
    return ParseHex(all);
}

}  // namespace lmwire
