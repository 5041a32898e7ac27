#include "wire_types/capture/Stream.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

#include "wire_types/capture/detail/Escaped.h"

namespace Lumera::capture {
namespace {

// One buffer of compressed input, one of peeked output: the stream's whole memory beside the
// decompressor's own window.
constexpr std::size_t kBuffer = std::size_t{1} << 16;

using detail::Escaped;

// A descriptor or the caller's memory, decompressed on the way when its first bytes say so.
class SourceStream final : public ByteStream {
  public:
    SourceStream(std::string name, int fd, bool owned, std::function<void()> beforeWait)
        : ByteStream(std::move(name), Compression::None),
          fd_(fd),
          owned_(owned),
          beforeWait_(std::move(beforeWait)) {}

    SourceStream(std::string name, const unsigned char* data, std::size_t length)
        : ByteStream(std::move(name), Compression::None), memory_(data), memoryLength_(length) {
        size_ = length;
    }

    ~SourceStream() override {
        if (zstd_ != nullptr) {
            ZSTD_freeDStream(zstd_);
        }
        if (gzipOpen_) {
            inflateEnd(&gzip_);
        }
        if (owned_) {
            close(fd_);
        }
    }
    SourceStream(const SourceStream&) = delete;
    SourceStream& operator=(const SourceStream&) = delete;

    // A regular file: read (and decompressed) ahead on a thread of its own (AheadStream).
    bool ReadAhead() const noexcept { return regular_; }

    // Reads the first bytes (at most 4, fewer only at the end) to know the compression.
    void Start() {
        if (fd_ >= 0) {
            struct stat info {};
            if (fstat(fd_, &info) == 0) {
                if (S_ISDIR(info.st_mode)) {
                    throw CaptureError(Name() + " is a directory");
                }
                pollable_ = !S_ISREG(info.st_mode);
                regular_ = S_ISREG(info.st_mode);
                if (S_ISREG(info.st_mode)) {
                    size_ = static_cast<std::uint64_t>(info.st_size);
                }
            }
        }
        in_ = std::make_unique<unsigned char[]>(kBuffer);
        while (inEnd_ < 4 && !rawEnded_) {
            const std::size_t got = RawRead(in_.get() + inEnd_, 4 - inEnd_, false);
            rawEnded_ = got == 0;
            inEnd_ += got;
        }
        compression_ = DetectCompression(in_.get(), inEnd_);
        if (compression_ == Compression::Zstd) {
            zstd_ = ZSTD_createDStream();
            if (zstd_ == nullptr) {
                throw std::bad_alloc();
            }
        } else if (compression_ == Compression::Gzip) {
            // 15 + 16: the largest window, and a gzip wrapper only.
            if (inflateInit2(&gzip_, 15 + 16) != Z_OK) {
                throw std::bad_alloc();
            }
            gzipOpen_ = true;
        }
        if (compression_ != Compression::None) {
            size_.reset();
        }
    }

  protected:
    std::size_t ReadSome(unsigned char* into, std::size_t size) override {
        if (size == 0) {
            return 0;
        }
        switch (compression_) {
            case Compression::Zstd:
                return ReadZstd(into, size);
            case Compression::Gzip:
                return ReadGzip(into, size);
            case Compression::None:
                break;
        }
        if (inBegin_ < inEnd_) {
            const std::size_t n = std::min(size, inEnd_ - inBegin_);
            std::memcpy(into, in_.get() + inBegin_, n);
            inBegin_ += n;
            return n;
        }
        return RawRead(into, size, true);
    }

    bool SourceWouldBlock() const override {
        if (fd_ < 0 || !pollable_ || inBegin_ < inEnd_ || pending_ || rawEnded_) {
            return false;
        }
        pollfd request{fd_, POLLIN, 0};
        return poll(&request, 1, 0) == 0;
    }

  private:
    std::size_t RawRead(unsigned char* into, std::size_t size, bool mayWait) {
        if (fd_ < 0) {
            const std::size_t n = std::min(size, memoryLength_ - memoryAt_);
            if (n != 0) {
                std::memcpy(into, memory_ + memoryAt_, n);
            }
            memoryAt_ += n;
            return n;
        }
        if (mayWait && beforeWait_ && SourceWouldBlock()) {
            beforeWait_();
        }
        for (;;) {
            const ssize_t got = read(fd_, into, size);
            if (got >= 0) {
                return static_cast<std::size_t>(got);
            }
            if (errno != EINTR) {
                throw CaptureError("cannot read " + Name() + ": " + std::strerror(errno));
            }
        }
    }

