#include "wire_types/packets/WireAccountDataPacket.h"

#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <new>

#include "PacketTestSupport.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
using packets_test::PutLE32;

constexpr auto kKind = [](int value) { return static_cast<enumAccountDataTypes>(value); };

Bytes Encoded(const WireAccountDataPacket& packet) {
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode());
    return Bytes(buffer.get(), buffer.get() + 8 + 12 * packet.NumEntries());
}

void PutEntry(Bytes& bytes, std::size_t index, int kind, double value) {
    PutLE32(bytes, 8 + 12 * index, static_cast<std::uint32_t>(kind));
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    PutLE32(bytes, 12 + 12 * index, static_cast<std::uint32_t>(bits));
    PutLE32(bytes, 16 + 12 * index, static_cast<std::uint32_t>(bits >> 32));
}

Bytes Received(int account, std::initializer_list<std::pair<int, double>> entries) {
    Bytes bytes(8 + 12 * entries.size(), 0);
    PutLE32(bytes, 0, static_cast<std::uint32_t>(account));
    PutLE32(bytes, 4, static_cast<std::uint32_t>(entries.size()));
    std::size_t index = 0;
    for (const auto& [kind, value] : entries) {
        PutEntry(bytes, index++, kind, value);
    }
    return bytes;
}

TEST(WireAccountDataPacket, EmptyPacketEncodesHeaderOnly) {
    EXPECT_EQ(Encoded(WireAccountDataPacket(42L)), (Bytes{42, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Encoded(WireAccountDataPacket()), Bytes(8, 0));
}

TEST(WireAccountDataPacket, EncodesEntriesInAscendingSignedKindOrder) {
    WireAccountDataPacket packet(-3L);
    EXPECT_TRUE(packet.AddInfo(kKind(5), 5.5));
    EXPECT_TRUE(packet.AddInfo(kKind(2), 2.25));
    EXPECT_TRUE(packet.AddInfo(kKind(-1), -1e300));
    EXPECT_EQ(Encoded(packet), Received(-3, {{-1, -1e300}, {2, 2.25}, {5, 5.5}}));
}

TEST(WireAccountDataPacket, DuplicateAddKeepsFirstValueAndAbsentKindReadsZero) {
    WireAccountDataPacket packet(1L);
    ASSERT_TRUE(packet.AddInfo(adtBuyingPower, 10.0));
    EXPECT_FALSE(packet.AddInfo(adtBuyingPower, 20.0));
    EXPECT_EQ(packet.GetAccountInfo(adtBuyingPower), 10.0);
    EXPECT_EQ(packet.NumEntries(), 1);
    EXPECT_EQ(packet.GetAccountInfo(adtMargin), 0.0);
}

TEST(WireAccountDataPacket, ReceivedDuplicatesKeepTheFirstOccurrence) {
    Bytes bytes = Received(9, {{7, 7.5}, {7, 8.5}, {1, 1.5}});
    const WireAccountDataPacket packet(bytes.data());
    EXPECT_EQ(packet.NumEntries(), 2);
    EXPECT_EQ(packet.GetAccountInfo(kKind(7)), 7.5);
    EXPECT_EQ(Encoded(packet), Received(9, {{1, 1.5}, {7, 7.5}}));
}

TEST(WireAccountDataPacket, CountBelowOneReadsNoEntry) {
    for (const int count : {0, -1, std::numeric_limits<int>::min()}) {
        Bytes bytes = Received(4, {});
        PutLE32(bytes, 4, static_cast<std::uint32_t>(count));
        const WireAccountDataPacket packet(bytes.data());
        EXPECT_EQ(Encoded(packet), Received(4, {})) << count;
    }
}

TEST(WireAccountDataPacket, DecodeAddsToEntriesAlreadyHeld) {
    WireAccountDataPacket packet(1L);
    packet.AddInfo(kKind(1), 1.5);
    Bytes bytes = Received(2, {{1, 2.5}, {3, 3.5}});
    packet.Decode(bytes.data());
    EXPECT_EQ(packet.NumEntries(), 2);
    EXPECT_EQ(packet.GetAccountInfo(kKind(1)), 1.5);
    EXPECT_EQ(Encoded(packet), Received(2, {{1, 1.5}, {3, 3.5}}));
}

TEST(WireAccountDataPacket, ValuesSurviveBitForBit) {
    const double values[] = {std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(), -0.0,
                             std::numeric_limits<double>::denorm_min(), 123456.789};
    WireAccountDataPacket packet(5L);
    for (int i = 0; i < 5; ++i) {
        packet.AddInfo(kKind(i), values[i]);
    }
    const Bytes bytes = Encoded(packet);
    WireAccountDataPacket decoded;
    decoded.Decode(const_cast<unsigned char*>(bytes.data()));
    for (int i = 0; i < 5; ++i) {
        const double value = decoded.GetAccountInfo(kKind(i));
        EXPECT_EQ(std::memcmp(&value, &values[i], sizeof value), 0) << i;
    }
    EXPECT_EQ(Encoded(decoded), bytes);
}

TEST(WireAccountDataPacket, CopiesAreIndependent) {
    WireAccountDataPacket source(8L);
    source.AddInfo(adtBalance, 1.0);
    WireAccountDataPacket copy(source);
    copy.AddInfo(adtMargin, 2.0);
    WireAccountDataPacket assigned(99L);
    assigned.AddInfo(adtOpenPnl, 3.0);
    assigned = source;
    source.AddInfo(adtClosedPnl, 4.0);
    EXPECT_EQ(Encoded(copy), Received(8, {{adtBalance, 1.0}, {adtMargin, 2.0}}));
    EXPECT_EQ(Encoded(assigned), Received(8, {{adtBalance, 1.0}}));

    auto& self = assigned;
    assigned = self;
    EXPECT_EQ(Encoded(assigned), Received(8, {{adtBalance, 1.0}}));
}

TEST(WireAccountDataPacket, EncodePropagatesAllocationFailure) {
    WireAccountDataPacket packet(1L);
    packet.AddInfo(adtBalance, 1.0);
    packets_test::FailArrayNew failing;
    EXPECT_THROW(packet.Encode(), std::bad_alloc);
}

}  // namespace
