#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <utility>

#include "PacketTestSupport.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace {

using namespace Lumera;
using namespace packets_test;

void PutText(Bytes& bytes, std::size_t offset, const std::string& text) {
    std::copy(text.begin(), text.end(), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

// A packet's expected bytes: zeros, with 32-bit integers and texts at the offsets given.
Bytes Wire(std::size_t size, std::initializer_list<std::pair<std::size_t, std::int32_t>> integers,
           std::initializer_list<std::pair<std::size_t, std::string>> texts) {
    Bytes bytes(size, 0);
    for (const auto& [at, value] : integers) {
        packets_test::PutLE32(bytes, at, static_cast<std::uint32_t>(value));
    }
    for (const auto& [at, text] : texts) {
        PutText(bytes, at, text);
    }
    return bytes;
}

TCPLogonReconnectPacket FilledReconnect() {
    TCPLogonReconnectPacket packet;
    packet.SetAPIName(std::string(49, 'n'));
    packet.SetApiVersion("2.1");
    packet.SetUserID(std::string(49, 'u'));
    packet.SetGateKeeperSessionID(std::string(254, 's'));
    packet.SetPriceProtocol(ppUdp);
    packet.SetPriceLevel(plDepth);
    packet.SetSessionType(stPriceOnly);
    packet.SetAccountNumber(-123456);
    return packet;
}

TEST(FixedPackets, EncodeEachFieldAtItsOffsetLittleEndian) {
    LogonResponsePacket response(errServerUnavailable);
    response.SetPort(0x01020304);
    const std::string n49(49, 'n'), u49(49, 'u'), s254(254, 's'), t99(99, 't');
    const std::pair<Bytes, Bytes> cases[] = {
        {Encoded(LogonResponsePacket()), Bytes(8, 0)},
        {Encoded(response), Bytes{3, 0, 0, 0, 4, 3, 2, 1}},
        {Encoded(WirePriceProtocolPacket(ppUdp)), Bytes{2, 0, 0, 0}},
        {Encoded(WireHolePunchDelayPacket(-2L)), Bytes{0xFE, 0xFF, 0xFF, 0xFF}},
        {Encoded(UDPLogOnPacket(s254, udpHolePunch)), Wire(260, {{0, udpHolePunch}}, {{4, s254}})},
        {Encoded(StartLogFileSend("bob", 7, -1024, "a.log")),
         Wire(288, {{0, 7}, {4, -1024}}, {{8, "bob"}, {33, "a.log"}})},
        {Encoded(CLMWirePriceSubscriptionPacket(1, -2, t99)),
         Wire(108, {{0, 1}, {4, -2}}, {{8, t99}})},
        {Encoded(FilledReconnect()),
         Wire(424, {{408, ppUdp}, {412, plDepth}, {416, stPriceOnly}, {420, -123456}},
              {{0, n49}, {50, "2.1"}, {100, u49}, {150, s254}})},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(cases[i].first, cases[i].second) << "case " << i;
    }
    long length = 0;  // a failed allocation gives null, the length still set
    packets_test::FailArrayNew failing;
    EXPECT_EQ(response.Encode(&length), nullptr);
    EXPECT_EQ(length, 8);
}

// One text of a packet whose other fields are set: the longest fits, zero-filled; a NUL cuts it;
// one more character is refused, naming field and capacity, and empties the field; received bytes
// without a terminator read to the field's end. Encodings compare whole: nothing else changes.
template <class Packet, class Set, class Get>
void CheckText(Packet packet, Set set, Get get, const std::string& name, std::size_t offset,
               std::size_t capacity) {
    SCOPED_TRACE(name);
    const Bytes before = Encoded(packet);
    const auto with = [&](const std::string& text) {
        Bytes bytes = before;
        std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), capacity, 0);
        PutText(bytes, offset, text);
        return bytes;
    };
    const std::string longest(capacity - 1, 'x');
    std::invoke(set, packet, longest);
    EXPECT_EQ(Encoded(packet), with(longest));
    EXPECT_EQ(std::invoke(get, packet), longest);
    std::invoke(set, packet, "ab" + std::string(1, '\0') + longest);
    EXPECT_EQ(Encoded(packet), with("ab"));
    using namespace ::testing;
    EXPECT_THAT([&] { std::invoke(set, packet, std::string(capacity, 'y')); },
                ThrowsMessage<std::invalid_argument>(
                    AllOf(HasSubstr(name), HasSubstr(std::to_string(capacity)))));
    EXPECT_EQ(Encoded(packet), with(""));

    Bytes foreign = with(std::string(capacity, 'A'));
    if (offset + capacity < foreign.size()) {
        foreign[offset + capacity] = 'B';
    }
    packet.Decode(foreign.data());
    EXPECT_EQ(std::invoke(get, packet), std::string(capacity, 'A'));
}

TEST(FixedPackets, TextFieldsAtCapacityEdge) {
    using P = TCPLogonReconnectPacket;
    using L = StartLogFileSend;
    using U = UDPLogOnPacket;
    const L log(std::string(24, 'u'), 7, 1024, std::string(254, 'f'));
    CheckText(log, &L::SetUserID, &L::GetUserID, "UserID", 8, 25);
    CheckText(log, &L::SetLogFile, &L::GetLogFile, "LogFile", 33, 255);
    CheckText(FilledReconnect(), &P::SetAPIName, &P::GetApiName, "ApiName", 0, 50);
    CheckText(FilledReconnect(), &P::SetApiVersion, &P::GetApiVersion, "ApiVersion", 50, 50);
    CheckText(FilledReconnect(), &P::SetUserID, &P::GetUserID, "UserID", 100, 50);
    CheckText(FilledReconnect(), &P::SetGateKeeperSessionID, &P::GetGateKeeperSessionID,
              "GateKeeperSessionID", 150, 255);
    CheckText(U("id", udpPrice), &U::SetGateKeeperSessionID, &U::GetGateKeeperSessionID,
              "GateKeeperSessionID", 4, 255);
    EXPECT_THROW(CLMWirePriceSubscriptionPacket(1, 2, std::string(100, 't')),
                 std::invalid_argument);
}

// Every length short of the size is refused, leaving the packet as `known` made it; the full size
// or more decodes as the trusting decoder does.
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

    const Bytes expected(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
    Packet packet = known();
    packet.Decode(bytes.data(), size);
    EXPECT_EQ(Encoded(packet), expected);
    Packet trusted = known();
    trusted.Decode(Bytes(bytes).data());
    EXPECT_EQ(Encoded(trusted), expected);
    EXPECT_EQ(Encoded(Packet::FromBytes(bytes.data(), bytes.size())), expected);
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
    CheckFixedForm<TCPLogonReconnectPacket>("TCPLogonReconnectPacket", FilledReconnect);
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
