// Frames written byte by byte, read as a capture's link types give them: which datagrams are
// taken as records, where their records start, and why the others are skipped.

#include <gtest/gtest.h>

#include "Parts.h"
#include "capture/Datagram.h"

namespace lmwire {
namespace {

using lmwire_test::Bytes;

Bytes Cat(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

Bytes Be16(std::size_t value) {
    return {static_cast<unsigned char>(value >> 8), static_cast<unsigned char>(value)};
}

// Records of format code 14 (a zero code has no row), `extra` bytes after them.
Bytes Records(std::size_t count, std::size_t extra = 0) {
    Bytes bytes(count * 86 + extra, 0);
    for (std::size_t at = 1; at < count * 86; at += 86) {
        bytes[at] = 14;
    }
    return bytes;
}

Bytes Udp(const Bytes& payload, std::size_t port = 9100) {
    return Cat({Be16(7000), Be16(port), Be16(8 + payload.size()), {0, 0}, payload});
}

Bytes Ipv4(const Bytes& udp, unsigned fragment = 0, unsigned char protocol = 17) {
    return Cat({{0x45, 0},
                Be16(20 + udp.size()),
                {0, 1},
                Be16(fragment),
                {64, protocol, 0, 0},
                {192, 0, 2, 9, 198, 51, 100, 4},
                udp});
}

// Extension headers given as (next header, length field N): N + 1 eight-byte units each.
Bytes Ipv6(const Bytes& udp, const std::vector<std::pair<unsigned char, unsigned char>>& ext = {}) {
    Bytes chain;
    unsigned char first = 17;
    for (auto it = ext.rbegin(); it != ext.rend(); ++it) {
        Bytes header((it->second + 1u) * 8u, 0);
        header[0] = first;
        header[1] = it->second;
        chain = Cat({header, chain});
        first = it->first;
    }
    return Cat(
        {{0x60, 0, 0, 0}, Be16(chain.size() + udp.size()), {first, 64}, Bytes(32, 1), chain, udp});
}

Bytes Ethernet(const Bytes& ip, std::vector<std::size_t> tags = {}, std::size_t type = 0x0800) {
    Bytes frame(12, 2);
    for (const std::size_t tag : tags) {
        frame = Cat({frame, Be16(0x8100), Be16(tag)});
    }
    return Cat({frame, Be16(type), ip});
}

struct FrameCase {
    const char* name;
    int link;
    Bytes frame;
    Skip skip;
    std::size_t offset = 0;  // of the records in the frame, when taken
    std::size_t length = 0;
    Skip cut = Skip::None;
    std::size_t snap = 0;  // bytes captured, when fewer than the frame
    std::vector<std::uint16_t> ports = {};
};

TEST(Datagram, FramesAreTakenOrSkippedForTheirReason) {
    const Bytes one = Udp(Records(1));
    const Bytes two = Udp(Records(2));
    const Bytes trailing = Ethernet(Ipv4(Udp(Records(1, 10))));
    using enum Skip;
    const FrameCase cases[] = {
        {"ethernet", 1, Ethernet(Ipv4(one)), None, 42, 86},
        {"vlan", 1, Ethernet(Ipv4(one), {100}), None, 46, 86},
        {"two tags", 1, Ethernet(Ipv4(two), {10, 20}), None, 50, 172},
        {"more fragments", 1, Ethernet(Ipv4(one, 0x2000)), Fragment},
        {"fragment offset", 1, Ethernet(Ipv4(one, 0x0010)), Fragment},
        {"tcp", 1, Ethernet(Ipv4(one, 0, 6)), NotUdp},
        {"arp", 1, Ethernet(Bytes(28, 0), {}, 0x0806), NotUdp},
        {"empty", 1, Ethernet(Ipv4(Udp({}))), Length},
        {"85 bytes", 1, Ethernet(Ipv4(Udp(Records(0, 85)))), Length},
        {"trailing", 1, trailing, Length},
        {"code 0", 1, Ethernet(Ipv4(Udp(Bytes(172, 0)))), FormatCode},
        {"ethernet padding", 1, Cat({Ethernet(Ipv4(one)), {0}}), None, 42, 86},
        {"port: trailing", 1, trailing, None, 42, 86, Trailing, 0, {9100}},
        {"port: code 0", 1, Ethernet(Ipv4(Udp(Bytes(86, 0)))), None, 42, 86, None, 0, {9100}},
        {"port: other", 1, Ethernet(Ipv4(one)), OtherPort, 0, 0, None, 0, {9200}},
        {"port: empty", 1, Ethernet(Ipv4(Udp({}))), Length, 0, 0, None, 0, {9100}},
        {"snap inside record 2", 1, Ethernet(Ipv4(two)), None, 42, 86, Truncated, 42 + 150},
        {"snap inside record 1", 1, Ethernet(Ipv4(two)), Truncated, 0, 0, None, 60},
        {"snap inside udp", 1, Ethernet(Ipv4(two)), Truncated, 0, 0, None, 38},
        {"sll2", 276, Cat({Be16(0x0800), Bytes(18, 0), Ipv4(two)}), None, 48, 172},
        {"raw", 101, Ipv4(two), None, 28, 172},
        {"ipv6", 1, Ethernet(Ipv6(one), {}, 0x86DD), None, 62, 86},
        {"hop-by-hop N=0", 229, Ipv6(one, {{0, 0}}), None, 56, 86},
        {"destination N=2", 229, Ipv6(one, {{60, 2}}), None, 72, 86},
        {"hop N=1, routing N=3", 229, Ipv6(two, {{0, 1}, {43, 3}}), None, 96, 172},
        {"ipv6 fragment", 229, Ipv6(one, {{44, 0}}), Fragment},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t captured = c.snap != 0 ? c.snap : c.frame.size();
        const Datagram d = ReadDatagram(c.link, c.frame.data(), captured, c.frame.size(), c.ports);
        EXPECT_EQ(d.skip, c.skip) << SkipReason(d.skip);
        if (c.skip == Skip::None) {
            EXPECT_EQ(d.payload - c.frame.data(), static_cast<std::ptrdiff_t>(c.offset));
            EXPECT_EQ(d.length, c.length);
            EXPECT_EQ(d.cut, c.cut) << SkipReason(d.cut);
            EXPECT_EQ(AddressText(d.destination),
                      d.destination.v6 ? "101:101:101:101:101:101:101:101" : "198.51.100.4");
            EXPECT_EQ(d.destination.port, 9100);
        }
    }
}

}  // namespace
}  // namespace lmwire
