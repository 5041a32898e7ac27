#include "wire_types/capture/CaptureReader.h"

#include <pcap/pcap.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <utility>

#include "wire_types/capture/Records.h"

namespace Lumera::capture {
namespace {

constexpr std::uint32_t kPcapMicro = 0xA1B2C3D4;
constexpr std::uint32_t kPcapNano = 0xA1B23C4D;
constexpr std::uint32_t kSectionHeader = 0x0A0D0D0A;
constexpr std::uint32_t kByteOrderMagic = 0x1A2B3C4D;
constexpr std::uint32_t kInterfaceBlock = 1;
constexpr std::uint32_t kObsoletePacketBlock = 2;
constexpr std::uint32_t kSimplePacketBlock = 3;
constexpr std::uint32_t kEnhancedPacketBlock = 6;
// Beyond these a length is damage, not a packet: no capture tool writes more, and memory stays
// bounded whatever the bytes claim.
constexpr std::uint32_t kMaxCaptured = std::uint32_t{1} << 28;
constexpr std::uint32_t kMaxBlock = std::uint32_t{1} << 26;
constexpr std::size_t kMaxInterfaces = std::size_t{1} << 16;
constexpr std::size_t kChunk = std::size_t{1} << 16;

__extension__ using U128 = unsigned __int128;
__extension__ using I128 = __int128;

std::string LinkTypeText(int type) {
    const char* name = pcap_datalink_val_to_name(type);
    return "link-layer type " + std::to_string(type) + " (" + (name != nullptr ? name : "unknown") +
           ") is not read; Ethernet, Linux cooked (SLL, SLL2), raw IP and BSD loopback are";
}

std::uint32_t Load32(const unsigned char* p, bool swapped) noexcept {
    const std::uint32_t little = std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) |
                                 (std::uint32_t{p[2]} << 16) | (std::uint32_t{p[3]} << 24);
    const std::uint32_t big = std::uint32_t{p[3]} | (std::uint32_t{p[2]} << 8) |
                              (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[0]} << 24);
    return swapped ? big : little;
}
std::uint16_t Load16(const unsigned char* p, bool swapped) noexcept {
    return static_cast<std::uint16_t>(swapped ? (p[0] << 8) | p[1] : p[0] | (p[1] << 8));
}

// A pcapng interface as its description block gave it. Time stamps count units of 10^-exponent
// seconds, or of 2^-exponent when `binary`.
struct Interface {
    int linkType = 0;
    std::uint32_t snapLength = 0;
    bool binary = false;
    unsigned exponent = 6;
    std::int64_t offset = 0;  // seconds added to every stamp
};

// 10^n for n <= 38, the most that 128 bits hold.
U128 PowerOfTen(unsigned n) noexcept {
    U128 value = 1;
    for (unsigned i = 0; i < n; ++i) {
        value *= 10;
    }
    return value;
}

}  // namespace

const char* CaptureKindName(CaptureKind kind) noexcept {
    switch (kind) {
        case CaptureKind::Raw:
            return "raw";
        case CaptureKind::Pcap:
            return "pcap";
        case CaptureKind::Pcapng:
            return "pcapng";
    }
    return "";
}

CaptureKind DetectKind(const unsigned char* head, std::size_t length) noexcept {
    if (length < 4) {
        return CaptureKind::Raw;
    }
    for (const bool swapped : {false, true}) {
        const std::uint32_t magic = Load32(head, swapped);
        if (magic == kPcapMicro || magic == kPcapNano) {
            return CaptureKind::Pcap;
        }
    }
    if (Load32(head, false) == kSectionHeader &&
        (length < 12 || Load32(head + 8, false) == kByteOrderMagic ||
         Load32(head + 8, true) == kByteOrderMagic)) {
        return CaptureKind::Pcapng;
    }
    return CaptureKind::Raw;
}

struct CaptureReader::State {
    std::unique_ptr<ByteStream> stream;
    CaptureKind kind = CaptureKind::Raw;
    std::string cut;
    std::uint64_t count = 0;
    bool ended = false;
    std::vector<unsigned char> data;  // the current packet or block, grown to the largest
    // pcap
    bool swapped = false;
    bool nano = false;
    std::uint32_t snapLength = 0;
    int linkType = 0;
    // pcapng: the current section's interfaces
    std::vector<Interface> interfaces;
    bool sectioned = false;
    // raw: the bytes of a record not yet whole
    unsigned char tail[kRecordSize] = {};
    std::size_t tailLength = 0;

