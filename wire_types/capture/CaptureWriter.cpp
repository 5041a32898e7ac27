#include "wire_types/capture/CaptureWriter.h"

#include <unistd.h>
#include <zstd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

namespace Lumera::capture {
namespace {

constexpr std::size_t kBuffer = std::size_t{1} << 16;
// The largest IP datagram: every frame of one UDP datagram fits, and captures written before
// the component existed (through libpcap, with this snap length) are the same bytes.
constexpr std::uint32_t kSnapLength = 65535;
constexpr std::uint32_t kLinkEthernet = 1;

// Little-endian whatever the host: the files are the same bytes on every machine.
void Put16(unsigned char* p, std::uint16_t value) noexcept {
    p[0] = static_cast<unsigned char>(value);
    p[1] = static_cast<unsigned char>(value >> 8);
}
void Put32(unsigned char* p, std::uint32_t value) noexcept {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

}  // namespace

struct CaptureWriter::State {
    int fd = -1;
    WriterOptions options;
    ZSTD_CCtx* zstd = nullptr;
    std::unique_ptr<unsigned char[]> staged;  // what the caller wrote, not yet compressed or sent
    std::size_t stagedLength = 0;
    std::unique_ptr<unsigned char[]> compressed;
    int failedErrno = 0;
    bool finished = false;

    ~State() {
        if (zstd != nullptr) {
            ZSTD_freeCCtx(zstd);
        }
    }

    [[noreturn]] void Fail(const std::string& why) const {
        throw CaptureError("cannot write " + options.name + ": " + why);
    }

    // Every byte, through short writes and interruptions.
    void Send(const unsigned char* bytes, std::size_t length) {
        while (length != 0) {
            const ssize_t done = write(fd, bytes, length);
            if (done < 0) {
                if (errno == EINTR) {
                    continue;
                }
                failedErrno = errno;
                Fail(std::strerror(failedErrno));
            }
            bytes += done;
            length -= static_cast<std::size_t>(done);
        }
    }

    // The staged bytes out: as they are, or through the compressor (`end` closes its frame).
    void Flush(bool end) {
        if (zstd == nullptr) {
            Send(staged.get(), stagedLength);
            stagedLength = 0;
            return;
        }
        ZSTD_inBuffer in{staged.get(), stagedLength, 0};
        for (;;) {
            ZSTD_outBuffer out{compressed.get(), ZSTD_CStreamOutSize(), 0};
            const std::size_t left =
                ZSTD_compressStream2(zstd, &out, &in, end ? ZSTD_e_end : ZSTD_e_continue);
            if (ZSTD_isError(left) != 0) {
                Fail(std::string("zstd: ") + ZSTD_getErrorName(left));
            }
            Send(compressed.get(), out.pos);
            if (end ? left == 0 : in.pos == in.size) {
                break;
            }
        }
        stagedLength = 0;
    }

    void Append(const unsigned char* bytes, std::size_t length) {
        if (failedErrno != 0) {
            Fail(std::strerror(failedErrno));
        }
        if (finished) {
            Fail("the capture is already finished");
        }
        while (length != 0) {
            const std::size_t n = std::min(length, kBuffer - stagedLength);
            std::memcpy(staged.get() + stagedLength, bytes, n);
            stagedLength += n;
            bytes += n;
            length -= n;
            if (stagedLength == kBuffer) {
                Flush(false);
            }
        }
    }

