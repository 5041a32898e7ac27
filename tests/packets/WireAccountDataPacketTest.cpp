#include "wire_types/packets/WireAccountDataPacket.h"

#include <gtest/gtest.h>

#include <gmock/gmock.h>

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
using packets_test::RefusedFor;

enumAccountDataTypes Kind(int value) {
    return static_cast<enumAccountDataTypes>(value);
}

Bytes Encoded(const WireAccountDataPacket& packet) {
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode());
    return Bytes(buffer.get(), buffer.get() + 8 + 12 * packet.NumEntries());
}

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
    packets_test::FailArrayNew failing;  // unlike the fixed packets, which give null
    EXPECT_THROW((void)packet.Encode(), std::bad_alloc);
}

// The first value of a kind added or decoded stays; absent reads as 0.0 through GetAccountInfo.
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

WireAccountDataPacket Held() {
    WireAccountDataPacket packet(99);
    packet.AddInfo(Kind(-7), 1.5);
    return packet;
}

// Refused, leaving the packet: a short header, any length short of the count's entries (also
// counts whose size overflows or wraps in 32 bits), a negative count. The factory starts empty.
TEST(WireAccountDataPacket, CheckedDecodeTakesCountsUpToWhatTheSizeHoldsAndRefusesTheRest) {
    using namespace ::testing;
    const Bytes three = Wire(5, {{0, 0.5}, {1, 1.5}, {2, 2.5}});
    const auto counted = [&](std::int32_t count) {
        Bytes bytes = three;
        PutLE32(bytes, 4, static_cast<std::uint32_t>(count));
        return bytes;
    };
    const auto refuses = [&](const Bytes& bytes, std::size_t given, auto refusal) {
        SCOPED_TRACE(Message() << "given " << given);
        WireAccountDataPacket packet = Held();
        EXPECT_THAT([&] { packet.Decode(bytes.data(), given); }, refusal);
        EXPECT_EQ(Encoded(packet), Encoded(Held()));
        EXPECT_THAT([&] { (void)WireAccountDataPacket::FromBytes(bytes.data(), given); }, refusal);
    };
    for (std::size_t given = 0; given < three.size(); ++given) {
        refuses(three, given, RefusedFor("WireAccountDataPacket", given < 8 ? 8 : 44, given));
    }
    for (const std::int32_t count : {0x7FFFFFFF, 0x15555556}) {
        refuses(counted(count), 44,
                RefusedFor("WireAccountDataPacket", 8 + 12 * std::uint64_t(count), 44));
    }
    refuses(counted(-1), 44,
            ThrowsMessage<std::length_error>(
                AllOf(HasSubstr("WireAccountDataPacket"), HasSubstr("-1"), HasSubstr("given 44"))));
    EXPECT_THROW(Held().Decode(nullptr, 8), std::invalid_argument);

    for (std::int32_t count = 0; count <= 3; ++count) {  // trailing bytes ignored
        WireAccountDataPacket checked = Held();          // the decoder adds to what it holds
        checked.Decode(counted(count).data(), 8 + 12 * static_cast<std::size_t>(count));
        WireAccountDataPacket trusted = Held();
        trusted.Decode(counted(count).data());
        EXPECT_EQ(Encoded(checked), Encoded(trusted)) << count;
    }
    const auto* chars = reinterpret_cast<const char*>(three.data());
    EXPECT_EQ(Encoded(WireAccountDataPacket::FromBytes(chars, 44)), three);
}

}  // namespace