    [[noreturn]] void Fail(const std::string& why) const {
        throw CaptureError(stream->Name() + ": " + why);
    }
    std::string PacketName() const { return "packet " + std::to_string(count + 1); }

    // The end: Cut with `why` (and the stream's own cut, if any), or End.
    ReadStatus Stop(std::string why) {
        ended = true;
        const std::string& streamCut = stream->CutText();
        if (!streamCut.empty()) {
            why = why.empty() ? streamCut : why + " (" + streamCut + ")";
        }
        cut = std::move(why);
        return cut.empty() ? ReadStatus::End : ReadStatus::Cut;
    }

    // `size` bytes into data[at...], the buffer grown only as bytes arrive, so that a length
    // the bytes merely claim costs no memory. The count read.
    std::size_t Fill(std::size_t at, std::size_t size) {
        std::size_t done = 0;
        while (done < size) {
            const std::size_t want = std::min(size - done, std::max(kChunk, at + done));
            if (data.size() < at + done + want) {
                data.resize(at + done + want);
            }
            const std::size_t got = stream->ReadFull(data.data() + at + done, want);
            done += got;
            if (got < want) {
                break;
            }
        }
        return done;
    }

    void StartPcap() {
        unsigned char header[24];
        const std::size_t got = stream->ReadFull(header, sizeof header);
        if (got < sizeof header) {
            Stop("the capture ends " + std::to_string(got) + " bytes into its 24-byte file header");
            return;
        }
        swapped = Load32(header, false) != kPcapMicro && Load32(header, false) != kPcapNano;
        const std::uint32_t magic = Load32(header, swapped);
        if (magic != kPcapMicro && magic != kPcapNano) {
            Fail("not a pcap capture (no pcap magic number)");
        }
        nano = magic == kPcapNano;
        snapLength = Load32(header + 16, swapped);
        // The frame check sequence's bits sit above the link type's 16.
        linkType = static_cast<int>(Load32(header + 20, swapped) & 0xFFFF);
        if (!KnownLinkType(linkType)) {
            Fail(LinkTypeText(linkType));
        }
    }

    // A packet's header and bytes are viewed in the stream's buffer where they fit, and copied
    // only where they do not: the copy of every packet cost as much as reading its frame.
    ReadStatus NextPcap(Packet& packet) {
        unsigned char copied[16];
        const unsigned char* header = stream->ReadView(sizeof copied);
        if (header == nullptr) {
            const std::size_t got = stream->ReadFull(copied, sizeof copied);
            if (got == 0) {
                return Stop("");
            }
            if (got < sizeof copied) {
                return Stop(std::to_string(got) + " of " + PacketName() + "'s 16-byte header");
            }
            header = copied;
        }
        const std::uint32_t seconds = Load32(header, swapped);
        const std::uint32_t fraction = Load32(header + 4, swapped);
        const std::uint32_t captured = Load32(header + 8, swapped);
        const std::uint32_t original = Load32(header + 12, swapped);
        if (captured > kMaxCaptured || (snapLength != 0 && captured > snapLength)) {
            Fail(PacketName() + " claims " + std::to_string(captured) +
                 " captured bytes, more than the snap length " + std::to_string(snapLength));
        }
        const unsigned char* bytes = stream->ReadView(captured);
        if (bytes == nullptr) {
            const std::size_t present = Fill(0, captured);
            if (present < captured) {
                return Stop(std::to_string(present) + " of " + PacketName() + "'s " +
                            std::to_string(captured) + " bytes");
            }
            bytes = data.data();
        }
        const std::uint32_t perSecond = nano ? 1000000000 : 1000000;
        packet.linkType = linkType;
        packet.seconds = std::int64_t{seconds} + fraction / perSecond;
        packet.nanoseconds = (fraction % perSecond) * (nano ? 1 : 1000);
        packet.data = bytes;
        packet.captured = captured;
        packet.original = std::max(original, captured);
        packet.interface = 0;
        ++count;
        return ReadStatus::Packet;
    }

