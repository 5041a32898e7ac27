#pragma once

// The bytes of a capture as they are read: a file, a pipe or standard input, decompressed on the
// way when they are zstd or gzip (recognised by their first bytes, not by a name). Memory stays
// bounded whatever the input's size; nothing is read ahead beyond one buffer.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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
    static std::unique_ptr<ByteStream> Open(const std::string& path,
                                            std::function<void()> beforeWait = {});
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
    // Up to `size` bytes; 0 only at the end. Waits for a pipe's writer. CaptureError on a read
    // error or damaged compressed data (a compressed stream that ends inside a frame included).
    [[nodiscard]] std::size_t Read(unsigned char* into, std::size_t size);
    // Exactly `size` bytes, or fewer only at the end (the count returned).
    [[nodiscard]] std::size_t ReadFull(unsigned char* into, std::size_t size);
    // Decompressed bytes handed out so far.
    [[nodiscard]] std::uint64_t Offset() const noexcept { return offset_; }

  protected:
    ByteStream(std::string name, Compression compression);
    // The implementation's read: up to `size` bytes, 0 at the end.
    virtual std::size_t ReadSome(unsigned char* into, std::size_t size) = 0;
    Compression compression_;

  private:
    std::string name_;
    std::uint64_t offset_ = 0;
    std::unique_ptr<unsigned char[]> peeked_;
    std::size_t peekedBegin_ = 0;
    std::size_t peekedEnd_ = 0;
};

}  // namespace Lumera::capture
