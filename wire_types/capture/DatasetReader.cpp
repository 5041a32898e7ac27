// A dataset's parts read back as one stream, each checked against the manifest before any of its
// records are handed out.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/Dataset.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/detail/Escaped.h"

namespace Lumera::capture {
namespace {

std::uint64_t Little(const unsigned char* p, std::size_t size) noexcept {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;) {
        value = value << 8 | p[i];
    }
    return value;
}

// The bytes a zstd file decompresses to, read from its frames' headers without decompressing:
// each frame header says its content size (the dataset writer always writes it), and its blocks'
// headers say where it ends. Empty when a frame does not say; CaptureError naming the file when
// the frames do not fill it exactly.
std::optional<std::uint64_t> ZstdContentSize(int fd, std::uint64_t size, const std::string& name) {
    const auto damaged = [&](const char* why) {
        return CaptureError("part " + name + " is damaged: " + why);
    };
    const auto readAt = [&](std::uint64_t at, unsigned char* into, std::size_t want) {
        const ssize_t got = pread(fd, into, want, static_cast<off_t>(at));
        if (got < 0) {
            throw CaptureError("cannot read part " + name + ": " + std::strerror(errno));
        }
        return static_cast<std::size_t>(got);
    };
    std::uint64_t content = 0;
    std::uint64_t at = 0;
    while (at < size) {
        unsigned char head[18] = {};
        const std::size_t got = readAt(at, head, sizeof head);
        if (got < 5) {
            throw damaged("it ends inside a zstd frame header");
        }
        const std::uint64_t magic = Little(head, 4);
        if ((magic & 0xFFFFFFF0u) == 0x184D2A50u) {  // a skippable frame
            at += 8 + Little(head + 4, 4);
            continue;
        }
        if (magic != 0xFD2FB528u) {
            throw damaged("not a zstd frame where one should begin");
        }
        const unsigned descriptor = head[4];
        const bool single = (descriptor >> 5 & 1) != 0;
        const std::size_t dictionary[] = {0, 1, 2, 4};
        const std::size_t sizes[] = {single ? 1u : 0u, 2, 4, 8};
        const std::size_t sizeBytes = sizes[descriptor >> 6];
        const std::size_t sizeAt = 5 + (single ? 0 : 1) + dictionary[descriptor & 3];
        if (sizeBytes == 0) {
            return std::nullopt;
        }
        if (got < sizeAt + sizeBytes) {
            throw damaged("it ends inside a zstd frame header");
        }
        content += Little(head + sizeAt, sizeBytes) + (sizeBytes == 2 ? 256 : 0);
        at += sizeAt + sizeBytes;
        for (bool last = false; !last;) {
            unsigned char block[3];
            if (readAt(at, block, 3) != 3) {
                throw damaged("it ends inside a zstd frame");
            }
            const std::uint64_t header = Little(block, 3);
            last = (header & 1) != 0;
            const unsigned type = header >> 1 & 3;
            if (type == 3) {
                throw damaged("a zstd block of a reserved type");
            }
            at += 3 + (type == 1 ? 1 : header >> 3);  // an RLE block is one byte on disk
        }
        at += (descriptor >> 2 & 1) != 0 ? 4 : 0;  // the checksum
    }
    if (at != size) {
        throw damaged("it ends inside a zstd frame");
    }
    return content;
}

class PartsStream final : public ByteStream {
  public:
    PartsStream(const std::string& directory, std::vector<DatasetPart> parts)
        : ByteStream(detail::Escaped(directory), Compression::None),
          directory_(directory),
          parts_(std::move(parts)) {
        std::uint64_t total = 0;
        for (const DatasetPart& part : parts_) {
            CheckSize(part);
            total += part.records * kRecordSize;
        }
        size_ = total;
    }

  protected:
    std::size_t ReadSome(unsigned char* into, std::size_t size) override {
        for (;;) {
            if (!part_) {
                if (next_ == parts_.size()) {
                    return 0;
                }
                Begin(parts_[next_++]);
            }
            const std::size_t got = part_->Read(into, size);
            handed_ += got;
            if (handed_ > expected_) {
                throw Changed();
            }
            if (got != 0) {
                return got;
            }
            if (handed_ != expected_ || !part_->CutText().empty()) {
                throw Changed();
            }
            part_.reset();
        }
    }