    // Skips `size` bytes through a fixed buffer; false when the capture ends first.
    bool Skip(std::size_t size, std::size_t& skipped) {
        unsigned char scratch[4096];
        skipped = 0;
        while (skipped < size) {
            const std::size_t want = std::min(size - skipped, sizeof scratch);
            const std::size_t got = stream->ReadFull(scratch, want);
            skipped += got;
            if (got < want) {
                return false;
            }
        }
        return true;
    }

    void ReadInterface(const unsigned char* body, std::size_t length) {
        if (length < 8) {
            Fail("an interface description block of " + std::to_string(length + 12) + " bytes");
        }
        if (interfaces.size() == kMaxInterfaces) {
            Fail("more than " + std::to_string(kMaxInterfaces) + " interfaces in one section");
        }
        Interface described;
        described.linkType = Load16(body, swapped);
        described.snapLength = Load32(body + 4, swapped);
        for (std::size_t at = 8; at + 4 <= length;) {
            const std::uint16_t code = Load16(body + at, swapped);
            const std::uint16_t size = Load16(body + at + 2, swapped);
            if (code == 0) {
                break;
            }
            const unsigned char* value = body + at + 4;
            at += 4 + ((std::size_t{size} + 3) & ~std::size_t{3});
            if (at > length) {
                Fail("an interface description block whose options overrun it");
            }
            if (code == 9 && size >= 1) {
                described.binary = (value[0] & 0x80) != 0;
                described.exponent = value[0] & 0x7F;
            } else if (code == 14 && size >= 8) {
                const std::uint64_t high = Load32(value + (swapped ? 0 : 4), swapped);
                const std::uint64_t low = Load32(value + (swapped ? 4 : 0), swapped);
                described.offset = static_cast<std::int64_t>((high << 32) | low);
            }
        }
        interfaces.push_back(described);
    }

    // A stamp in the interface's units to seconds and nanoseconds, truncating what is finer.
    void SetTime(Packet& packet, const Interface& from, std::uint64_t stamp) {
        U128 seconds = 0;
        U128 nanoseconds = 0;
        if (from.binary) {
            const unsigned n = from.exponent;
            seconds = n >= 64 ? 0 : stamp >> n;
            const U128 fraction = n >= 64 ? stamp : stamp & ((std::uint64_t{1} << n) - 1);
            nanoseconds = (fraction * 1000000000U) >> n;
        } else if (from.exponent <= 9) {
            const std::uint64_t unit = static_cast<std::uint64_t>(PowerOfTen(from.exponent));
            seconds = stamp / unit;
            nanoseconds = stamp % unit * static_cast<std::uint64_t>(PowerOfTen(9 - from.exponent));
        } else {
            // 10^-n with n > 9: a stamp below 2^64 < 10^20 holds no whole second once n >= 20.
            const U128 unit = from.exponent <= 38 ? PowerOfTen(from.exponent) : 0;
            seconds = unit == 0 ? 0 : stamp / unit;
            const unsigned finer = from.exponent - 9;
            nanoseconds = finer >= 20 ? 0 : (unit == 0 ? stamp : stamp % unit) / PowerOfTen(finer);
        }
        // Below 2^64 seconds and an offset of 64 bits: the sum fits 128 bits, if not always 64.
        const I128 total = static_cast<I128>(seconds) + from.offset;
        if (total > INT64_MAX || total < INT64_MIN) {
            Fail(PacketName() + "'s time stamp is beyond any date");
        }
        packet.seconds = static_cast<std::int64_t>(total);
        packet.nanoseconds = static_cast<std::uint32_t>(nanoseconds);
    }

