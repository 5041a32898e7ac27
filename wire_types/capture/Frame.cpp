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

// The bytes of a frame with what is known of it: `captured` of them are there, `original` were
// on the wire; a header beyond the captured bytes is a cut by the snap length when the wire held
// it, and a lie of the frame when it did not.
struct Cursor {
    const unsigned char* at;
    std::size_t captured;
    std::size_t original;

    bool Has(std::size_t n) const noexcept { return n <= captured; }
    // Only after Has(n).
    Cursor Skip(std::size_t n) const noexcept {
        return {at + n, captured - n, original >= n ? original - n : 0};
    }
    capture::Skip Short(std::size_t needed) const noexcept {
        return needed <= original ? capture::Skip::Truncated : capture::Skip::Malformed;
    }
};

// The UDP header at `udp`, `ipPayload` bytes long by the IP header. The length on the wire is
// the UDP header's; the snap length may have cut what was captured of it.
Skip ReadUdp(Cursor udp, std::size_t ipPayload, Datagram& datagram) noexcept {
    if (!udp.Has(kUdpHeader)) {
        return udp.Short(kUdpHeader);
    }
    datagram.source.port = Load16(udp.at);
    datagram.destination.port = Load16(udp.at + 2);
    const std::size_t length = Load16(udp.at + 4);
    if (length < kUdpHeader || length > ipPayload || length > udp.original) {
        return Skip::Malformed;
    }
    datagram.payload = udp.at + kUdpHeader;
    datagram.length = length - kUdpHeader;
    datagram.captured = std::min(datagram.length, udp.captured - kUdpHeader);
    return Skip::None;
}

Skip ReadIpv4(Cursor ip, Datagram& datagram) noexcept {
    if (!ip.Has(20)) {
        return ip.Short(20);
    }
    const std::size_t headerLength = std::size_t{ip.at[0] & 0x0Fu} * 4;
    const std::size_t total = Load16(ip.at + 2);
    if (ip.at[0] >> 4 != 4 || headerLength < 20 || total < headerLength) {
        return Skip::Malformed;
    }
    if (ip.at[9] != kProtocolUdp) {
        return Skip::NotUdp;
    }
    // More fragments, or an offset: a piece of a datagram.
    if ((Load16(ip.at + 6) & 0x3FFFu) != 0) {
        return Skip::Fragment;
    }
    if (!ip.Has(headerLength)) {
        return ip.Short(headerLength);
    }
    std::memcpy(datagram.source.address.data(), ip.at + 12, 4);
    std::memcpy(datagram.destination.address.data(), ip.at + 16, 4);
    return ReadUdp(ip.Skip(headerLength), total - headerLength, datagram);
}

Skip ReadIpv6(Cursor ip, Datagram& datagram) noexcept {
    if (!ip.Has(40)) {
        return ip.Short(40);
    }
    if (ip.at[0] >> 4 != 6) {
        return Skip::Malformed;
    }
    datagram.source.v6 = datagram.destination.v6 = true;
    std::memcpy(datagram.source.address.data(), ip.at + 8, 16);
    std::memcpy(datagram.destination.address.data(), ip.at + 24, 16);
    std::size_t payload = Load16(ip.at + 4);
    unsigned next = ip.at[6];
    Cursor at = ip.Skip(40);
    // Hop-by-hop, routing and destination options may stand before the UDP header.
    while (next == 0 || next == 43 || next == 60) {
        if (!at.Has(2)) {
            return at.Short(2);
        }
        const std::size_t length = (std::size_t{at.at[1]} + 1) * 8;
        if (length > payload || !at.Has(length)) {
            return length > payload ? Skip::Malformed : at.Short(length);
        }
        next = at.at[0];
        payload -= length;
        at = at.Skip(length);
    }
    if (next == 44) {
        return Skip::Fragment;
    }
    if (next != kProtocolUdp) {
        return Skip::NotUdp;
    }
    return ReadUdp(at, payload, datagram);
}

Skip ReadIp(std::uint16_t etherType, Cursor ip, Datagram& datagram) noexcept {
    switch (etherType) {
        case kEtherIpv4:
            return ReadIpv4(ip, datagram);
        case kEtherIpv6:
            return ReadIpv6(ip, datagram);
        default:
            return Skip::NotUdp;
    }
}