    // More compressed input when all of it is used; false at the input's end.
    bool Refill() {
        if (inBegin_ < inEnd_) {
            return true;
        }
        if (rawEnded_) {
            return false;
        }
        inBegin_ = 0;
        inEnd_ = RawRead(in_.get(), kBuffer, true);
        rawEnded_ = inEnd_ == 0;
        return !rawEnded_;
    }

    // More input unless the decompressor may still hold output; false when there is none to
    // give it (the input's end, or output to take first).
    bool Feed() {
        if (inBegin_ < inEnd_) {
            return true;
        }
        return !pending_ && Refill();
    }

    // At the input's end with nothing held back: the end, or a cut when a frame or member is
    // open (the decompressor is not asked again: zstd would take the silence for a new frame).
    bool Ended(bool fed, const char* what) {
        if (fed || pending_) {
            return false;
        }
        if (inFrame_) {
            cut_ = what;
        }
        return true;
    }

    // Frames one after another, skippable frames among them; `ZSTD_decompressStream` returns 0
    // exactly where a frame has ended and been flushed, so anything else at the end is a cut.
    std::size_t ReadZstd(unsigned char* into, std::size_t size) {
        for (;;) {
            const bool fed = Feed();
            if (Ended(fed, "the zstd data end inside a frame")) {
                return 0;
            }
            ZSTD_inBuffer in{in_.get() + inBegin_, inEnd_ - inBegin_, 0};
            ZSTD_outBuffer out{into, size, 0};
            const std::size_t result = ZSTD_decompressStream(zstd_, &out, &in);
            if (ZSTD_isError(result) != 0) {
                throw CaptureError(Name() + ": damaged zstd data: " + ZSTD_getErrorName(result));
            }
            inBegin_ += in.pos;
            inFrame_ = result != 0;
            pending_ = inFrame_ && out.pos == out.size;
            if (out.pos != 0) {
                return out.pos;
            }
        }
    }

    // Members one after another, as `cat a.gz b.gz` makes them.
    std::size_t ReadGzip(unsigned char* into, std::size_t size) {
        for (;;) {
            const bool fed = Feed();
            if (Ended(fed, "the gzip data end inside a member")) {
                return 0;
            }
            if (!inFrame_) {
                inflateReset(&gzip_);
                inFrame_ = true;
            }
            gzip_.next_in = in_.get() + inBegin_;
            gzip_.avail_in = static_cast<uInt>(inEnd_ - inBegin_);
            gzip_.next_out = into;
            gzip_.avail_out = static_cast<uInt>(std::min<std::size_t>(size, kBuffer));
            const uInt offered = gzip_.avail_out;
            const int result = inflate(&gzip_, Z_NO_FLUSH);
            inBegin_ = static_cast<std::size_t>(gzip_.next_in - in_.get());
            if (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END) {
                throw CaptureError(Name() + ": damaged gzip data: " +
                                   (gzip_.msg != nullptr ? gzip_.msg : "inflate failed"));
            }
            // An ended member holds no output.
            inFrame_ = result != Z_STREAM_END;
            pending_ = inFrame_ && gzip_.avail_out == 0;
            const std::size_t produced = offered - gzip_.avail_out;
            if (produced != 0) {
                return produced;
            }
        }
    }

    int fd_ = -1;
    bool owned_ = false;
    bool pollable_ = false;
    bool regular_ = false;
    std::function<void()> beforeWait_;
    const unsigned char* memory_ = nullptr;
    std::size_t memoryLength_ = 0;
    std::size_t memoryAt_ = 0;

