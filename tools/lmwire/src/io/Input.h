#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/Hex.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "wire_types/capture/Stream.h"
#endif

namespace lmwire {

// A file named on the command line, or standard input for an empty name or "-". Read through its
// descriptor, so that a pipe hands over what has arrived instead of waiting for a full buffer.
// Where the capture component is built, the bytes come through its stream, which decompresses
// zstd and gzip input on the way; elsewhere they are read as they are.
class Input {
  public:
    // `beforeWait` runs whenever a read is about to wait for a writer.
    explicit Input(const std::string& path, std::function<void()> beforeWait = {});
#ifdef LMWIRE_HAVE_CAPTURE
    // Bytes the capture component hands over (a dataset's parts).
    explicit Input(std::unique_ptr<Lumera::capture::ByteStream> stream);
#endif
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Escaped for messages.
    const std::string& Name() const {
        return name_;
    }
    // Known for regular files, so that a bad length is refused before anything is read.
    std::optional<std::uint64_t> Size() const {
        return size_;
    }
    // Up to `size` bytes; fewer only at the end of the input.
    std::size_t Read(unsigned char* into, std::size_t size);
    // What has arrived, up to `size` bytes, waiting only when nothing has; 0 at the end.
    std::size_t ReadSome(unsigned char* into, std::size_t size);
    // True when a read would wait for a writer (a pipe or terminal with nothing pending).
    bool WouldBlock() const;
    // The first `size` bytes (fewer at the end of the input), without taking them: the reads
    // hand them out first. Waits only until they have arrived.
    std::string_view Peek(std::size_t size);
    // Empty, or what was missing where compressed input ended inside a frame.
    std::string CutText() const;
    // Whether the input was compressed.
    bool Compressed() const;

#ifdef LMWIRE_HAVE_CAPTURE
    // The stream itself, for a capture reader; the Input is not read after.
    std::unique_ptr<Lumera::capture::ByteStream> TakeStream() {
        return std::move(stream_);
    }
#endif

  private:
#ifdef LMWIRE_HAVE_CAPTURE
    std::unique_ptr<Lumera::capture::ByteStream> stream_;
    Bytes peeked_;  // a copy of what the stream holds back, for Peek's view
#else
    std::size_t ReadDescriptor(unsigned char* into, std::size_t size);

    int fd_;
    bool owned_;
    Bytes peeked_;
    std::size_t peekTaken_ = 0;  // of peeked_
#endif
    std::string name_;
    std::optional<std::uint64_t> size_;
};

// The bytes of an input, raw or decoded from hex text, handed out as they are read: nothing
// holds more than one piece of the input, whatever its length (a pipe, /dev/zero).
class ByteReader {
  public:
    ByteReader(Input& input, bool binary) : input_(input), binary_(binary) {}

    // Up to `size` bytes; fewer only at the end of the input, where hex with a digit left over
    // is refused.
    std::size_t Read(unsigned char* into, std::size_t size);
    // As Input::ReadSome, for the decoded bytes.
    std::size_t ReadSome(unsigned char* into, std::size_t size);
    bool WouldBlock() const { return taken_ == decoded_.size() && input_.WouldBlock(); }

  private:
    Input& input_;
    bool binary_;
    HexDecoder decoder_;
    Bytes decoded_;
    std::size_t taken_ = 0;  // of decoded_
    bool ended_ = false;
};

// At most `limit` + 1 bytes of the input: one more than a record may take is all it needs to
// see that the input is too long.
Bytes ReadAtMost(Input& input, bool binary, std::size_t limit);

}  // namespace lmwire
