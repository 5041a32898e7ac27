#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace lmwire {

// Standard output through one large buffer: lines are appended and written in big blocks, never
// flushed line by line, which is what keeps a million-record decode fast.
class Output {
  public:
    Output() { buffer_.reserve(kBlock + 4096); }
    ~Output() { Flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    std::string& Buffer() { return buffer_; }
    Output& operator<<(std::string_view text) {
        buffer_ += text;
        return *this;
    }
    // Call after each record or line; writes only when a block is full.
    void MaybeFlush() {
        if (buffer_.size() >= kBlock) {
            Flush();
        }
    }
    void Flush() {
        if (!buffer_.empty()) {
            std::fwrite(buffer_.data(), 1, buffer_.size(), stdout);
            buffer_.clear();
        }
        std::fflush(stdout);
    }

  private:
    static constexpr std::size_t kBlock = 1 << 18;
    std::string buffer_;
};

}  // namespace lmwire
