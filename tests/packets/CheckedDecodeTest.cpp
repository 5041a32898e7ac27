// The checked decoders of the packets and their factories: every length short of a packet's size
// is refused with a message naming the class, the bytes needed and the bytes given, and leaves
// the packet as it was; the full size (or more) decodes exactly as the trusting decoder does.

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "PacketTestSupport.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
using packets_test::Encoded;
using packets_test::PutLE32;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

// Bytes that differ from every packet's known state in every position.
Bytes Pattern(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 7));
    }
    return bytes;
}

auto RefusedFor(const std::string& who, std::uint64_t needed, std::size_t given) {
    return ThrowsMessage<std::length_error>(
        AllOf(HasSubstr(who), HasSubstr("needs " + std::to_string(needed) + " bytes"),
              HasSubstr("given " + std::to_string(given))));
}

// Every length short of the packet is refused and leaves the packet as it was; the full size or
// more decodes as the trusting decoder does; a null buffer is an invalid argument unless it
// claims no bytes. `known` makes the packet in a known state.
template <class Packet, class Make>
void CheckFixedForm(const std::string& name, Make known) {
    SCOPED_TRACE(name);
    constexpr std::size_t size = sizeof(Packet);
    const Bytes bytes = Pattern(size + 3);
    const auto* chars = reinterpret_cast<const char*>(bytes.data());
    for (std::size_t given = 0; given < size; ++given) {
        Packet packet = known();
        EXPECT_THAT([&] { packet.Decode(bytes.data(), given); }, RefusedFor(name, size, given));
        EXPECT_EQ(Encoded(packet), Encoded(known())) << "given " << given;
        EXPECT_THAT([&] { (void)Packet::FromBytes(bytes.data(), given); },
                    RefusedFor(name, size, given));
        EXPECT_THAT([&] { (void)Packet::FromBytes(chars, given); }, RefusedFor(name, size, given));
        EXPECT_THAT(
            [&] { (void)Packet::FromBytes(reinterpret_cast<const std::byte*>(chars), given); },
            RefusedFor(name, size, given));
    }
    const Bytes expected(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    Packet packet = known();
    packet.Decode(bytes.data(), size);
    EXPECT_EQ(Encoded(packet), expected);
    Packet trusted = known();
    trusted.Decode(Bytes(bytes).data());
    EXPECT_EQ(Encoded(trusted), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(bytes.data(), bytes.size())), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(chars, size)), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(reinterpret_cast<const std::byte*>(chars), size)),
              expected);
    EXPECT_THROW(packet.Decode(nullptr, size), std::invalid_argument);
    EXPECT_THROW(packet.Decode(nullptr, 1), std::invalid_argument);
    EXPECT_THAT([&] { packet.Decode(nullptr, 0); }, RefusedFor(name, size, 0));
    EXPECT_THROW((void)Packet::FromBytes(nullptr, size), std::invalid_argument);
}

TEST(CheckedDecode, EveryTruncatedFixedPacketIsRefusedAndLeftUnchanged) {
    CheckFixedForm<LogonResponsePacket>("LogonResponsePacket",
                                        [] { return LogonResponsePacket(errServerUnavailable); });
    CheckFixedForm<UDPLogOnPacket>("UDPLogOnPacket",
                                   [] { return UDPLogOnPacket("session", udpHolePunch); });
    CheckFixedForm<TCPLogonReconnectPacket>("TCPLogonReconnectPacket", [] {
        TCPLogonReconnectPacket packet;
        packet.SetUserID("user");
        packet.SetAccountNumber(77);
        return packet;
    });
    CheckFixedForm<WirePriceProtocolPacket>("WirePriceProtocolPacket",
                                            [] { return WirePriceProtocolPacket(ppTcp); });
    CheckFixedForm<WireHolePunchDelayPacket>("WireHolePunchDelayPacket",
                                             [] { return WireHolePunchDelayPacket(-5L); });
    CheckFixedForm<StartLogFileSend>("StartLogFileSend",
                                     [] { return StartLogFileSend("bob", 7, 1024, "a.log"); });
    CheckFixedForm<CLMWirePriceSubscriptionPacket>("CLMWirePriceSubscriptionPacket", [] {
        return CLMWirePriceSubscriptionPacket(1, 2, "text");
    });
}

// The account data packet: a header, then N entries of 12 bytes.

