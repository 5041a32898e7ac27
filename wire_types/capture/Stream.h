#pragma once

// The bytes of a capture as they are read: a file, a pipe or standard input, decompressed on the
// way when they are zstd or gzip (recognised by their first bytes, not by a name). Memory stays
// bounded whatever the input's size: a regular file is read ahead by a megabyte at most, on a
// thread of its own, and a pipe not beyond one buffer.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

#include "wire_types/capture/Export.h"

namespace Lumera::capture {

// A capture that cannot be opened, read or written, or whose bytes are damaged; the message
// names the input ("standard input" or the file's name) and the reason.
class LMWIRE_CAPTURE_API CaptureError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class Compression { None, Zstd, Gzip };
[[nodiscard]] LMWIRE_CAPTURE_API const char* CompressionName(Compression compression) noexcept;
// By the first bytes (up to 4): zstd's frame magic or gzip's.
[[nodiscard]] LMWIRE_CAPTURE_API Compression DetectCompression(const unsigned char* head,
                                                               std::size_t length) noexcept;

class LMWIRE_CAPTURE_API ByteStream {
  public:
    // "-" is standard input. CaptureError when it cannot be opened. `beforeWait` runs whenever
    // the next read would wait for a writer (a pipe or a terminal with nothing pending), so that
    // a caller can show what it has while a capture is live.
    // `name` is how messages show the file; by default the path with control characters escaped.
    static std::unique_ptr<ByteStream> Open(const std::string& path,
                                            std::function<void()> beforeWait = {},
                                            std::string name = {});
    // Over bytes the caller keeps alive (tests, fuzzing, Python buffers).
    static std::unique_ptr<ByteStream> FromMemory(const unsigned char* data, std::size_t length,
                                                  std::string name = "memory");

    virtual ~ByteStream();
    ByteStream(const ByteStream&) = delete;
    ByteStream& operator=(const ByteStream&) = delete;

    // "standard input", or the escaped file name.
    [[nodiscard]] const std::string& Name() const noexcept { return name_; }
    // What the input was compressed with; its bytes come out decompressed.
    [[nodiscard]] Compression Compressed() const noexcept { return compression_; }

    // Up to `size` decompressed bytes without consuming them (fewer only at the end): a reader
    // looks at a capture's first bytes before it knows what it is. `size` at most 64 KiB.
    [[nodiscard]] std::size_t Peek(unsigned char* into, std::size_t size);
    // Up to `size` bytes; 0 only at the end. Waits for a pipe's writer, and hands over what has
    // arrived rather than waiting for `size` bytes. CaptureError on a read error or damaged
    // compressed data. Compressed data that end inside a zstd frame or gzip member are no damage
    // but a cut (a capture compressed as it was written, then stopped): the bytes decompressed
    // up to there are handed out, then the end, and CutText() says so.
    [[nodiscard]] std::size_t Read(unsigned char* into, std::size_t size);
    // Exactly `size` bytes, or fewer only at the end (the count returned).
    [[nodiscard]] std::size_t ReadFull(unsigned char* into, std::size_t size);
    // The next `size` bytes without a copy: a view valid until the next call on the stream, or
    // null with nothing consumed when fewer remain or `size` exceeds kMostViewed (ReadFull
    // then reads them). A packet capture's small headers and packets are read this way.
    static constexpr std::size_t kMostViewed = std::size_t{16} << 10;
    [[nodiscard]] const unsigned char* ReadView(std::size_t size);
    // Decompressed bytes handed out so far.
    [[nodiscard]] std::uint64_t Offset() const noexcept { return offset_; }
    // Empty, or what was cut once Read has returned the end: the compressed data stopped inside
    // a frame or member.
    [[nodiscard]] const std::string& CutText() const noexcept { return cut_; }
    // True when the next Read would wait for a writer (a pipe or a terminal with nothing
    // pending, and nothing buffered here); false for files and memory.
    [[nodiscard]] bool WouldBlock() const;
    // The input's size in bytes, known for an uncompressed regular file (so that a bad length is
    // refused before anything is read); empty otherwise.
    [[nodiscard]] std::optional<std::uint64_t> Size() const noexcept { return size_; }

  protected:
    ByteStream(std::string name, Compression compression);
    // The implementation's read: up to `size` bytes, 0 at the end.
    virtual std::size_t ReadSome(unsigned char* into, std::size_t size) = 0;
    // Whether ReadSome would wait now.
    [[nodiscard]] virtual bool SourceWouldBlock() const { return false; }
    Compression compression_;
    std::string cut_;
    std::optional<std::uint64_t> size_;

  private:
    void Gather(std::size_t size, std::size_t ask);

    std::string name_;
    std::uint64_t offset_ = 0;
    std::unique_ptr<unsigned char[]> peeked_;
    std::size_t peekedBegin_ = 0;
    std::size_t peekedEnd_ = 0;
};

}  // namespace Lumera::capture
