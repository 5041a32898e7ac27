#include <gtest/gtest.h>

#include <cstdint>

#include "PacketTestSupport.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
using packets_test::CheckTextField;
using packets_test::Encoded;
using packets_test::PutLE32;
using packets_test::PutText;

TCPLogonReconnectPacket FilledReconnect() {
    TCPLogonReconnectPacket packet;
    packet.SetAPIName(std::string(49, 'n'));
    packet.SetApiVersion("2.1");
    packet.SetUserID(std::string(49, 'u'));
    packet.SetGateKeeperSessionID(std::string(254, 'g'));
    packet.SetPriceProtocol(ppUdp);
    packet.SetPriceLevel(plDepth);
    packet.SetSessionType(stPriceOnly);
    packet.SetAccountNumber(-123456);
    return packet;
}

TEST(StartLogFileSend, EncodesFieldsAtTheirOffsetsAndDecodes) {
    Bytes expected(288, 0);
    PutLE32(expected, 0, 7);
    PutLE32(expected, 4, 1024);
    PutText(expected, 8, "bob");
    PutText(expected, 33, "a.log");
    EXPECT_EQ(Encoded(StartLogFileSend("bob", 7, 1024, "a.log")), expected);
    EXPECT_EQ(Encoded(StartLogFileSend(expected.data())), expected);
    PutLE32(expected, 0, static_cast<std::uint32_t>(-7));
    EXPECT_EQ(StartLogFileSend(expected.data()).GetAccountNumber(), -7);
}

TEST(CLMWirePriceSubscriptionPacket, EncodesIntegersInArgumentOrderAndDecodes) {
    Bytes expected(108, 0);
    PutLE32(expected, 0, 1);
    PutLE32(expected, 4, 2);
    PutText(expected, 8, std::string(99, 't'));
    EXPECT_EQ(Encoded(CLMWirePriceSubscriptionPacket(1, 2, std::string(99, 't'))), expected);
    CLMWirePriceSubscriptionPacket received(0, 0, "");
    received.Decode(expected.data());
    EXPECT_EQ(Encoded(received), expected);
    EXPECT_EQ(received.GetFirst(), 1);
    EXPECT_EQ(received.GetSecond(), 2);
    EXPECT_EQ(received.GetText(), std::string(99, 't'));
    PutLE32(expected, 0, 0x80000000u);
    EXPECT_EQ(CLMWirePriceSubscriptionPacket::FromBytes(expected.data(), 108).GetFirst(),
              -2147483647 - 1);
    EXPECT_THROW(CLMWirePriceSubscriptionPacket(1, 2, std::string(100, 't')),
                 std::invalid_argument);
    // The text has no setter, so received bytes are the way to its edges: a text that fills the
    // field without a terminator stops at the field's end, one with a NUL at the NUL.
    PutText(expected, 8, std::string(100, 'A'));
    EXPECT_EQ(CLMWirePriceSubscriptionPacket::FromBytes(expected.data(), 108).GetText(),
              std::string(100, 'A'));
    PutText(expected, 8, std::string("ab\0cd", 5));
    EXPECT_EQ(CLMWirePriceSubscriptionPacket::FromBytes(expected.data(), 108).GetText(), "ab");
}

