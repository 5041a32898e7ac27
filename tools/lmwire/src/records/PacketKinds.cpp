// The fixed-size logon and control packets.

#include <memory>
#include <new>

#include "common/Text.h"
#include "records/Kinds.h"
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
              Lumera::LogonResponsePacketLayout::kSize,
              {Int32("ErrorCode"), Int32("Port")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet = Lumera::LogonResponsePacket::FromBytes(bytes.data(), bytes.size());
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
    using L = Lumera::UDPLogOnPacketLayout;
    Kind kind{"udp-logon",
              "logon over UDP: packet type and gatekeeper session id",
              L::kSize,
              {Int32("PacketType"), Text("GateKeeperSessionID", L::kGateKeeperSessionIDCapacity)},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet = Lumera::UDPLogOnPacket::FromBytes(bytes.data(), bytes.size());
        return Json{{"PacketType", packet.GetPacketType()},
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
    using L = Lumera::TCPLogonReconnectPacketLayout;
    Kind kind{"tcp-logon-reconnect",
              "logon again over TCP: API name and version, user, session, price feed, account",
              L::kSize,
              {Text("ApiName", L::kApiNameCapacity), Text("ApiVersion", L::kApiVersionCapacity),
               Text("UserID", L::kUserIDCapacity),
               Text("GateKeeperSessionID", L::kGateKeeperSessionIDCapacity), Int32("PriceProtocol"),
               Int32("PriceLevel"), Int32("SessionType"), Int32("AccountNumber")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet = Lumera::TCPLogonReconnectPacket::FromBytes(bytes.data(), bytes.size());
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
    Kind kind{"price-protocol",
              "the price protocol to use",
              Lumera::WirePriceProtocolPacketLayout::kSize,
              {Int32("PriceProtocol")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet = Lumera::WirePriceProtocolPacket::FromBytes(bytes.data(), bytes.size());
        return Json{{"PriceProtocol", packet.GetPriceProtocol()}};
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
              Lumera::WireHolePunchDelayPacketLayout::kSize,
              {Int32("Delay")},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet = Lumera::WireHolePunchDelayPacket::FromBytes(bytes.data(), bytes.size());
        return Json{{"Delay", packet.GetDelay()}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(Lumera::WireHolePunchDelayPacket(Int(values, "Delay")));
    };
    return kind;
}

Kind StartLogFile() {
    using L = Lumera::StartLogFileSendLayout;
    Kind kind{"start-log-file-send",
              "announces a log file upload: account, size, user, file",
              L::kSize,
              {Int32("AccountNumber"), Int32("FileSize"), Text("UserID", L::kUserIDCapacity),
               Text("LogFile", L::kLogFileCapacity)},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet = Lumera::StartLogFileSend::FromBytes(bytes.data(), bytes.size());
        return Json{{"AccountNumber", packet.GetAccountNumber()},
                    {"FileSize", packet.GetFileSize()},
                    {"UserID", Wide(packet.GetUserID())},
                    {"LogFile", Wide(packet.GetLogFile())}};
    };
    kind.encode = [](const Json& values) {
        return EncodePacket(
            Lumera::StartLogFileSend(NarrowText(values, "UserID"), Int(values, "AccountNumber"),
                                     Int(values, "FileSize"), NarrowText(values, "LogFile")));
    };
    return kind;
}

// The names are those of the getters, which follow the constructor's parameters.
Kind PriceSubscription() {
    using L = Lumera::CLMWirePriceSubscriptionPacketLayout;
    Kind kind{"price-subscription",
              "asks for prices: two integers and a text",
              L::kSize,
              {Int32("First"), Int32("Second"), Text("Text", L::kTextCapacity)},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, *kind.fixedSize);
        const auto packet =
            Lumera::CLMWirePriceSubscriptionPacket::FromBytes(bytes.data(), bytes.size());
        return Json{{"First", packet.GetFirst()},
                    {"Second", packet.GetSecond()},
                    {"Text", Wide(packet.GetText())}};
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
