#pragma once

// Where a command's result goes: standard output or a file it creates. Text is gathered in one
// large buffer and written in big blocks, never flushed line by line, which is what keeps a
// million-record decode fast. A result counts as delivered only once Finish has written and
// flushed it: a full disk or a closed descriptor is a failure of the run (WriteError), never a
// silent success.

#include <cstdio>
#include <exception>
#include <memory>
#include <string>
#include <string_view>

#ifdef LMWIRE_HAVE_CAPTURE
namespace Lumera::capture {
class CaptureWriter;
}
#endif

namespace lmwire {

class ReplacedFile;

// A capture file compressed on the way out: a zstd level (1 to 19), or 0 for none.
struct Compress {
    int zstdLevel = 0;
};
// What a file of records is: the records back to back, or Ethernet frames of UDP datagrams in a
// pcap or, with nanosecond times, a pcapng (written through Capture()).
enum class Framing { None, Pcap, Pcapng };

class Output {
  public:
    // Standard output.
    Output();
    // The file named `path`, replaced only once Finish succeeds (see ReplacedFile); "-" is
    // standard output. BadInput when it cannot be created.
    explicit Output(const std::string& path);
    // A capture file, compressed or framed through the capture component; BadInput where this
    // build has none.
    Output(const std::string& path, Compress compress, Framing framing = Framing::None);
    // Whatever Finish has not written is dropped: a command that stops on bad input leaves no
    // half-written block behind it, and a named file as it was.
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

#ifdef LMWIRE_HAVE_CAPTURE
    // The writer of a compressed or framed output, for whole packets; its CaptureError on a
    // failed write is the output's WriteError (Failed).
    Lumera::capture::CaptureWriter& Capture() {
        return *capture_;
    }
    [[noreturn]] void Failed(const std::exception& error) const;
#endif

  private:
    static constexpr std::size_t kBlock = 1 << 18;
    void WriteBuffer();
    void Put(const char* data, std::size_t size);

#ifdef LMWIRE_HAVE_CAPTURE
    std::unique_ptr<Lumera::capture::CaptureWriter> capture_;
#endif
    std::FILE* file_;
    std::unique_ptr<ReplacedFile> named_;
    std::string name_;
    std::string buffer_;
};

// Lines written in place into one block that grows as needed and is never zero-filled, so that
// a line costs only the writing of its bytes.
class TextBlock {
  public:
    // Room for at least `room` bytes at the end of the block; Commit says where they end.
    char* Room(std::size_t room) {
        if (capacity_ - size_ < room) {
            Grow(room);
        }
        return data_.get() + size_;
    }
    void Commit(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
    std::string_view View() const { return {data_.get(), size_}; }
    std::size_t Size() const { return size_; }
    void Clear() { size_ = 0; }

  private:
    void Grow(std::size_t room);

    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::size_t capacity_ = 0;
};

// Flushes standard output and checks that everything written to it since the start arrived;
// WriteError otherwise. For text that reached stdout other than through an Output (help), whose
// writer may have met the error and left its reason in `errno` as `earlierError`.
void FinishStandardOutput(int earlierError = 0);

}  // namespace lmwire
