#include "wire_types/packets/ControlPackets.h"

#include <gtest/gtest.h>

#include "PacketTestSupport.h"

namespace {

using namespace Lumera;
using packets_test::Bytes;
using packets_test::Encoded;
using packets_test::FieldReader;
using packets_test::PutLE32;
using packets_test::PutText;

TEST(ControlPackets, SingleValuePacketsEncodeAsTheirValue) {
    EXPECT_EQ(Encoded(WirePriceProtocolPacket(ppTcp)), (Bytes{1, 0, 0, 0}));
    EXPECT_EQ(Encoded(WireHolePunchDelayPacket(-2L)), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));

    Bytes bytes{0x10, 0x20, 0x30, 0x40};
    EXPECT_EQ(WireHolePunchDelayPacket(bytes.data()).GetDelay(), 0x40302010);
    EXPECT_EQ(static_cast<std::int32_t>(WirePriceProtocolPacket(bytes.data()).GetPriceProtocol()),
              0x40302010);

    WireHolePunchDelayPacket delay;
    delay.SetDelay(0x1'0000'0007L);
    EXPECT_EQ(delay.GetDelay(), 7);
    WirePriceProtocolPacket protocol;
    protocol.SetPriceProtocol(ppUdp);
    EXPECT_EQ(Encoded(protocol), (Bytes{2, 0, 0, 0}));
}

TEST(StartLogFileSend, EncodesFieldsAtTheirOffsets) {
    Bytes expected(288, 0);
    PutLE32(expected, 0, 7);
    PutLE32(expected, 4, 1024);
    PutText(expected, 8, "bob");
    PutText(expected, 33, "a.log");
    EXPECT_EQ(Encoded(StartLogFileSend("bob", 7, 1024, "a.log")), expected);

    // A full-capacity user id must not reach the log file that follows it.
    StartLogFileSend full(std::string(24, 'u'), -1, 0, std::string(254, 'f'));
    expected.assign(288, 0);
    PutLE32(expected, 0, 0xFFFFFFFF);
    PutText(expected, 8, std::string(24, 'u'));
    PutText(expected, 33, std::string(254, 'f'));
    EXPECT_EQ(Encoded(full), expected);

    const StartLogFileSend decoded(expected.data());
    StartLogFileSend assigned;
    assigned = decoded;
    EXPECT_EQ(Encoded(assigned), expected);
}

TEST(CLMWirePriceSubscriptionPacket, EncodesIntegersInArgumentOrderAndDecodes) {
    Bytes expected(108, 0);
    PutLE32(expected, 0, 1);
    PutLE32(expected, 4, 2);
    PutText(expected, 8, "ESZ5");
    EXPECT_EQ(Encoded(CLMWirePriceSubscriptionPacket(1, 2, "ESZ5")), expected);

    CLMWirePriceSubscriptionPacket received(0, 0, "");
    received.Decode(expected.data());
    EXPECT_EQ(Encoded(received), expected);
}

TEST(ControlPackets, TextFieldsAtCapacityEdge) {
    using L = StartLogFileSend;
    const L filled(std::string(24, 'u'), 7, 1024, std::string(254, 'f'));
    packets_test::CheckTextField(filled, &L::SetUserID, FieldReader<L>(8, 25), "UserID", 8, 25);
    packets_test::CheckTextField(filled, &L::SetLogFile, FieldReader<L>(33, 255), "LogFile", 33,
                                 255);

    // The subscription text is set only by the constructor.
    const Bytes longest = Encoded(CLMWirePriceSubscriptionPacket(1, 2, std::string(99, 't')));
    EXPECT_EQ(std::string(longest.begin() + 8, longest.end() - 1), std::string(99, 't'));
    EXPECT_EQ(longest[107], 0);
    try {
        CLMWirePriceSubscriptionPacket(1, 2, std::string(100, 't'));
        ADD_FAILURE() << "over-long text accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("Text"), std::string::npos);
        EXPECT_NE(std::string(error.what()).find("100"), std::string::npos);
    }
}

}  // namespace