    std::unique_ptr<unsigned char[]> in_;  // compressed input, or the first plain bytes
    std::size_t inBegin_ = 0;
    std::size_t inEnd_ = 0;
    bool rawEnded_ = false;
    bool inFrame_ = false;  // a frame or member begun and not ended
    bool pending_ = false;  // the decompressor may hold output without more input
    ZSTD_DStream* zstd_ = nullptr;
    z_stream gzip_{};
    bool gzipOpen_ = false;
};

// A regular file read on a thread of its own, a few blocks ahead of the reader: decoding takes
// one core, and decompression or the kernel's copy out of the page cache (a quarter of reading a
// plain pcap) the other, so decoding a compressed capture costs about what decoding the plain
// one does. Regular files only: they never wait for a writer, so none of a live input's
// flushing is at stake. Memory: the blocks, fixed.
class AheadStream final : public ByteStream {
  public:
    explicit AheadStream(std::unique_ptr<SourceStream> source)
        : ByteStream(source->Name(), source->Compressed()), source_(std::move(source)) {
        size_ = source_->Size();
        for (Block& block : blocks_) {
            block.data = std::make_unique<unsigned char[]>(kBlock);
        }
        worker_ = std::thread([this] { Run(); });
    }

    ~AheadStream() override {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        worker_.join();
    }
    AheadStream(const AheadStream&) = delete;
    AheadStream& operator=(const AheadStream&) = delete;

  protected:
    std::size_t ReadSome(unsigned char* into, std::size_t size) override {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return taken_ < filled_ || ended_; });
        if (taken_ == filled_) {
            if (error_) {
                std::rethrow_exception(error_);
            }
            cut_ = source_->CutText();
            return 0;
        }
        // The block is the reader's until `taken_` moves past it: copied without the lock.
        Block& block = blocks_[taken_ % kBlocks];
        lock.unlock();
        const std::size_t n = std::min(size, block.size - block.at);
        std::memcpy(into, block.data.get() + block.at, n);
        block.at += n;
        if (block.at == block.size) {
            lock.lock();
            ++taken_;
            lock.unlock();
            changed_.notify_all();
        }
        return n;
    }

  private:
    static constexpr std::size_t kBlocks = 4;
    static constexpr std::size_t kBlock = std::size_t{1} << 18;

    struct Block {
        std::unique_ptr<unsigned char[]> data;
        std::size_t size = 0;
        std::size_t at = 0;
    };

    void Run() {
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return stop_ || filled_ - taken_ < kBlocks; });
            if (stop_) {
                return;
            }
            // Free until `filled_` moves past it.
            Block& block = blocks_[filled_ % kBlocks];
            lock.unlock();
            std::exception_ptr error;
            std::size_t got = 0;
            try {
                got = source_->ReadFull(block.data.get(), kBlock);
            } catch (...) {
                error = std::current_exception();
            }
            block.size = got;
            block.at = 0;
            const bool last = got < kBlock || error;
            lock.lock();
            if (got != 0) {
                ++filled_;
            }
            if (last) {
                error_ = error;
                ended_ = true;
            }
            lock.unlock();
            changed_.notify_all();
            if (last) {
                return;
            }
        }
    }

    std::unique_ptr<SourceStream> source_;
    std::array<Block, kBlocks> blocks_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t filled_ = 0;  // blocks decompressed
    std::size_t taken_ = 0;   // blocks the reader has used up
    bool ended_ = false;
    bool stop_ = false;
    std::exception_ptr error_;
    std::thread worker_;
};

}  // namespace

const char* CompressionName(Compression compression) noexcept {
    switch (compression) {
        case Compression::None:
            return "none";
        case Compression::Zstd:
            return "zstd";
        case Compression::Gzip:
            return "gzip";
    }
    return "";
}

Compression DetectCompression(const unsigned char* head, std::size_t length) noexcept {
    if (length >= 4 && head[0] == 0x28 && head[1] == 0xB5 && head[2] == 0x2F && head[3] == 0xFD) {
        return Compression::Zstd;
    }
    // A skippable frame may come first: 0x184D2A5? in little-endian order.
    if (length >= 4 && (head[0] & 0xF0) == 0x50 && head[1] == 0x2A && head[2] == 0x4D &&
        head[3] == 0x18) {
        return Compression::Zstd;
    }
    if (length >= 3 && head[0] == 0x1F && head[1] == 0x8B && head[2] == 8) {
        return Compression::Gzip;
    }
    return Compression::None;
}

