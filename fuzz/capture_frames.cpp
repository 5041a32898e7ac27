// Frames of a capture to UDP datagrams, and the rule that takes their records.
//
// Every input is used twice. First its bytes (after the first) are a frame of each link type,
// with the first byte's worth of bytes more on the wire than captured: the reader must neither
// crash nor read outside the frame, and every view it gives (the payload, the whole records)
// lies inside the captured bytes. Then the input is a recipe: this file builds a frame itself
// (link type, VLAN tags, IPv4 options or IPv6 extension headers, fragments, other protocols,
// ports, records, padding, a snap cut), writing each header at its offset, and checks
// ReadDatagram and TakeDatagram field by field against what it built. The recipe's UDP
// datagram is also written by WriteUdpFrame, whose checksums must verify and which must read
// back the same.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "FuzzCheck.h"
#include "wire_types/capture/Frame.h"
#include "wire_types/capture/Records.h"

namespace {

using namespace Lumera::capture;
using lmwire_fuzz::Bytes;

constexpr int kLinkTypes[] = {0, 1, 12, 14, 101, 108, 113, 228, 229, 276, 2, -1};

bool Inside(const unsigned char* first, std::size_t count, const unsigned char* begin,
            std::size_t size) {
    return first >= begin && count <= size &&
           first - begin <= static_cast<std::ptrdiff_t>(size - count);
}

// (a) The frame read under every link type.
void ReadAsEveryLinkType(const unsigned char* data, std::size_t size) {
    if (size == 0) {
        return;
    }
    // An exact copy, so that the sanitizer sees any read past the captured bytes.
    const Bytes frame(data + 1, data + size);
    const std::vector<std::uint16_t> noPorts;
    for (const int linkType : kLinkTypes) {
        const Packet packet{linkType, 1, 2, frame.data(), frame.size(), frame.size() + data[0]};
        const Datagram d = ReadDatagram(packet);
        FUZZ_CHECK(d.seconds == 1 && d.nanoseconds == 2);
        if (d.skip != Skip::None) {
            FUZZ_CHECK(d.skip == Skip::NotUdp || d.skip == Skip::Fragment ||
                       d.skip == Skip::Malformed || d.skip == Skip::Truncated);
            FUZZ_CHECK(d.payload == nullptr && d.captured == 0 && d.length == 0);
            FUZZ_CHECK(TakeDatagram(d, noPorts).skip == d.skip);
            continue;
        }
        FUZZ_CHECK(KnownLinkType(linkType));
        FUZZ_CHECK(Inside(d.payload, d.captured, frame.data(), frame.size()));
        FUZZ_CHECK(d.captured <= d.length && d.length <= 0xFFFF - 8);
        const std::vector<std::uint16_t> ports{d.destination.port};
        for (const auto* rule : {&noPorts, &ports}) {
            const TakenDatagram t = TakeDatagram(d, *rule);
            // A datagram to a named port is refused only for having no whole record.
            FUZZ_CHECK(rule == &noPorts || t.skip == Skip::None || t.skip == Skip::Length ||
                       t.skip == Skip::Truncated);
            if (t.skip == Skip::None) {
                FUZZ_CHECK(t.records.count > 0 && t.records.first == d.payload);
                FUZZ_CHECK(t.records.count * kRecordSize + t.records.tail == d.captured);
                FUZZ_CHECK(t.cut == Skip::None || t.cut == Skip::Truncated ||
                           t.cut == Skip::Trailing);
            }
        }
    }
}

// The recipe's bytes, then zeros once they run out.
struct Recipe {
    const unsigned char* at;
    std::size_t left;

