#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "Hex.h"

namespace lmwire {

// A file named on the command line, or standard input for an empty name or "-".
class Input {
  public:
    explicit Input(const std::string& path);
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    const std::string& Name() const { return name_; }
    // Known for regular files, so that a bad length is refused before anything is read.
    std::optional<std::uint64_t> Size() const { return size_; }
    // Up to `size` bytes; fewer only at the end of the input.
    std::size_t Read(unsigned char* into, std::size_t size);
    std::string ReadAll();

  private:
    std::FILE* file_;
    bool owned_;
    std::string name_;
    std::optional<std::uint64_t> size_;
};

// The whole input as bytes: raw with `binary`, otherwise hex text.
Bytes ReadBytes(Input& input, bool binary);

}  // namespace lmwire