  private:
    std::string PathOf(const DatasetPart& part) const { return directory_ + "/" + part.path; }

    std::string Named(const DatasetPart& part) const { return detail::Escaped(PathOf(part)); }

    // Present, of the manifest's size; plain parts hold whole records by their size alone.
    void CheckSize(const DatasetPart& part) const {
        struct stat info {};
        if (stat(PathOf(part).c_str(), &info) != 0) {
            throw CaptureError("part " + Named(part) + " is missing: " + std::strerror(errno));
        }
        const auto bytes = static_cast<std::uint64_t>(info.st_size);
        if (!S_ISREG(info.st_mode) || bytes != part.bytes) {
            throw CaptureError("part " + Named(part) + " is " + std::to_string(bytes) +
                               " bytes, the manifest says " + std::to_string(part.bytes));
        }
        if (!Compressed(part) && bytes != part.records * kRecordSize) {
            throw Count(part, bytes);
        }
    }

    static bool Compressed(const DatasetPart& part) {
        return part.path.size() >= 4 && part.path.compare(part.path.size() - 4, 4, ".zst") == 0;
    }

    CaptureError Count(const DatasetPart& part, std::uint64_t bytes) const {
        return CaptureError("part " + Named(part) + " holds " +
                            (bytes % kRecordSize == 0
                                 ? std::to_string(bytes / kRecordSize) + " records"
                                 : std::to_string(bytes) + " bytes, no whole number of records") +
                            ", the manifest says " + std::to_string(part.records));
    }

    CaptureError Changed() const {
        return CaptureError("part " + Named(*current_) + " changed while it was read");
    }

    void Begin(const DatasetPart& part) {
        CheckSize(part);
        const int fd = open(PathOf(part).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            throw CaptureError("part " + Named(part) + " is missing: " + std::strerror(errno));
        }
        std::optional<std::uint64_t> content;
        try {
            content = Compressed(part) ? ZstdContentSize(fd, part.bytes, Named(part))
                                       : std::optional<std::uint64_t>(part.bytes);
        } catch (...) {
            close(fd);
            throw;
        }
        close(fd);
        if (!content) {
            content = Decompressed(part);
        }
        if (*content != part.records * kRecordSize) {
            throw Count(part, *content);
        }
        part_ = ByteStream::Open(PathOf(part), {}, Named(part));
        if ((part_->Compressed() == Compression::Zstd) != Compressed(part)) {
            throw CaptureError("part " + Named(part) + " is " +
                               CompressionName(part_->Compressed()) + ", its name says " +
                               (Compressed(part) ? "zstd" : "none"));
        }
        current_ = &part;
        handed_ = 0;
        expected_ = *content;
    }

    // Frames that do not say their size (another writer's): counted by decompressing them once.
    std::uint64_t Decompressed(const DatasetPart& part) const {
        const auto stream = ByteStream::Open(PathOf(part), {}, Named(part));
        std::uint64_t total = 0;
        unsigned char buffer[1 << 16];
        while (const std::size_t got = stream->Read(buffer, sizeof buffer)) {
            total += got;
        }
        if (!stream->CutText().empty()) {
            throw CaptureError("part " + Named(part) + " is cut short: " + stream->CutText());
        }
        return total;
    }

    std::string directory_;
    std::vector<DatasetPart> parts_;
    std::size_t next_ = 0;
    std::unique_ptr<ByteStream> part_;
    const DatasetPart* current_ = nullptr;
    std::uint64_t handed_ = 0;
    std::uint64_t expected_ = 0;
};

}  // namespace

std::unique_ptr<ByteStream> OpenParts(const std::string& directory,
                                      std::vector<DatasetPart> parts) {
    return std::make_unique<PartsStream>(directory, std::move(parts));
}

}  // namespace Lumera::capture