    void WriteHeader() {
        const bool nano = options.resolution == TimeResolution::Nanoseconds;
        if (options.format == WriteFormat::Pcap) {
            unsigned char header[24] = {};
            Put32(header, nano ? 0xA1B23C4D : 0xA1B2C3D4);
            Put16(header + 4, 2);
            Put16(header + 6, 4);
            Put32(header + 16, kSnapLength);
            Put32(header + 20, kLinkEthernet);
            Append(header, sizeof header);
        } else if (options.format == WriteFormat::Pcapng) {
            // A section of unknown length, then one Ethernet interface with its resolution.
            unsigned char blocks[28 + 32] = {};
            Put32(blocks, 0x0A0D0D0A);
            Put32(blocks + 4, 28);
            Put32(blocks + 8, 0x1A2B3C4D);
            Put16(blocks + 12, 1);
            std::memset(blocks + 16, 0xFF, 8);
            Put32(blocks + 24, 28);
            unsigned char* idb = blocks + 28;
            Put32(idb, 1);
            Put32(idb + 4, 32);
            Put16(idb + 8, static_cast<std::uint16_t>(kLinkEthernet));
            Put32(idb + 12, kSnapLength);
            Put16(idb + 16, 9);  // if_tsresol: 10^-6 or 10^-9, padded to 4
            Put16(idb + 18, 1);
            idb[20] = nano ? 9 : 6;
            Put32(idb + 28, 32);  // after the end of options at 24
            Append(blocks, sizeof blocks);
        }
    }
};

CaptureWriter::CaptureWriter(int descriptor, WriterOptions options)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    s.fd = descriptor;
    s.options = std::move(options);
    if (s.options.compression == Compression::Gzip) {
        s.Fail("gzip is read but not written; zstd is");
    }
    s.staged = std::make_unique<unsigned char[]>(kBuffer);
    if (s.options.compression == Compression::Zstd) {
        s.zstd = ZSTD_createCCtx();
        if (s.zstd == nullptr) {
            throw std::bad_alloc();
        }
        const ZSTD_bounds bounds = ZSTD_cParam_getBounds(ZSTD_c_compressionLevel);
        if (s.options.level < bounds.lowerBound || s.options.level > bounds.upperBound ||
            ZSTD_isError(
                ZSTD_CCtx_setParameter(s.zstd, ZSTD_c_compressionLevel, s.options.level)) != 0) {
            s.Fail("zstd refuses level " + std::to_string(s.options.level));
        }
        ZSTD_CCtx_setParameter(s.zstd, ZSTD_c_checksumFlag, 1);
        s.compressed = std::make_unique<unsigned char[]>(ZSTD_CStreamOutSize());
    }
    s.WriteHeader();
}

CaptureWriter::~CaptureWriter() = default;

void CaptureWriter::WriteRecords(const unsigned char* records, std::size_t count) {
    State& s = *state_;
    if (s.options.format != WriteFormat::Raw) {
        s.Fail("a packet capture takes frames, not bare records");
    }
    s.Append(records, count * 86);
}

void CaptureWriter::WriteBytes(const unsigned char* bytes, std::size_t size) {
    State& s = *state_;
    if (s.options.format != WriteFormat::Raw) {
        s.Fail("a packet capture takes frames, not bare bytes");
    }
    s.Append(bytes, size);
}

void CaptureWriter::WritePacket(std::int64_t seconds, std::uint32_t nanoseconds,
                                const unsigned char* frame, std::size_t length) {
    State& s = *state_;
    if (s.options.format == WriteFormat::Raw) {
        s.Fail("a raw capture takes records, not frames");
    }
    if (length > kSnapLength) {
        s.Fail("a frame of " + std::to_string(length) + " bytes, more than the snap length");
    }
    if (nanoseconds > 999999999) {
        s.Fail("a time stamp of " + std::to_string(nanoseconds) + " nanoseconds");
    }
    const bool nano = s.options.resolution == TimeResolution::Nanoseconds;
    const std::uint32_t fraction = nano ? nanoseconds : nanoseconds / 1000;
    const auto size = static_cast<std::uint32_t>(length);
    if (s.options.format == WriteFormat::Pcap) {
        if (seconds < 0 || seconds > std::numeric_limits<std::uint32_t>::max()) {
            s.Fail("a time stamp of " + std::to_string(seconds) +
                   " seconds, outside a pcap's years 1970 to 2106");
        }
        unsigned char header[16];
        Put32(header, static_cast<std::uint32_t>(seconds));
        Put32(header + 4, fraction);
        Put32(header + 8, size);
        Put32(header + 12, size);
        s.Append(header, sizeof header);
        s.Append(frame, length);
        return;
    }
    const std::uint64_t perSecond = nano ? 1000000000 : 1000000;
    if (seconds < 0 || static_cast<std::uint64_t>(seconds) > (UINT64_MAX - fraction) / perSecond) {
        s.Fail("a time stamp of " + std::to_string(seconds) + " seconds, before 1970");
    }
    const std::uint64_t stamp = static_cast<std::uint64_t>(seconds) * perSecond + fraction;
    const std::uint32_t padded = (size + 3) & ~3U;
    unsigned char header[28];
    Put32(header, 6);
    Put32(header + 4, 32 + padded);
    Put32(header + 8, 0);
    Put32(header + 12, static_cast<std::uint32_t>(stamp >> 32));
    Put32(header + 16, static_cast<std::uint32_t>(stamp));
    Put32(header + 20, size);
    Put32(header + 24, size);
    s.Append(header, sizeof header);
    s.Append(frame, length);
    unsigned char trailer[8] = {};
    Put32(trailer + (padded - size), 32 + padded);
    s.Append(trailer, padded - size + 4);
}

void CaptureWriter::Finish() {
    State& s = *state_;
    if (s.failedErrno != 0) {
        s.Fail(std::strerror(s.failedErrno));
    }
    if (s.finished) {
        s.Fail("the capture is already finished");
    }
    s.finished = true;
    s.Flush(true);
}

int CaptureWriter::FailedErrno() const noexcept {
    return state_->failedErrno;
}

}  // namespace Lumera::capture