// Each value at its place, little-endian.
TEST(FixedPackets, IntegerPacketsEncodeTheirValuesInOrderAndDecode) {
    LogonResponsePacket packet(errServerUnavailable);
    packet.SetPort(0x01020304);
    Bytes bytes = Encoded(packet);
    EXPECT_EQ(bytes, (Bytes{3, 0, 0, 0, 4, 3, 2, 1}));
    const LogonResponsePacket decoded(bytes.data());
    EXPECT_EQ(decoded.GetErrorCode(), errServerUnavailable);
    EXPECT_EQ(decoded.GetPort(), 0x01020304);
    EXPECT_EQ(Encoded(LogonResponsePacket()), Bytes(8, 0));

    EXPECT_EQ(Encoded(WirePriceProtocolPacket(ppUdp)), (Bytes{2, 0, 0, 0}));
    EXPECT_EQ(Encoded(WireHolePunchDelayPacket(-2L)), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    bytes = {0x10, 0x20, 0x30, 0x40};
    EXPECT_EQ(WireHolePunchDelayPacket(bytes.data()).GetDelay(), 0x40302010);
    // A failed allocation gives null here; the account data packet lets it escape.
    long length = 0;
    packets_test::FailArrayNew failing;
    EXPECT_EQ(packet.Encode(&length), nullptr);
    EXPECT_EQ(length, 8);
}

TEST(UDPLogOnPacket, EncodesTypeThenIdAndReadsTheTypeBack) {
    Bytes expected(260, 0);
    PutLE32(expected, 0, udpHolePunch);
    PutText(expected, 4, std::string(254, 's'));
    const UDPLogOnPacket built(std::string(254, 's'), udpHolePunch);
    EXPECT_EQ(Encoded(built), expected);
    EXPECT_EQ(built.GetPacketType(), udpHolePunch);
    // A type that no enumerator names is carried as it is.
    PutLE32(expected, 0, 0xFFFFFFF6u);
    EXPECT_EQ(UDPLogOnPacket(expected.data()).GetPacketType(), -10);
}

TEST(TCPLogonReconnectPacket, EncodesEveryFieldAtItsOffsetAndCopiesCarryEveryByte) {
    Bytes expected(424, 0);
    PutText(expected, 0, std::string(49, 'n'));
    PutText(expected, 50, "2.1");
    PutText(expected, 100, std::string(49, 'u'));
    PutText(expected, 150, std::string(254, 'g'));
    PutLE32(expected, 408, ppUdp);
    PutLE32(expected, 412, plDepth);
    PutLE32(expected, 416, stPriceOnly);
    PutLE32(expected, 420, static_cast<std::uint32_t>(-123456));
    EXPECT_EQ(Encoded(FilledReconnect()), expected);

    PutText(expected, 54, "junk");  // after "2.1" and its terminator
    PutText(expected, 405, "pad");
    TCPLogonReconnectPacket packet;
    packet.Decode(expected.data());
    EXPECT_EQ(packet.GetApiVersion(), "2.1");
    EXPECT_EQ(packet.GetAccountNumber(), -123456);
    TCPLogonReconnectPacket assigned;
    assigned = packet;
    EXPECT_EQ(Encoded(TCPLogonReconnectPacket(packet)), expected);
    EXPECT_EQ(Encoded(assigned), expected);
}

TEST(FixedPackets, TextFieldsAtCapacityEdge) {
    using P = TCPLogonReconnectPacket;
    using L = StartLogFileSend;
    const L filled(std::string(24, 'u'), 7, 1024, std::string(254, 'f'));
    CheckTextField(filled, &L::SetUserID, &L::GetUserID, "UserID", 8, 25);
    CheckTextField(filled, &L::SetLogFile, &L::GetLogFile, "LogFile", 33, 255);
    CheckTextField(FilledReconnect(), &P::SetAPIName, &P::GetApiName, "ApiName", 0, 50);
    CheckTextField(FilledReconnect(), &P::SetApiVersion, &P::GetApiVersion, "ApiVersion", 50, 50);
    CheckTextField(FilledReconnect(), &P::SetUserID, &P::GetUserID, "UserID", 100, 50);
    CheckTextField(FilledReconnect(), &P::SetGateKeeperSessionID, &P::GetGateKeeperSessionID,
                   "GateKeeperSessionID", 150, 255);
    CheckTextField(UDPLogOnPacket("id", udpPrice), &UDPLogOnPacket::SetGateKeeperSessionID,
                   &UDPLogOnPacket::GetGateKeeperSessionID, "GateKeeperSessionID", 4, 255);
}

}  // namespace