std::unique_ptr<ByteStream> ByteStream::Open(const std::string& path,
                                             std::function<void()> beforeWait, std::string name) {
    if (name.empty()) {
        name = path == "-" ? "standard input" : Escaped(path);
    }
    std::unique_ptr<SourceStream> stream;
    if (path == "-") {
        stream = std::make_unique<SourceStream>(std::move(name), STDIN_FILENO, false,
                                                std::move(beforeWait));
    } else {
        const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            throw CaptureError("cannot open " + name + ": " + std::strerror(errno));
        }
        stream = std::make_unique<SourceStream>(std::move(name), fd, true, std::move(beforeWait));
    }
    stream->Start();
    if (stream->ReadAhead()) {
        return std::make_unique<AheadStream>(std::move(stream));
    }
    return stream;
}

std::unique_ptr<ByteStream> ByteStream::FromMemory(const unsigned char* data, std::size_t length,
                                                   std::string name) {
    auto stream = std::make_unique<SourceStream>(std::move(name), data, length);
    stream->Start();
    return stream;
}

ByteStream::ByteStream(std::string name, Compression compression)
    : compression_(compression), name_(std::move(name)) {}

ByteStream::~ByteStream() = default;

// At least `size` bytes in the peek buffer, fewer only at the end; each read asks for `ask` bytes
// at most, so that a peek never waits for more than it looks at.
void ByteStream::Gather(std::size_t size, std::size_t ask) {
    if (!peeked_) {
        peeked_ = std::make_unique<unsigned char[]>(kBuffer);
    }
    if (peekedEnd_ - peekedBegin_ >= size) {
        return;
    }
    std::memmove(peeked_.get(), peeked_.get() + peekedBegin_, peekedEnd_ - peekedBegin_);
    peekedEnd_ -= peekedBegin_;
    peekedBegin_ = 0;
    while (peekedEnd_ < size) {
        const std::size_t got =
            ReadSome(peeked_.get() + peekedEnd_, std::min(ask, kBuffer) - peekedEnd_);
        if (got == 0) {
            break;
        }
        peekedEnd_ += got;
    }
}

std::size_t ByteStream::Peek(unsigned char* into, std::size_t size) {
    size = std::min(size, kBuffer);
    Gather(size, size);
    const std::size_t n = std::min(size, peekedEnd_ - peekedBegin_);
    std::memcpy(into, peeked_.get() + peekedBegin_, n);
    return n;
}

const unsigned char* ByteStream::ReadView(std::size_t size) {
    if (size > kMostViewed) {
        return nullptr;
    }
    Gather(size, kBuffer);
    if (peekedEnd_ - peekedBegin_ < size) {
        return nullptr;
    }
    const unsigned char* view = peeked_.get() + peekedBegin_;
    peekedBegin_ += size;
    offset_ += size;
    return view;
}

std::size_t ByteStream::Read(unsigned char* into, std::size_t size) {
    const bool small = size != 0 && size < kBuffer / 4;
    if (small && peekedBegin_ == peekedEnd_) {
        // A packet capture is read a header and a packet at a time: a system call or a
        // decompressor's call for each would cost more than decoding the packet, so small reads
        // share one large one (which hands over what has arrived, as a small one would).
        if (!peeked_) {
            peeked_ = std::make_unique<unsigned char[]>(kBuffer);
        }
        peekedBegin_ = peekedEnd_ = 0;  // empty while it waits, as WouldBlock must see it
        peekedEnd_ = ReadSome(peeked_.get(), kBuffer);
    }
    std::size_t n = 0;
    if (peekedBegin_ < peekedEnd_) {
        n = std::min(size, peekedEnd_ - peekedBegin_);
        std::memcpy(into, peeked_.get() + peekedBegin_, n);
        peekedBegin_ += n;
    } else if (!small) {
        n = ReadSome(into, size);
    }
    offset_ += n;
    return n;
}

std::size_t ByteStream::ReadFull(unsigned char* into, std::size_t size) {
    std::size_t done = 0;
    while (done < size) {
        const std::size_t got = Read(into + done, size - done);
        if (got == 0) {
            break;
        }
        done += got;
    }
    return done;
}

bool ByteStream::WouldBlock() const {
    return peekedBegin_ == peekedEnd_ && SourceWouldBlock();
}

}  // namespace Lumera::capture