    // The next block's type and body into data[0...]; false at the end (Stop done).
    bool ReadBlock(std::uint32_t& type, std::size_t& bodyLength, ReadStatus& status) {
        unsigned char header[12];
        std::size_t got = stream->ReadFull(header, 8);
        if (got == 0) {
            // Not even a section header: a capture whose writer has written nothing yet.
            status = Stop(sectioned ? "" : "the capture ends before its section header block");
            return false;
        }
        if (got == 8 && Load32(header, false) == kSectionHeader) {
            // The byte order of everything in a section, its header's length included.
            got += stream->ReadFull(header + 8, 4);
            if (got == 12) {
                if (Load32(header + 8, false) == kByteOrderMagic) {
                    swapped = false;
                } else if (Load32(header + 8, true) == kByteOrderMagic) {
                    swapped = true;
                } else {
                    Fail("a section header block without the byte-order magic number");
                }
            }
        }
        if (got < 8 || (got < 12 && Load32(header, false) == kSectionHeader)) {
            status = Stop(std::to_string(got) + " of a block header's " + (got < 8 ? "8" : "12") +
                          " bytes");
            return false;
        }
        type = Load32(header, swapped);
        const std::uint32_t total = Load32(header + 4, swapped);
        if (total % 4 != 0 || total < 12 || total > kMaxBlock ||
            (type == kSectionHeader && total < 28)) {
            Fail("a block of type " + std::to_string(type) + " claims " + std::to_string(total) +
                 " bytes");
        }
        const std::size_t before = got - 8;  // body bytes already read (the byte-order magic)
        std::memcpy(data.data(), header + 8, before);
        bodyLength = total - 12;
        const bool packet = type == kEnhancedPacketBlock || type == kSimplePacketBlock ||
                            type == kObsoletePacketBlock;
        const bool keep = packet || type == kInterfaceBlock || type == kSectionHeader;
        // Other blocks are skipped through a fixed buffer; their trailing length lands at 0.
        std::size_t present = before;
        std::size_t trailer = bodyLength;
        if (keep) {
            present += Fill(before, bodyLength + 4 - before);
        } else {
            std::size_t skipped = 0;
            const bool whole = Skip(bodyLength - before, skipped);
            present += skipped;
            if (whole) {
                present += Fill(0, 4);
                trailer = 0;
            }
        }
        if (present < bodyLength + 4) {
            status = Stop(std::to_string(present + 8) + " of a block's " + std::to_string(total) +
                          " bytes" + (packet ? " (" + PacketName() + ")" : std::string()));
            return false;
        }
        if (Load32(data.data() + trailer, swapped) != total) {
            Fail("a block of type " + std::to_string(type) +
                 " whose trailing length differs from its leading one");
        }
        return true;
    }

    ReadStatus NextPcapng(Packet& packet) {
        for (;;) {
            std::uint32_t type = 0;
            std::size_t length = 0;
            ReadStatus status = ReadStatus::End;
            if (!ReadBlock(type, length, status)) {
                return status;
            }
            const unsigned char* body = data.data();
            if (type == kSectionHeader) {
                if (Load16(body + 4, swapped) != 1) {
                    Fail("a pcapng section of version " +
                         std::to_string(Load16(body + 4, swapped)));
                }
                interfaces.clear();
                sectioned = true;
                continue;
            }
            if (type == kInterfaceBlock) {
                ReadInterface(body, length);
                continue;
            }
            if (type != kEnhancedPacketBlock && type != kSimplePacketBlock &&
                type != kObsoletePacketBlock) {
                continue;
            }
            const std::size_t header = type == kSimplePacketBlock ? 4 : 20;
            if (length < header) {
                Fail(PacketName() + "'s block is too short for its header");
            }
            std::uint32_t id = 0;
            std::uint64_t stamp = 0;
            std::uint32_t captured = 0;
            std::uint32_t original = 0;
            if (type == kSimplePacketBlock) {
                original = Load32(body, swapped);
                captured = static_cast<std::uint32_t>(std::min<std::size_t>(original, length - 4));
            } else {
                id = type == kObsoletePacketBlock ? Load16(body, swapped) : Load32(body, swapped);
                stamp =
                    (std::uint64_t{Load32(body + 4, swapped)} << 32) | Load32(body + 8, swapped);
                captured = Load32(body + 12, swapped);
                original = Load32(body + 16, swapped);
                if (captured > length - header) {
                    Fail(PacketName() + " claims more captured bytes than its block holds");
                }
            }
            if (id >= interfaces.size()) {
                Fail(PacketName() + " is of interface " + std::to_string(id) +
                     ", which the section never described");
            }
            const Interface& from = interfaces[id];
            if (type == kSimplePacketBlock && from.snapLength != 0) {
                captured = std::min(captured, from.snapLength);
            }
            // Checked here rather than at the description: an interface of another type that
            // carries no packet leaves the capture readable.
            if (!KnownLinkType(from.linkType)) {
                Fail(PacketName() + " (interface " + std::to_string(id) +
                     "): " + LinkTypeText(from.linkType));
            }
            packet.linkType = from.linkType;
            if (type == kSimplePacketBlock) {
                packet.seconds = 0;
                packet.nanoseconds = 0;
            } else {
                SetTime(packet, from, stamp);
            }
            packet.data = body + header;
            packet.captured = captured;
            packet.original = std::max(original, captured);
            packet.interface = id;
            ++count;
            return ReadStatus::Packet;
        }
    }

