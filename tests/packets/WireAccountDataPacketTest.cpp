#include "wire_types/packets/WireAccountDataPacket.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "PacketTestSupport.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
using packets_test::PutLE32;

enumAccountDataTypes Kind(int value) {
    return static_cast<enumAccountDataTypes>(value);
}

Bytes Encoded(const WireAccountDataPacket& packet) {
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode());
    return Bytes(buffer.get(), buffer.get() + 8 + 12 * packet.NumEntries());
}

// The wire form of an account and its entries, in the order given.
Bytes Wire(int account, std::initializer_list<std::pair<int, double>> entries) {
    Bytes bytes(8, 0);
    PutLE32(bytes, 0, static_cast<std::uint32_t>(account));
    PutLE32(bytes, 4, static_cast<std::uint32_t>(entries.size()));
    for (const auto& [kind, value] : entries) {
        std::uint64_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        bytes.resize(bytes.size() + 12);
        PutLE32(bytes, bytes.size() - 12, static_cast<std::uint32_t>(kind));
        PutLE32(bytes, bytes.size() - 8, static_cast<std::uint32_t>(bits));
        PutLE32(bytes, bytes.size() - 4, static_cast<std::uint32_t>(bits >> 32));
    }
    return bytes;
}

TEST(WireAccountDataPacket, EncodesEntriesInAscendingSignedKindOrderBitForBit) {
    const double infinity = std::numeric_limits<double>::infinity();
    const double tiny = std::numeric_limits<double>::denorm_min();
    WireAccountDataPacket packet(-3L);
    EXPECT_TRUE(packet.AddInfo(Kind(5), 5.5));
    EXPECT_TRUE(packet.AddInfo(Kind(2), -0.0));
    EXPECT_TRUE(packet.AddInfo(Kind(-1), -infinity));
    EXPECT_TRUE(packet.AddInfo(Kind(3), tiny));
    Bytes expected = Wire(-3, {{-1, -infinity}, {2, -0.0}, {3, tiny}, {5, 5.5}});
    EXPECT_EQ(Encoded(packet), expected);
    const WireAccountDataPacket received(expected.data());
    EXPECT_EQ(Encoded(received), expected);
    EXPECT_EQ(received.GetAccount(), -3);
    using Entries = std::vector<std::pair<enumAccountDataTypes, double>>;
    EXPECT_EQ(received.GetEntries(),
              (Entries{{Kind(-1), -infinity}, {Kind(2), -0.0}, {Kind(3), tiny}, {Kind(5), 5.5}}));
    EXPECT_TRUE(std::signbit(received.GetEntries()[1].second));
}

// A kind is held once: the first value added or decoded stays, also over the entries a decode
// finds already held. Absent and a stored 0.0 read alike through GetAccountInfo only.
TEST(WireAccountDataPacket, EachKindKeepsItsFirstValue) {
    WireAccountDataPacket packet(1L);
    ASSERT_TRUE(packet.AddInfo(adtBuyingPower, 10.0));
    EXPECT_FALSE(packet.AddInfo(adtBuyingPower, 20.0));
    EXPECT_EQ(Encoded(packet), Wire(1, {{adtBuyingPower, 10.0}}));
    EXPECT_EQ(packet.GetAccountInfo(adtMargin), 0.0);
    EXPECT_EQ(packet.FindAccountInfo(adtMargin), std::nullopt);
    packet.AddInfo(adtMargin, 0.0);
    EXPECT_EQ(packet.FindAccountInfo(adtMargin), 0.0);

    Bytes bytes = Wire(9, {{7, 7.5}, {7, 8.5}, {1, 1.5}});
    EXPECT_EQ(Encoded(WireAccountDataPacket(bytes.data())), Wire(9, {{1, 1.5}, {7, 7.5}}));
    WireAccountDataPacket held(1L);
    held.AddInfo(Kind(1), 1.5);
    bytes = Wire(2, {{1, 2.5}, {3, 3.5}});
    held.Decode(bytes.data());
    EXPECT_EQ(Encoded(held), Wire(2, {{1, 1.5}, {3, 3.5}}));
    for (const int count : {0, -1, std::numeric_limits<int>::min()}) {  // below one: no entry
        bytes = Wire(4, {{1, 1.0}});
        PutLE32(bytes, 4, static_cast<std::uint32_t>(count));
        EXPECT_EQ(Encoded(WireAccountDataPacket(bytes.data())), Wire(4, {})) << count;
    }
}

// Copies are independent; a failed allocation escapes Encode (the fixed packets give null).
TEST(WireAccountDataPacket, CopiesAreIndependentAndEncodePropagatesAllocationFailure) {
    WireAccountDataPacket source(8L);
    source.AddInfo(adtBalance, 1.0);
    WireAccountDataPacket copy(source);
    WireAccountDataPacket assigned(99L);
    assigned.AddInfo(adtOpenPnl, 3.0);
    assigned = source;
    source.AddInfo(adtClosedPnl, 4.0);
    copy.AddInfo(adtMargin, 2.0);
    EXPECT_EQ(Encoded(copy), Wire(8, {{adtBalance, 1.0}, {adtMargin, 2.0}}));
    EXPECT_EQ(Encoded(assigned), Wire(8, {{adtBalance, 1.0}}));
    packets_test::FailArrayNew failing;
    EXPECT_THROW(source.Encode(), std::bad_alloc);
}

}  // namespace
