// Frames written byte by byte, read as a capture's link types give them: which datagrams are
// taken as records, where their records start, and why the others are skipped.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "wire_types/capture/Frame.h"
#include "wire_types/capture/Records.h"

namespace Lumera::capture {
namespace {

using Bytes = std::vector<unsigned char>;

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
    const Bytes rest = {64, protocol, 0, 0, 192, 0, 2, 9, 198, 51, 100, 4};
    return Cat({{0x45, 0}, Be16(20 + udp.size()), {0, 1}, Be16(fragment), rest, udp});
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

TEST(Frame, FramesAreTakenOrSkippedForTheirReason) {
    const Bytes one = Udp(Records(1));
    const Bytes two = Udp(Records(2));
    const Bytes trailing = Ethernet(Ipv4(Udp(Records(1, 10))));
    const Bytes raw = Ipv4(one);
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
        {"codes 62, 63", 1,
         Ethernet(Ipv4(Udp(Cat({{0, 62}, Bytes(84, 0), {0, 63}, Bytes(84, 0)})))), FormatCode},
        {"ethernet padding", 1, Cat({Ethernet(Ipv4(one)), {0}}), None, 42, 86},
        {"port: trailing", 1, trailing, None, 42, 86, Trailing, 0, {9100}},
        {"port: code 0", 1, Ethernet(Ipv4(Udp(Bytes(86, 0)))), None, 42, 86, None, 0, {9100}},
        {"port: other", 1, Ethernet(Ipv4(one)), OtherPort, 0, 0, None, 0, {9200}},
        {"port: empty", 1, Ethernet(Ipv4(Udp({}))), Length, 0, 0, None, 0, {9100}},
        {"snap inside record 2", 1, Ethernet(Ipv4(two)), None, 42, 86, Truncated, 42 + 150},
        {"snap inside record 1", 1, Ethernet(Ipv4(two)), Truncated, 0, 0, None, 60},
        {"snap inside udp", 1, Ethernet(Ipv4(two)), Truncated, 0, 0, None, 38},
        {"udp length beyond ip", 101,
         Cat({Ipv4(Cat({Be16(7000), Be16(9100), Be16(95), {0, 0}, Records(1)})), {0, 0, 0, 0}}),
         Malformed},
        {"udp length beyond wire", 101, Bytes(raw.begin(), raw.end() - 1), Malformed},
        {"sll2", 276, Cat({Be16(0x0800), Bytes(18, 0), Ipv4(two)}), None, 48, 172},
        {"raw", 101, Ipv4(two), None, 28, 172},
        {"ipv6", 1, Ethernet(Ipv6(one), {}, 0x86DD), None, 62, 86},
        {"hop-by-hop N=0", 229, Ipv6(one, {{0, 0}}), None, 56, 86},
        {"destination N=2", 229, Ipv6(one, {{60, 2}}), None, 72, 86},
        {"hop N=1, routing N=3", 229, Ipv6(two, {{0, 1}, {43, 3}}), None, 96, 172},
        {"ipv6 fragment", 229, Ipv6(one, {{44, 0}}), Fragment},
        {"null, little-endian AF_INET", 0, Cat({{2, 0, 0, 0}, Ipv4(one)}), None, 32, 86},
        {"null, big-endian AF_INET", 0, Cat({{0, 0, 0, 2}, Ipv4(one)}), None, 32, 86},
        {"null, little-endian AF_INET6 30", 0, Cat({{30, 0, 0, 0}, Ipv6(one)}), None, 52, 86},
        {"null, big-endian AF_INET6 28", 0, Cat({{0, 0, 0, 28}, Ipv6(one)}), None, 52, 86},
        {"null, AF_INET6 24", 0, Cat({{24, 0, 0, 0}, Ipv6(one)}), None, 52, 86},
        {"null, other family", 0, Cat({{7, 0, 0, 0}, Ipv4(one)}), NotUdp},
        {"null, cut family", 0, Bytes{2, 0}, Malformed},
        {"loop, AF_INET6 24", 108, Cat({{0, 0, 0, 24}, Ipv6(one)}), None, 52, 86},
        {"loop, host order", 108, Cat({{2, 0, 0, 0}, Ipv4(one)}), NotUdp},
    };
    for (const FrameCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t snap = c.snap != 0 ? c.snap : c.frame.size();
        const Packet packet{c.link, 1700000000, 123456789, c.frame.data(), snap, c.frame.size()};
        const Datagram d = ReadDatagram(packet);
        const TakenDatagram taken = TakeDatagram(d, c.ports);
        EXPECT_EQ(taken.skip, c.skip) << SkipReason(taken.skip);
        EXPECT_EQ(d.seconds * 1000000000 + d.nanoseconds, 1700000000123456789);
        if (c.skip == Skip::None) {
            EXPECT_EQ(taken.records.first - c.frame.data(), static_cast<std::ptrdiff_t>(c.offset));
            EXPECT_EQ(taken.records.count * kRecordSize, c.length);
            EXPECT_EQ(taken.cut, c.cut) << SkipReason(taken.cut);
            const std::size_t captured = std::min(packet.captured - c.offset, d.length);
            EXPECT_EQ(d.captured, captured);
            EXPECT_EQ(taken.records.tail, captured % kRecordSize);
            EXPECT_EQ(d.destination.address[0], d.destination.v6 ? 1 : 198);
            EXPECT_EQ(d.destination.port, 9100);
        }
    }
}

// The expected frames are scapy's, the IPv6 one from c000:209:: to c633:6404::.
TEST(Frame, WrittenFramesCarryTheirChecksums) {
    const std::pair<bool, std::string> cases[] = {
        {false,
         "02000000000202000000000108004500001f1234000040117c59c0000209c63364041b58238c000b"
         "d4a3010eff"},
        {true,
         "02000000000202000000000186dd60000000000b1140c0000209000000000000000000000000c633"
         "64040000000000000000000000001b58238c000bd4a3010eff"},
    };
    const unsigned char payload[] = {1, 14, 255};
    for (const auto& [v6, expected] : cases) {
        const Endpoint source{v6, {192, 0, 2, 9}, 7000};
        const Endpoint destination{v6, {198, 51, 100, 4}, 9100};
        Bytes out(FrameSize(v6, sizeof payload) + 1, 0xAA);
        std::string hex;
        const std::size_t size = WriteUdpFrame(out.data(), out.size(), source, destination, 0x1234,
                                               payload, sizeof payload);
        for (std::size_t i = 0; i < size; ++i) {
            hex += "0123456789abcdef"[out[i] >> 4];
            hex += "0123456789abcdef"[out[i] & 15];
        }
        EXPECT_EQ(hex, expected);
        EXPECT_EQ(out.back(), 0xAA);
        EXPECT_EQ(WriteUdpFrame(out.data(), size - 1, source, destination, 1, payload, 3), 0u);
    }
}

}  // namespace
}  // namespace Lumera::capture