    unsigned Byte() {
        if (left == 0) {
            return 0;
        }
        --left;
        return *at++;
    }
    std::uint16_t U16() { return static_cast<std::uint16_t>(Byte() << 8 | Byte()); }
};

void Put16(Bytes& bytes, std::size_t at, std::uint32_t value) {
    bytes[at] = static_cast<unsigned char>(value >> 8);
    bytes[at + 1] = static_cast<unsigned char>(value);
}

// The ones' complement sum of 16-bit big-endian words, folded: 0xFFFF over a header or a
// datagram whose checksum is right.
std::uint32_t Sum(const unsigned char* bytes, std::size_t length, std::uint32_t sum = 0) {
    for (std::size_t i = 0; i < length; ++i) {
        sum += i % 2 == 0 ? std::uint32_t{bytes[i]} << 8 : bytes[i];
    }
    while (sum > 0xFFFF) {
        sum = (sum & 0xFFFF) + (sum >> 16);
    }
    return sum;
}

struct Built {
    Bytes frame;
    int linkType = 1;
    Skip skip = Skip::None;  // NotUdp or Fragment when the headers say so
    std::size_t payloadAt = 0;
    std::size_t length = 0;
    Endpoint source;
    Endpoint destination;
};

// Link layer, IP header (with options or extension headers) and UDP header, then the payload
// and any link-layer padding.
Built Build(Recipe& r) {
    Built b;
    const unsigned choice = r.Byte();
    const bool v6 = (choice & 1) != 0;
    const unsigned link = (choice >> 1) % 9;
    b.source.v6 = b.destination.v6 = v6;
    Bytes& f = b.frame;
    const std::uint16_t etherType = v6 ? 0x86DD : 0x0800;
    if (link == 0 || link == 1) {  // DLT_NULL in either byte order, or LOOP in network order
        b.linkType = link == 0 ? 0 : 108;
        const unsigned char families6[] = {24, 28, 30};
        const unsigned char family = v6 ? families6[r.Byte() % 3] : 2;
        const bool little = link == 0 && (r.Byte() & 1) != 0;
        f = little ? Bytes{family, 0, 0, 0} : Bytes{0, 0, 0, family};
    } else if (link == 2) {  // Ethernet with up to three tags of any of the three kinds
        f.assign(12, 2);
        const std::uint16_t tagTypes[] = {0x8100, 0x88A8, 0x9100};
        for (unsigned tags = r.Byte() % 4; tags > 0; --tags) {
            f.resize(f.size() + 4);
            Put16(f, f.size() - 4, tagTypes[r.Byte() % 3]);
            Put16(f, f.size() - 2, r.U16());
        }
        f.resize(f.size() + 2);
        Put16(f, f.size() - 2, etherType);
    } else if (link == 3) {  // SLL: the protocol at 14
        b.linkType = 113;
        f.assign(16, 0);
        Put16(f, 14, etherType);
    } else if (link == 4) {  // SLL2: the protocol at 0, 20 bytes
        b.linkType = 276;
        f.assign(20, 0);
        Put16(f, 0, etherType);
    } else {  // raw IP: by the version nibble, or of one version by the link type
        const int raw[] = {12, 14, 101, v6 ? 229 : 228};
        b.linkType = raw[link - 5];
    }

    const std::size_t ipAt = f.size();
    const unsigned shape = r.Byte();
    const bool udp = (shape & 0x1F) != 0;  // one in 32 is another protocol
    const bool fragment = (shape & 0xE0) == 0xE0;
    if (v6) {
        f.resize(ipAt + 40, 0);
        f[ipAt] = 0x60;
        f[ipAt + 7] = 64;
        for (std::size_t i = 8; i < 40; ++i) {
            f[ipAt + i] = static_cast<unsigned char>(r.Byte());
        }
        // Hop-by-hop, routing and destination options (N + 1 eight-byte units each), then
        // perhaps a fragment header; each header names the next at its first byte.
        std::size_t nextAt = ipAt + 6;
        const unsigned char chain[] = {0, 43, 60};
        for (unsigned count = r.Byte() % 4; count > 0; --count) {
            f[nextAt] = chain[r.Byte() % 3];
            nextAt = f.size();
            const unsigned units = r.Byte() % 4;
            f.resize(f.size() + (units + 1) * 8, 0);
            f[nextAt + 1] = static_cast<unsigned char>(units);
        }
        if (fragment) {
            f[nextAt] = 44;
            nextAt = f.size();
            f.resize(f.size() + 8, 0);
        }
        f[nextAt] = udp ? 17 : 6;
        std::copy(f.begin() + ipAt + 8, f.begin() + ipAt + 24, b.source.address.begin());
        std::copy(f.begin() + ipAt + 24, f.begin() + ipAt + 40, b.destination.address.begin());
    } else {
        const unsigned ihl = 5 + r.Byte() % 11;
        f.resize(ipAt + ihl * 4, 0);
        f[ipAt] = static_cast<unsigned char>(0x40 | ihl);
        f[ipAt + 8] = 64;
        f[ipAt + 9] = udp ? 17 : 6;
        // Don't-fragment alone is no fragment; more-fragments or an offset is.
        Put16(f, ipAt + 6, fragment ? (r.U16() & 0x3FFF) | 1 : 0x4000);
        for (std::size_t i = 12; i < ihl * 4; ++i) {  // addresses, then options
            f[ipAt + i] = static_cast<unsigned char>(r.Byte());
        }
        std::copy(f.begin() + ipAt + 12, f.begin() + ipAt + 16, b.source.address.begin());
        std::copy(f.begin() + ipAt + 16, f.begin() + ipAt + 20, b.destination.address.begin());
    }
    // IPv4 names its protocol before its fragment fields; IPv6 reaches a fragment header first.
    if (v6) {
        b.skip = fragment ? Skip::Fragment : udp ? Skip::None : Skip::NotUdp;
    } else {
        b.skip = !udp ? Skip::NotUdp : fragment ? Skip::Fragment : Skip::None;
    }

    const std::size_t udpAt = f.size();
    b.source.port = r.U16();
    b.destination.port = r.U16();
    // Whole records with format codes mostly in 1..62, and perhaps bytes after them.
    const unsigned records = r.Byte() % 6;
    const unsigned extra = r.Byte() % 8 == 0 ? r.Byte() % 86 : 0;
    b.length = records * kRecordSize + extra;
    f.resize(udpAt + 8 + b.length, 0);
    Put16(f, udpAt, b.source.port);
    Put16(f, udpAt + 2, b.destination.port);
    Put16(f, udpAt + 4, static_cast<std::uint32_t>(8 + b.length));
    b.payloadAt = udpAt + 8;
    for (std::size_t i = 0; i < b.length; ++i) {
        f[b.payloadAt + i] = static_cast<unsigned char>(r.Byte());
    }
    for (std::size_t at = b.payloadAt + 1; at < f.size(); at += kRecordSize) {
        const unsigned code = r.Byte();
        f[at] = static_cast<unsigned char>(code < 240 ? 1 + code % 62 : code);
    }
    // IP lengths count what follows their header (IPv6) or the header too (IPv4).
    if (v6) {
        Put16(f, ipAt + 4, static_cast<std::uint32_t>(f.size() - ipAt - 40));
    } else {
        Put16(f, ipAt + 2, static_cast<std::uint32_t>(f.size() - ipAt));
    }
    f.resize(f.size() + r.Byte() % 8, 0);  // padding after the IP datagram
    return b;
}

// The rule, spelled from its description: ports named take every datagram to them; otherwise a
// positive multiple of 86 whose captured records all have a code in 1..62.
TakenDatagram Expected(const Built& b, std::size_t captured,
                       const std::vector<std::uint16_t>& ports) {
    TakenDatagram t;
    const unsigned char* payload = b.frame.data() + b.payloadAt;
    if (ports.empty()) {
        if (b.length == 0 || b.length % kRecordSize != 0) {
            t.skip = Skip::Length;
            return t;
        }
        for (std::size_t at = 1; at < captured; at += kRecordSize) {
            if (payload[at] < 1 || payload[at] > 62) {
                t.skip = Skip::FormatCode;
                return t;
            }
        }
    } else if (std::find(ports.begin(), ports.end(), b.destination.port) == ports.end()) {
        t.skip = Skip::OtherPort;
        return t;
    }
    if (captured < kRecordSize) {
        t.skip = captured < b.length ? Skip::Truncated : Skip::Length;
        return t;
    }
    t.records = {payload, captured / kRecordSize, captured % kRecordSize};
    t.cut = captured < b.length           ? Skip::Truncated
            : b.length % kRecordSize != 0 ? Skip::Trailing
                                          : Skip::None;
    return t;
}

bool Same(const Endpoint& a, const Endpoint& b) {
    return a.v6 == b.v6 && a.port == b.port && a.address == b.address;
}

// (b) A frame built here, read back field by field.
void ReadBuiltFrame(const unsigned char* data, std::size_t size) {
    Recipe r{data, size};
    const Built b = Build(r);
    const Bytes& f = b.frame;
    // The snap length: mostly all, else cut anywhere, headers included.
    const unsigned cutChoice = r.Byte();
    const std::size_t captured = cutChoice < 128 ? f.size() : f.size() - r.U16() % (f.size() + 1);
    const Bytes bytes(f.begin(), f.begin() + static_cast<std::ptrdiff_t>(captured));
    const Packet packet{b.linkType, 1234567890, 999999999, bytes.data(), captured, f.size()};
    const Datagram d = ReadDatagram(packet);
    FUZZ_CHECK(d.seconds == 1234567890 && d.nanoseconds == 999999999);
    if (captured < b.payloadAt) {
        // Cut inside the headers: that, unless the headers before the cut already said why.
        FUZZ_CHECK(d.skip == Skip::Truncated || (d.skip == b.skip && b.skip != Skip::None));
        return;
    }
    FUZZ_CHECK(d.skip == b.skip);
    if (b.skip != Skip::None) {
        return;
    }
    FUZZ_CHECK(Same(d.source, b.source) && Same(d.destination, b.destination));
    FUZZ_CHECK(d.payload == bytes.data() + b.payloadAt && d.length == b.length);
    const std::size_t payloadCaptured = std::min(b.length, captured - b.payloadAt);
    FUZZ_CHECK(d.captured == payloadCaptured);

    std::vector<std::uint16_t> ports;
    const unsigned portChoice = r.Byte() % 3;
    if (portChoice != 0) {
        ports = {static_cast<std::uint16_t>(b.destination.port + (portChoice == 1 ? 0 : 1)), 53};
    }
    const TakenDatagram want = Expected(b, payloadCaptured, ports);
    const TakenDatagram got = TakeDatagram(d, ports);
    FUZZ_CHECK(got.skip == want.skip);
    if (want.skip == Skip::None) {
        FUZZ_CHECK(got.cut == want.cut && got.records.count == want.records.count &&
                   got.records.tail == want.records.tail &&
                   got.records.first == bytes.data() + b.payloadAt);
    }

    // The same datagram written as an Ethernet frame: checksums that verify, and read back alike.
    const unsigned char* payload = bytes.data() + b.payloadAt;
    const std::size_t frameSize = FrameSize(b.source.v6, payloadCaptured);
    Bytes written(frameSize);
    FUZZ_CHECK(WriteUdpFrame(written.data(), frameSize - 1, b.source, b.destination, 7, payload,
                             payloadCaptured) == 0);
    FUZZ_CHECK(WriteUdpFrame(written.data(), frameSize, b.source, b.destination, 7, payload,
                             payloadCaptured) == frameSize);
    const std::size_t ipHeader = b.source.v6 ? 40 : 20;
    const unsigned char* ip = written.data() + 14;
    const unsigned char* udp = ip + ipHeader;
    const std::size_t udpLength = 8 + payloadCaptured;
    if (!b.source.v6) {
        FUZZ_CHECK(Sum(ip, ipHeader) == 0xFFFF);
    }
    const std::size_t addressSize = b.source.v6 ? 16 : 4;
    std::uint32_t pseudo = Sum(b.source.address.data(), addressSize);
    pseudo = Sum(b.destination.address.data(), addressSize, pseudo);
    FUZZ_CHECK(Sum(udp, udpLength, pseudo + 17 + static_cast<std::uint32_t>(udpLength)) == 0xFFFF);
    const Datagram back =
        ReadDatagram({link::kEthernet, 0, 0, written.data(), frameSize, frameSize});
    FUZZ_CHECK(back.skip == Skip::None && Same(back.source, b.source) &&
               Same(back.destination, b.destination));
    FUZZ_CHECK(back.payload == udp + 8 && back.length == payloadCaptured &&
               back.captured == payloadCaptured &&
               std::equal(payload, payload + payloadCaptured, back.payload));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ReadAsEveryLinkType(data, size);
    ReadBuiltFrame(data, size);
    return 0;
}
