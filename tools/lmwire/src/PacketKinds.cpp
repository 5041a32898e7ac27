// The fixed-size logon and control packets.

#include <memory>
#include <new>

#include "Kinds.h"
#include "Text.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace lmwire {
namespace {

template <class Packet>
Bytes EncodePacket(const Packet& packet) {
    long length = 0;
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode(&length));
    if (!buffer) {
        throw std::bad_alloc();
    }
    return Bytes(buffer.get(), buffer.get() + length);
}

std::int32_t Int(const Json& values, const char* name) {
    return static_cast<std::int32_t>(values.at(name).get<std::int64_t>());
}

std::string Wide(const std::string& narrow) {
    return Cp1252ToUtf8(narrow);
}

Kind LogonResponse() {
    Kind kind{"logon-response",
              "answer to a logon: error code and port",
              8,
              {Int32("ErrorCode"), Int32("Port")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 8);
        // The library's decoders take a mutable pointer although they only read through it.
        Bytes copy = bytes;
        Lumera::LogonResponsePacket packet(copy.data());
        return Json{{"ErrorCode", packet.GetErrorCode()}, {"Port", packet.GetPort()}};
    };
    kind.encode = [](const Json& values) {
        Lumera::LogonResponsePacket packet(
            static_cast<Lumera::enumErrors>(Int(values, "ErrorCode")));
        packet.SetPort(Int(values, "Port"));
        return EncodePacket(packet);
    };
    return kind;
}

Kind UdpLogon() {
    Kind kind{"udp-logon", "logon over UDP: packet type and gatekeeper session id",
              260,         {Int32("PacketType"), Text("GateKeeperSessionID", 255)},
              {},          {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 260);
        Bytes copy = bytes;
        Lumera::UDPLogOnPacket packet(copy.data());
        // The packet type has no getter: it is read back from the packet's own encoding.
        const Bytes encoded = EncodePacket(packet);
        return Json{{"PacketType", ReadInt32(encoded.data())},
                    {"GateKeeperSessionID", Wide(packet.GetGateKeeperSessionID())}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(
            Lumera::UDPLogOnPacket(NarrowText(values, "GateKeeperSessionID"),
                                   static_cast<Lumera::UDPPacketTypes>(Int(values, "PacketType"))));
    };
    return kind;
}

Kind TcpLogonReconnect() {
    Kind kind{"tcp-logon-reconnect",
              "logon again over TCP: API name and version, user, session, price feed, account",
              424,
              {Text("ApiName", 50), Text("ApiVersion", 50), Text("UserID", 50),
               Text("GateKeeperSessionID", 255), Int32("PriceProtocol"), Int32("PriceLevel"),
               Int32("SessionType"), Int32("AccountNumber")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 424);
        Bytes copy = bytes;
        Lumera::TCPLogonReconnectPacket packet;
        packet.Decode(copy.data());
        return Json{{"ApiName", Wide(packet.GetApiName())},
                    {"ApiVersion", Wide(packet.GetApiVersion())},
                    {"UserID", Wide(packet.GetUserID())},
                    {"GateKeeperSessionID", Wide(packet.GetGateKeeperSessionID())},
                    {"PriceProtocol", packet.GetPriceProtocol()},
                    {"PriceLevel", packet.GetPriceLevel()},
                    {"SessionType", packet.GetSessionType()},
                    {"AccountNumber", packet.GetAccountNumber()}};
    };
    kind.encode = [](const Json& values) {
        Lumera::TCPLogonReconnectPacket packet;
        packet.SetAPIName(NarrowText(values, "ApiName"));
        packet.SetApiVersion(NarrowText(values, "ApiVersion"));
        packet.SetUserID(NarrowText(values, "UserID"));
        packet.SetGateKeeperSessionID(NarrowText(values, "GateKeeperSessionID"));
        packet.SetPriceProtocol(
            static_cast<Lumera::enumPricingProtocol>(Int(values, "PriceProtocol")));
        packet.SetPriceLevel(static_cast<Lumera::enumPriceLevel>(Int(values, "PriceLevel")));
        packet.SetSessionType(static_cast<Lumera::SessionType>(Int(values, "SessionType")));
        packet.SetAccountNumber(Int(values, "AccountNumber"));
        return EncodePacket(packet);
    };
    return kind;
}

Kind PriceProtocol() {
    Kind kind{"price-protocol", "the price protocol to use", 4, {Int32("PriceProtocol")}, {}, {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 4);
        Bytes copy = bytes;
        return Json{
            {"PriceProtocol", Lumera::WirePriceProtocolPacket(copy.data()).GetPriceProtocol()}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(Lumera::WirePriceProtocolPacket(
            static_cast<Lumera::enumPricingProtocol>(Int(values, "PriceProtocol"))));
    };
    return kind;
}

Kind HolePunchDelay() {
    Kind kind{"hole-punch-delay",
              "delay of hole punching on the datagram channel",
              4,
              {Int32("Delay")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 4);
        Bytes copy = bytes;
        return Json{{"Delay", Lumera::WireHolePunchDelayPacket(copy.data()).GetDelay()}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(Lumera::WireHolePunchDelayPacket(Int(values, "Delay")));
    };
    return kind;
}

// This packet has setters only: decoded fields are read from its own encoding, by layout.
Kind StartLogFile() {
    Kind kind{"start-log-file-send",
              "announces a log file upload: account, size, user, file",
              288,
              {Int32("AccountNumber"), Int32("FileSize"), Text("UserID", 25), Text("LogFile", 255)},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 288);
        Bytes copy = bytes;
        const Bytes wire = EncodePacket(Lumera::StartLogFileSend(copy.data()));
        return Json{{"AccountNumber", ReadInt32(&wire[0])},
                    {"FileSize", ReadInt32(&wire[4])},
                    {"UserID", ReadFixedText(&wire[8], 25)},
                    {"LogFile", ReadFixedText(&wire[33], 255)}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(
            Lumera::StartLogFileSend(NarrowText(values, "UserID"), Int(values, "AccountNumber"),
                                     Int(values, "FileSize"), NarrowText(values, "LogFile")));
    };
    return kind;
}

// No accessors at all; the names are those of the constructor's parameters.
Kind PriceSubscription() {
    Kind kind{"price-subscription",
              "asks for prices: two integers and a text",
              108,
              {Int32("First"), Int32("Second"), Text("Text", 100)},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, 108);
        Bytes copy = bytes;
        Lumera::CLMWirePriceSubscriptionPacket packet(0, 0, "");
        packet.Decode(copy.data());
        const Bytes wire = EncodePacket(packet);
        return Json{{"First", ReadInt32(&wire[0])},
                    {"Second", ReadInt32(&wire[4])},
                    {"Text", ReadFixedText(&wire[8], 100)}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(Lumera::CLMWirePriceSubscriptionPacket(
            Int(values, "First"), Int(values, "Second"), NarrowText(values, "Text")));
    };
    return kind;
}

}  // namespace

void AddPacketKinds(std::vector<Kind>& kinds) {
    kinds.push_back(LogonResponse());
    kinds.push_back(UdpLogon());
    kinds.push_back(TcpLogonReconnect());
    kinds.push_back(PriceProtocol());
    kinds.push_back(HolePunchDelay());
    kinds.push_back(StartLogFile());
    kinds.push_back(PriceSubscription());
}

}  // namespace lmwire