// Raw IP carries no type: the version nibble tells.
Skip ReadRawIp(Cursor ip, Datagram& datagram) noexcept {
    if (!ip.Has(1)) {
        return ip.Short(1);
    }
    return ip.at[0] >> 4 == 6 ? ReadIpv6(ip, datagram) : ReadIpv4(ip, datagram);
}

// Ethernet II, with any number of 802.1Q / 802.1ad tags before the type.
Skip ReadEthernetType(Cursor frame, std::size_t typeAt, Datagram& datagram) noexcept {
    for (;;) {
        if (!frame.Has(typeAt + 2)) {
            return frame.Short(typeAt + 2);
        }
        const std::uint16_t type = Load16(frame.at + typeAt);
        if (type == 0x8100 || type == 0x88A8 || type == 0x9100) {
            typeAt += 4;
            continue;
        }
        return ReadIp(type, frame.Skip(typeAt + 2), datagram);
    }
}

// BSD loopback: a 4-byte address family. AF_INET is 2 everywhere; AF_INET6 is 24 (NetBSD,
// OpenBSD), 28 (FreeBSD) or 30 (macOS), so a capture from any of them reads anywhere.
// `eitherOrder`: DLT_NULL holds the family in the writer's byte order, which the file does not
// say; the two readings of one value never both name a family.
Skip ReadLoopback(Cursor frame, bool eitherOrder, Datagram& datagram) noexcept {
    if (!frame.Has(4)) {
        return frame.Short(4);
    }
    const unsigned char* at = frame.at;
    const std::uint32_t big =
        std::uint32_t{at[0]} << 24 | std::uint32_t{at[1]} << 16 | std::uint32_t{at[2]} << 8 | at[3];
    const std::uint32_t little =
        std::uint32_t{at[3]} << 24 | std::uint32_t{at[2]} << 16 | std::uint32_t{at[1]} << 8 | at[0];
    const auto is = [&](std::uint32_t family) {
        return big == family || (eitherOrder && little == family);
    };
    if (is(2)) {
        return ReadIpv4(frame.Skip(4), datagram);
    }
    if (is(24) || is(28) || is(30)) {
        return ReadIpv6(frame.Skip(4), datagram);
    }
    return Skip::NotUdp;
}

Skip ReadFrame(const Packet& packet, Datagram& datagram) noexcept {
    const Cursor frame{packet.data, packet.captured, std::max(packet.original, packet.captured)};
    switch (packet.linkType) {
        case link::kNull:
            return ReadLoopback(frame, true, datagram);
        case link::kLoop:
            return ReadLoopback(frame, false, datagram);
        case link::kEthernet:
            return ReadEthernetType(frame, 12, datagram);
        case link::kLinuxSll:
            return ReadEthernetType(frame, 14, datagram);
        case link::kLinuxSll2:
            if (!frame.Has(20)) {
                return frame.Short(20);
            }
            return ReadIp(Load16(frame.at), frame.Skip(20), datagram);
        case link::kIpv4:
            return ReadIpv4(frame, datagram);
        case link::kIpv6:
            return ReadIpv6(frame, datagram);
        case link::kRawDlt:
        case link::kRawOpenBsd:
        case link::kRaw:
            return ReadRawIp(frame, datagram);
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

// The headers are read into one datagram in place, and the layers are inlined into one
// function (flatten): a frame is read in a few nanoseconds, and copies of the result and of the
// cursor between layers (through the stack, where a load waits for the stores before it) were
// most of that. The empty datagram is copied from a constant rather than zero-filled, which
// compilers do with a string instruction that costs more than the copy.
#if defined(__GNUC__)
__attribute__((flatten))
#endif
Datagram
ReadDatagram(const Packet& packet) noexcept {
    static constexpr Datagram kEmpty{};
    Datagram datagram = kEmpty;
    datagram.skip = packet.data != nullptr || packet.captured == 0 ? ReadFrame(packet, datagram)
                                                                   : Skip::Malformed;
    if (datagram.skip != Skip::None) {
        // Nothing of a datagram that is not one: only why, and when.
        const Skip skip = datagram.skip;
        datagram = kEmpty;
        datagram.skip = skip;
    }
    datagram.seconds = packet.seconds;
    datagram.nanoseconds = packet.nanoseconds;
    return datagram;
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
