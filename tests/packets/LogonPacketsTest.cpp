#include "wire_types/packets/LogonPackets.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "PacketTestSupport.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
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

TEST(LogonResponsePacket, EncodesErrorCodeThenPortAndKeepsLowThirtyTwoBits) {
    LogonResponsePacket packet(errServerUnavailable);
    packet.SetPort(0x01020304);
    EXPECT_EQ(Encoded(packet), (Bytes{3, 0, 0, 0, 4, 3, 2, 1}));
    const LogonResponsePacket decoded(Encoded(packet).data());
    EXPECT_EQ(decoded.GetErrorCode(), errServerUnavailable);
    EXPECT_EQ(decoded.GetPort(), 0x01020304);

    packet.SetPort(0x1'8000'0005L);
    EXPECT_EQ(packet.GetPort(), INT32_MIN + 5);
    packet.SetPort(-1);
    EXPECT_EQ(Encoded(packet), (Bytes{3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Encoded(LogonResponsePacket()), Bytes(8, 0));
}

TEST(UDPLogOnPacket, EncodesTypeFullCapacityIdAndPad) {
    Bytes expected(260, 0);
    PutLE32(expected, 0, udpHolePunch);
    PutText(expected, 4, std::string(254, 's'));
    EXPECT_EQ(Encoded(UDPLogOnPacket(std::string(254, 's'), udpHolePunch)), expected);
    EXPECT_THROW(UDPLogOnPacket(std::string(255, 's'), udpLogOn), std::invalid_argument);
}

TEST(UDPLogOnPacket, DecodeKeepsTypeAndEveryByteForTheNextEncode) {
    Bytes foreign(260, 0);
    PutLE32(foreign, 0, 0xCAFEF00D);
    PutText(foreign, 4, "session");
    foreign[20] = 'z';  // after the terminator
    foreign[259] = 0x7F;
    const UDPLogOnPacket packet(foreign.data());
    EXPECT_EQ(packet.GetGateKeeperSessionID(), "session");
    EXPECT_EQ(Encoded(packet), foreign);
}

TEST(TCPLogonReconnectPacket, EncodesEveryFieldAtItsOffsetAndRoundTrips) {
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

    TCPLogonReconnectPacket packet;
    packet.Decode(expected.data());
    EXPECT_EQ(packet.GetApiName(), std::string(49, 'n'));
    EXPECT_EQ(packet.GetApiVersion(), "2.1");
    EXPECT_EQ(packet.GetUserID(), std::string(49, 'u'));
    EXPECT_EQ(packet.GetGateKeeperSessionID(), std::string(254, 'g'));
    EXPECT_EQ(packet.GetPriceProtocol(), ppUdp);
    EXPECT_EQ(packet.GetPriceLevel(), plDepth);
    EXPECT_EQ(packet.GetSessionType(), stPriceOnly);
    EXPECT_EQ(packet.GetAccountNumber(), -123456);
}

TEST(TCPLogonReconnectPacket, CopiesCarryPadAndBytesAfterTerminators) {
    Bytes foreign = Encoded(FilledReconnect());
    PutText(foreign, 54, "junk");  // after "2.1" and its terminator
    PutText(foreign, 405, "pad");
    TCPLogonReconnectPacket source;
    source.Decode(foreign.data());
    TCPLogonReconnectPacket assigned;
    assigned = source;
    EXPECT_EQ(Encoded(TCPLogonReconnectPacket(source)), foreign);
    EXPECT_EQ(Encoded(assigned), foreign);
}

TEST(LogonPackets, TextFieldsAtCapacityEdge) {
    using P = TCPLogonReconnectPacket;
    using packets_test::CheckTextField;
    CheckTextField(FilledReconnect(), &P::SetAPIName, &P::GetApiName, "ApiName", 0, 50);
    CheckTextField(FilledReconnect(), &P::SetApiVersion, &P::GetApiVersion, "ApiVersion", 50, 50);
    CheckTextField(FilledReconnect(), &P::SetUserID, &P::GetUserID, "UserID", 100, 50);
    CheckTextField(FilledReconnect(), &P::SetGateKeeperSessionID, &P::GetGateKeeperSessionID,
                   "GateKeeperSessionID", 150, 255);
    CheckTextField(UDPLogOnPacket("id", udpPrice), &UDPLogOnPacket::SetGateKeeperSessionID,
                   &UDPLogOnPacket::GetGateKeeperSessionID, "GateKeeperSessionID", 4, 255);
}

TEST(LogonPackets, EncodeReturnsFreshBuffersOrNullWhenAllocationFails) {
    const TCPLogonReconnectPacket packet = FilledReconnect();
    long length = 0;
    const std::unique_ptr<unsigned char[]> a(packet.Encode(&length));
    const std::unique_ptr<unsigned char[]> b(packet.Encode(&length));
    ASSERT_NE(a, b);
    EXPECT_EQ(Bytes(a.get(), a.get() + 424), Bytes(b.get(), b.get() + 424));

    length = 0;
    unsigned char* failed = nullptr;
    {
        packets_test::FailArrayNew failing;
        failed = packet.Encode(&length);
    }
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(length, 424);
}

}  // namespace
