// The checked decoders of the fixed packets and their factories: every length short of a
// packet's size is refused and leaves the packet as it was; the full size (or more) decodes
// exactly as the trusting decoder does.

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <cstddef>
#include <stdexcept>
#include <string>

#include "PacketTestSupport.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
using packets_test::Encoded;
using packets_test::RefusedFor;

// `known` makes the packet in a known state, far from the pattern decoded.
template <class Packet, class Make>
void CheckFixedForm(const std::string& name, Make known) {
    SCOPED_TRACE(name);
    constexpr std::size_t size = sizeof(Packet);
    Bytes bytes(size + 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<unsigned char>(0xA5 ^ (i * 7));
    }
    const auto* chars = reinterpret_cast<const char*>(bytes.data());
    const auto* stdBytes = reinterpret_cast<const std::byte*>(chars);
    for (std::size_t given = 0; given < size; ++given) {
        Packet packet = known();
        EXPECT_THAT([&] { packet.Decode(bytes.data(), given); }, RefusedFor(name, size, given));
        EXPECT_EQ(Encoded(packet), Encoded(known())) << "given " << given;
        EXPECT_THAT([&] { (void)Packet::FromBytes(bytes.data(), given); },
                    RefusedFor(name, size, given));
    }
    EXPECT_THAT([&] { (void)Packet::FromBytes(chars, size - 1); },
                RefusedFor(name, size, size - 1));
    EXPECT_THAT([&] { (void)Packet::FromBytes(stdBytes, size - 1); },
                RefusedFor(name, size, size - 1));

    const Bytes expected(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    Packet packet = known();
    packet.Decode(bytes.data(), size);
    EXPECT_EQ(Encoded(packet), expected);
    Packet trusted = known();
    trusted.Decode(Bytes(bytes).data());
    EXPECT_EQ(Encoded(trusted), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(bytes.data(), bytes.size())), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(chars, size)), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(stdBytes, size)), expected);
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

}  // namespace