Bytes AccountData(std::int32_t account, std::int32_t count, std::size_t entries) {
    Bytes bytes = Pattern(8 + 12 * entries);
    PutLE32(bytes, 0, static_cast<std::uint32_t>(account));
    PutLE32(bytes, 4, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < entries; ++i) {
        PutLE32(bytes, 8 + 12 * i, static_cast<std::uint32_t>(i));  // distinct kinds
    }
    return bytes;
}

Bytes EncodedData(const WireAccountDataPacket& packet) {
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode());
    return Bytes(buffer.get(), buffer.get() + 8 + 12 * packet.NumEntries());
}

WireAccountDataPacket Held() {
    WireAccountDataPacket packet(99);
    packet.AddInfo(static_cast<enumAccountDataTypes>(-7), 1.5);
    return packet;
}

TEST(CheckedDecode, AccountDataRefusesShortHeadersAndNegativeCountsOrCountsBeyondTheSize) {
    const Bytes unchanged = EncodedData(Held());
    const auto refuses = [&](const Bytes& bytes, std::size_t given, std::uint64_t needed) {
        WireAccountDataPacket packet = Held();
        EXPECT_THAT([&] { packet.Decode(bytes.data(), given); },
                    RefusedFor("WireAccountDataPacket", needed, given));
        EXPECT_EQ(EncodedData(packet), unchanged);
        EXPECT_THAT([&] { (void)WireAccountDataPacket::FromBytes(bytes.data(), given); },
                    RefusedFor("WireAccountDataPacket", needed, given));
    };
    const Bytes three = AccountData(5, 3, 3);
    for (std::size_t given = 0; given < 8; ++given) {
        SCOPED_TRACE(given);
        refuses(three, given, 8);
    }
    // Every length between the header and the last entry's last byte.
    for (std::size_t given = 8; given < three.size(); ++given) {
        SCOPED_TRACE(given);
        refuses(three, given, three.size());
    }
    // Counts whose size overflows 32 bits, and one whose 12-fold wraps to 8 in 32 bits.
    const Bytes huge = AccountData(5, 0x7FFFFFFF, 1);
    refuses(huge, huge.size(), 8 + 12 * std::uint64_t{0x7FFFFFFF});
    const Bytes wraps = AccountData(5, 0x15555556, 1);
    refuses(wraps, wraps.size(), 8 + 12 * std::uint64_t{0x15555556});

    const Bytes negative = AccountData(5, -1, 2);
    WireAccountDataPacket packet = Held();
    EXPECT_THAT([&] { packet.Decode(negative.data(), negative.size()); },
                ThrowsMessage<std::length_error>(
                    AllOf(HasSubstr("WireAccountDataPacket"), HasSubstr("-1"),
                          HasSubstr("given " + std::to_string(negative.size())))));
    EXPECT_EQ(EncodedData(packet), unchanged);
    EXPECT_THROW((void)WireAccountDataPacket::FromBytes(negative.data(), negative.size()),
                 std::length_error);
}

// Counts up to what the size holds are taken, trailing bytes ignored; the factory starts from
// nothing, the decoder adds to what the packet holds.
TEST(CheckedDecode, AccountDataAcceptsCountsUpToWhatTheSizeHolds) {
    for (std::int32_t count = 0; count <= 3; ++count) {
        SCOPED_TRACE(count);
        const Bytes bytes = AccountData(5, count, 3);
        const std::size_t size = 8 + 12 * static_cast<std::size_t>(count);
        WireAccountDataPacket checked = Held();
        checked.Decode(bytes.data(), size);
        WireAccountDataPacket trusted = Held();
        trusted.Decode(Bytes(bytes).data());
        EXPECT_EQ(checked.NumEntries(), count + 1);
        EXPECT_EQ(EncodedData(checked), EncodedData(trusted));
        const auto made = WireAccountDataPacket::FromBytes(bytes.data(), size);
        EXPECT_EQ(EncodedData(made), EncodedData(WireAccountDataPacket(Bytes(bytes).data())));
        EXPECT_EQ(EncodedData(WireAccountDataPacket::FromBytes(
                      reinterpret_cast<const char*>(bytes.data()), size)),
                  EncodedData(made));
    }
    EXPECT_THROW(Held().Decode(nullptr, 8), std::invalid_argument);
    EXPECT_THROW((void)WireAccountDataPacket::FromBytes(nullptr, 8), std::invalid_argument);
}

}  // namespace