    void Start(CaptureKind forced) {
        kind = forced;
        if (kind == CaptureKind::Pcap) {
            StartPcap();
        } else if (kind == CaptureKind::Pcapng) {
            data.resize(kChunk);
            unsigned char head[4];
            const std::size_t got = stream->Peek(head, sizeof head);
            if (got == 4 && Load32(head, false) != kSectionHeader) {
                Fail("not a pcapng capture (no section header block first)");
            }
        }
    }
};

CaptureReader::CaptureReader(std::unique_ptr<ByteStream> stream)
    : state_(std::make_unique<State>()) {
    if (!stream) {
        throw std::invalid_argument("CaptureReader: no stream");
    }
    state_->stream = std::move(stream);
    unsigned char head[12];
    const std::size_t got = state_->stream->Peek(head, sizeof head);
    state_->Start(DetectKind(head, got));
}

CaptureReader::CaptureReader(std::unique_ptr<ByteStream> stream, CaptureKind kind)
    : state_(std::make_unique<State>()) {
    if (!stream) {
        throw std::invalid_argument("CaptureReader: no stream");
    }
    state_->stream = std::move(stream);
    state_->Start(kind);
}

CaptureReader::~CaptureReader() = default;

CaptureKind CaptureReader::Kind() const noexcept {
    return state_->kind;
}
const ByteStream& CaptureReader::Stream() const noexcept {
    return *state_->stream;
}
const std::string& CaptureReader::Name() const noexcept {
    return state_->stream->Name();
}
const std::string& CaptureReader::CutText() const noexcept {
    return state_->cut;
}
std::uint64_t CaptureReader::Count() const noexcept {
    return state_->count;
}

ReadStatus CaptureReader::Next(Packet& packet) {
    State& s = *state_;
    if (s.kind == CaptureKind::Raw) {
        s.Fail("a raw capture holds records, not packets");
    }
    if (s.ended) {
        return s.cut.empty() ? ReadStatus::End : ReadStatus::Cut;
    }
    return s.kind == CaptureKind::Pcap ? s.NextPcap(packet) : s.NextPcapng(packet);
}

ReadStatus CaptureReader::NextRecords(unsigned char* into, std::size_t capacity,
                                      std::size_t& count) {
    State& s = *state_;
    count = 0;
    if (s.kind != CaptureKind::Raw) {
        s.Fail("a packet capture holds packets, not bare records");
    }
    if (capacity == 0) {
        throw std::invalid_argument("CaptureReader::NextRecords: no room for a record");
    }
    if (s.ended) {
        return s.cut.empty() ? ReadStatus::End : ReadStatus::Cut;
    }
    // What has arrived, once it makes a whole record: a pipe is decoded as it is written.
    const std::size_t room = capacity * kRecordSize;
    std::size_t have = s.tailLength;
    std::memcpy(into, s.tail, have);
    while (have < kRecordSize) {
        const std::size_t got = s.stream->Read(into + have, room - have);
        if (got == 0) {
            break;
        }
        have += got;
    }
    count = have / kRecordSize;
    s.tailLength = have % kRecordSize;
    std::memcpy(s.tail, into + count * kRecordSize, s.tailLength);
    s.count += count;
    if (count != 0) {
        return ReadStatus::Packet;
    }
    return s.Stop(s.tailLength == 0
                      ? std::string()
                      : std::to_string(s.tailLength) + " bytes after the last whole record");
}

}  // namespace Lumera::capture
