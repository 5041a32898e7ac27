#pragma once

// Where a command's result goes: standard output or a file it creates. Text is gathered in one
// large buffer and written in big blocks, never flushed line by line, which is what keeps a
// million-record decode fast. A result counts as delivered only once Finish has written and
// flushed it: a full disk or a closed descriptor is a failure of the run (WriteError), never a
// silent success.

#include <cstdio>
#include <string>
#include <string_view>

namespace lmwire {

class Output {
  public:
    // Standard output.
    Output();
    // A file created (or truncated) at `path`; "-" is standard output. BadInput when it cannot
    // be created.
    explicit Output(const std::string& path);
    // Whatever Finish has not written is dropped: a command that stops on bad input leaves no
    // half-written block behind it.
    ~Output();
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
            WriteBuffer();
        }
    }
    // Writes what is gathered, then `block` straight from where it is: a large block is not
    // copied into the buffer first.
    void Write(std::string_view block);
    // Writes what is gathered and flushes it, for a reader waiting on a slow input.
    void Flush();
    // Writes the rest, flushes and closes; WriteError naming the output on any failure.
    void Finish();

  private:
    static constexpr std::size_t kBlock = 1 << 18;
    void WriteBuffer();

    std::FILE* file_;
    bool owned_;
    std::string name_;
    std::string buffer_;
};

// Flushes standard output and checks that everything written to it since the start arrived;
// WriteError otherwise. For text that reached stdout other than through an Output (help), whose
// writer may have met the error and left its reason in `errno` as `earlierError`.
void FinishStandardOutput(int earlierError = 0);

}  // namespace lmwire
