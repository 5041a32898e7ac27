#include "wire_types/capture/Frame.h"

#include <algorithm>
#include <cstring>

namespace Lumera::capture {
namespace {

constexpr std::uint16_t kEtherIpv4 = 0x0800;
constexpr std::uint16_t kEtherIpv6 = 0x86DD;
constexpr unsigned char kProtocolUdp = 17;
constexpr std::size_t kEthernetHeader = 14;
constexpr std::size_t kUdpHeader = 8;
constexpr std::size_t kMaxUdpLength = 0xFFFF;

std::uint16_t Load16(const unsigned char* at) noexcept {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

void Store16(unsigned char* at, std::uint32_t value) noexcept {
    at[0] = static_cast<unsigned char>(value >> 8);
    at[1] = static_cast<unsigned char>(value);
}

// A layer's place in a frame: `captured` of the frame's bytes are there, `original` were on the
// wire; a header beyond the captured bytes is a cut by the snap length when the wire held it,
// and a lie of the frame when it did not. Moving on changes the offset alone.
struct Cursor {
    const unsigned char* frame;
    std::size_t offset;  // at most `captured`
    std::size_t captured;
    std::size_t original;  // at least `captured`

    const unsigned char* At() const noexcept { return frame + offset; }
    std::size_t Present() const noexcept { return captured - offset; }
    std::size_t OnWire() const noexcept { return original - offset; }
    bool Has(std::size_t n) const noexcept { return n <= Present(); }
    // Only after Has(n).
    Cursor Skip(std::size_t n) const noexcept { return {frame, offset + n, captured, original}; }
    capture::Skip Short(std::size_t needed) const noexcept {
        return needed <= OnWire() ? capture::Skip::Truncated : capture::Skip::Malformed;
    }
};

// Where a datagram's parts are in the frame, as the layers find them: the datagram is built from
// it only once every header has been read. Writing its addresses as they are read would make
// every later load of the frame wait for those stores (bytes may alias anything).
struct Found {
    bool v6 = false;
    const unsigned char* source = nullptr;  // 4 or 16 bytes, the destination right after
    const unsigned char* udp = nullptr;
    std::size_t captured = 0;  // payload bytes present
    std::size_t length = 0;    // payload bytes on the wire
};

// The UDP header at `udp`, `ipPayload` bytes long by the IP header. The length on the wire is
// the UDP header's; the snap length may have cut what was captured of it.
Skip ReadUdp(Cursor udp, std::size_t ipPayload, Found& found) noexcept {
    if (!udp.Has(kUdpHeader)) {
        return udp.Short(kUdpHeader);
    }
    const std::size_t length = Load16(udp.At() + 4);
    if (length < kUdpHeader || length > ipPayload || length > udp.OnWire()) {
        return Skip::Malformed;
    }
    found.udp = udp.At();
    found.length = length - kUdpHeader;
    found.captured = std::min(found.length, udp.Present() - kUdpHeader);
    return Skip::None;
}

Skip ReadIpv4(Cursor ip, Found& found) noexcept {
    if (!ip.Has(20)) {
        return ip.Short(20);
    }
    const std::size_t headerLength = std::size_t{ip.At()[0] & 0x0Fu} * 4;
    const std::size_t total = Load16(ip.At() + 2);
    if (ip.At()[0] >> 4 != 4 || headerLength < 20 || total < headerLength) {
        return Skip::Malformed;
    }
    if (ip.At()[9] != kProtocolUdp) {
        return Skip::NotUdp;
    }
    // More fragments, or an offset: a piece of a datagram.
    if ((Load16(ip.At() + 6) & 0x3FFFu) != 0) {
        return Skip::Fragment;
    }
    if (!ip.Has(headerLength)) {
        return ip.Short(headerLength);
    }
    found.source = ip.At() + 12;
    return ReadUdp(ip.Skip(headerLength), total - headerLength, found);
}

Skip ReadIpv6(Cursor ip, Found& found) noexcept {
    if (!ip.Has(40)) {
        return ip.Short(40);
    }
    if (ip.At()[0] >> 4 != 6) {
        return Skip::Malformed;
    }
    found.v6 = true;
    found.source = ip.At() + 8;
    std::size_t payload = Load16(ip.At() + 4);
    unsigned next = ip.At()[6];
    Cursor at = ip.Skip(40);
    // Hop-by-hop, routing and destination options may stand before the UDP header.
    while (next == 0 || next == 43 || next == 60) {
        if (!at.Has(2)) {
            return at.Short(2);
        }
        const std::size_t length = (std::size_t{at.At()[1]} + 1) * 8;
        if (length > payload || !at.Has(length)) {
            return length > payload ? Skip::Malformed : at.Short(length);
        }
        next = at.At()[0];
        payload -= length;
        at = at.Skip(length);
    }
    if (next == 44) {
        return Skip::Fragment;
    }
    if (next != kProtocolUdp) {
        return Skip::NotUdp;
    }
    return ReadUdp(at, payload, found);
}

Skip ReadIp(std::uint16_t etherType, Cursor ip, Found& found) noexcept {
    switch (etherType) {
        case kEtherIpv4:
            return ReadIpv4(ip, found);
        case kEtherIpv6:
            return ReadIpv6(ip, found);
        default:
            return Skip::NotUdp;
    }
}

// Raw IP carries no type: the version nibble tells.
Skip ReadRawIp(Cursor ip, Found& found) noexcept {
    if (!ip.Has(1)) {
        return ip.Short(1);
    }
    return ip.At()[0] >> 4 == 6 ? ReadIpv6(ip, found) : ReadIpv4(ip, found);
}

// Ethernet II, with any number of 802.1Q / 802.1ad tags before the type.
Skip ReadEthernetType(Cursor frame, std::size_t typeAt, Found& found) noexcept {
    for (;;) {
        if (!frame.Has(typeAt + 2)) {
            return frame.Short(typeAt + 2);
        }
        const std::uint16_t type = Load16(frame.At() + typeAt);
        if (type == 0x8100 || type == 0x88A8 || type == 0x9100) {
            typeAt += 4;
            continue;
        }
        return ReadIp(type, frame.Skip(typeAt + 2), found);
    }
}

// BSD loopback: a 4-byte address family. AF_INET is 2 everywhere; AF_INET6 is 24 (NetBSD,
// OpenBSD), 28 (FreeBSD) or 30 (macOS), so a capture from any of them reads anywhere.
// `eitherOrder`: DLT_NULL holds the family in the writer's byte order, which the file does not
// say; the two readings of one value never both name a family.
Skip ReadLoopback(Cursor frame, bool eitherOrder, Found& found) noexcept {
    if (!frame.Has(4)) {
        return frame.Short(4);
    }
    const unsigned char* at = frame.At();
    const std::uint32_t big =
        std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | at[3];
    const std::uint32_t little =
        std::uint32_t{at[3]} << 24 | std::uint32_t{at[2]} << 16 | std::uint32_t{at[1]} << 8 | at[0];
    const auto is = [&](std::uint32_t family) {
        return big == family || (eitherOrder && little == family);
    };
    if (is(2)) {
        return ReadIpv4(frame.Skip(4), found);
    }
    if (is(24) || is(28) || is(30)) {
        return ReadIpv6(frame.Skip(4), found);
    }
    return Skip::NotUdp;
}

Skip ReadFrame(const Packet& packet, Found& found) noexcept {
    const Cursor frame{packet.data, 0, packet.captured, std::max(packet.original, packet.captured)};
    // Nearly every capture is of Ethernet: it is tried before the switch's comparisons.
    if (packet.linkType == link::kEthernet) [[likely]] {
        return ReadEthernetType(frame, 12, found);
    }
    switch (packet.linkType) {
        case link::kNull:
            return ReadLoopback(frame, true, found);
        case link::kLoop:
            return ReadLoopback(frame, false, found);
        case link::kEthernet:
            return ReadEthernetType(frame, 12, found);
        case link::kLinuxSll:
            return ReadEthernetType(frame, 14, found);
        case link::kLinuxSll2:
            if (!frame.Has(20)) {
                return frame.Short(20);
            }
            return ReadIp(Load16(frame.At()), frame.Skip(20), found);
        case link::kIpv4:
            return ReadIpv4(frame, found);
        case link::kIpv6:
            return ReadIpv6(frame, found);
        case link::kRawDlt:
        case link::kRawOpenBsd:
        case link::kRaw:
            return ReadRawIp(frame, found);
        default:
            return Skip::NotUdp;
    }
}

std::uint32_t SumWords(std::uint32_t sum, const unsigned char* bytes, std::size_t length) noexcept {
    for (std::size_t i = 0; i + 1 < length; i += 2) {
        sum += Load16(bytes + i);
    }
    if (length % 2 != 0) {
        sum += std::uint32_t{bytes[length - 1]} << 8;
    }
    return sum;
}

std::uint16_t Folded(std::uint32_t sum) noexcept {
    while (sum >> 16 != 0) {
        sum = (sum & 0xFFFFu) + (sum >> 16);
    }
    return static_cast<std::uint16_t>(~sum);
}

}  // namespace

bool KnownLinkType(int linkType) noexcept {
    switch (linkType) {
        case link::kNull:
        case link::kEthernet:
        case link::kRawDlt:
        case link::kRawOpenBsd:
        case link::kRaw:
        case link::kLoop:
        case link::kLinuxSll:
        case link::kIpv4:
        case link::kIpv6:
        case link::kLinuxSll2:
            return true;
        default:
            return false;
    }
}

const char* SkipReason(Skip skip) noexcept {
    switch (skip) {
        case Skip::NotUdp:
            return "not UDP";
        case Skip::OtherPort:
            return "other port";
        case Skip::Length:
            return "length not a positive multiple of 86";
        case Skip::FormatCode:
            return "format code without a row";
        case Skip::Truncated:
            return "truncated by the snap length";
        case Skip::Trailing:
            return "with bytes after the last whole record";
        case Skip::Fragment:
            return "IP fragment";
        case Skip::Malformed:
            return "malformed header";
        case Skip::None:
        case Skip::Count:
            break;
    }
    return "";
}

// The layers are inlined into one function (flatten), and the datagram is built once at the end
// from what they found: a frame is read in a few nanoseconds, and copies of partial results and
// of the cursor between layers (through the stack, where a load waits for the stores before
// it) were most of that.
#if defined(__GNUC__)
__attribute__((flatten))
#endif
Datagram
ReadDatagram(const Packet& packet) noexcept {
    Found found;
    const Skip skip =
        packet.data != nullptr || packet.captured == 0 ? ReadFrame(packet, found) : Skip::Malformed;
    if (skip != Skip::None) {
        // Nothing of a datagram that is not one: only why, and when.
        Datagram left;
        left.skip = skip;
        left.seconds = packet.seconds;
        left.nanoseconds = packet.nanoseconds;
        return left;
    }
    std::array<unsigned char, 16> source{};
    std::array<unsigned char, 16> destination{};
    if (found.v6) {
        std::memcpy(source.data(), found.source, 16);
        std::memcpy(destination.data(), found.source + 16, 16);
    } else {
        std::memcpy(source.data(), found.source, 4);
        std::memcpy(destination.data(), found.source + 4, 4);
    }
    return Datagram{Skip::None,
                    {found.v6, source, Load16(found.udp)},
                    {found.v6, destination, Load16(found.udp + 2)},
                    found.udp + kUdpHeader,
                    found.captured,
                    found.length,
                    packet.seconds,
                    packet.nanoseconds};
}

std::size_t FrameSize(bool v6, std::size_t length) noexcept {
    const std::size_t ipHeader = v6 ? 40 : 20;
    // IPv4 counts its own header in its 16-bit total; IPv6 and UDP count what follows theirs.
    const std::size_t limit = kMaxUdpLength - kUdpHeader - (v6 ? 0 : ipHeader);
    if (length > limit) {
        return 0;
    }
    return kEthernetHeader + ipHeader + kUdpHeader + length;
}

std::size_t WriteUdpFrame(unsigned char* out, std::size_t capacity, const Endpoint& source,
                          const Endpoint& destination, std::uint16_t id,
                          const unsigned char* payload, std::size_t length) noexcept {
    const bool v6 = source.v6;
    const std::size_t size = FrameSize(v6, length);
    if (size == 0 || size > capacity || out == nullptr || destination.v6 != v6 ||
        (payload == nullptr && length != 0)) {
        return 0;
    }
    const std::size_t ipHeader = v6 ? 40 : 20;
    const std::size_t udpLength = kUdpHeader + length;
    std::memset(out, 0, kEthernetHeader + ipHeader + kUdpHeader);
    // Locally administered addresses: the frame's link layer means nothing here.
    const unsigned char macs[12] = {2, 0, 0, 0, 0, 2, 2, 0, 0, 0, 0, 1};
    std::memcpy(out, macs, sizeof macs);
    Store16(out + 12, v6 ? kEtherIpv6 : kEtherIpv4);
    unsigned char* ip = out + kEthernetHeader;
    const std::size_t addressSize = v6 ? 16 : 4;
    if (v6) {
        ip[0] = 0x60;
        Store16(ip + 4, static_cast<std::uint32_t>(udpLength));
        ip[6] = kProtocolUdp;
        ip[7] = 64;
        std::memcpy(ip + 8, source.address.data(), 16);
        std::memcpy(ip + 24, destination.address.data(), 16);
    } else {
        ip[0] = 0x45;
        Store16(ip + 2, static_cast<std::uint32_t>(ipHeader + udpLength));
        Store16(ip + 4, id);
        ip[8] = 64;
        ip[9] = kProtocolUdp;
        std::memcpy(ip + 12, source.address.data(), 4);
        std::memcpy(ip + 16, destination.address.data(), 4);
        Store16(ip + 10, Folded(SumWords(0, ip, ipHeader)));
    }
    unsigned char* udp = ip + ipHeader;
    Store16(udp, source.port);
    Store16(udp + 2, destination.port);
    Store16(udp + 4, static_cast<std::uint32_t>(udpLength));
    if (length != 0) {
        std::memcpy(udp + kUdpHeader, payload, length);
    }
    // The pseudo-header: both addresses, the protocol and the UDP length.
    std::uint32_t sum = SumWords(0, source.address.data(), addressSize);
    sum = SumWords(sum, destination.address.data(), addressSize);
    sum += kProtocolUdp + static_cast<std::uint32_t>(udpLength);
    const std::uint16_t checksum = Folded(SumWords(sum, udp, udpLength));
    // A zero UDP checksum means "none" in IPv4 and is forbidden in IPv6: all ones stands for it.
    Store16(udp + 6, checksum == 0 ? 0xFFFFu : checksum);
    return size;
}

}  // namespace Lumera::capture
