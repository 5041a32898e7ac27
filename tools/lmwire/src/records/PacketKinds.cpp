// The fixed-size logon and control packets, each read and written by its layout's field table.

#include <memory>
#include <new>

#include "records/Kinds.h"
#include "records/TableFields.h"
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

// Both ways the bytes pass through the packet class, so that the library has the last word on
// what a packet holds: decode reads the fields from the packet's own encoding, and encode writes
// them into zeroed bytes that the packet then takes and encodes.
template <class Packet, class Layout>
Kind FixedKind(std::string name, std::string summary) {
    Kind kind{
        std::move(name), std::move(summary), Layout::kSize, FieldsOf(Layout::kFields), {}, {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, Layout::kSize);
        const Bytes wire = EncodePacket(Packet::FromBytes(bytes.data(), bytes.size()));
        Json values = Json::object();
        ReadFixed(Layout::kFields, wire.data(), values);
        return values;
    };
    kind.encode = [](const Json& values) {
        Bytes wire(Layout::kSize);
        WriteFixed(Layout::kFields, wire.data(), values);
        return EncodePacket(Packet::FromBytes(wire.data(), wire.size()));
    };
    return kind;
}

}  // namespace

void AddPacketKinds(std::vector<Kind>& kinds) {
    using namespace Lumera;
    kinds.push_back(FixedKind<LogonResponsePacket, LogonResponsePacketLayout>(
        "logon-response", "answer to a logon: error code and port"));
    kinds.push_back(FixedKind<UDPLogOnPacket, UDPLogOnPacketLayout>(
        "udp-logon", "logon over UDP: packet type and gatekeeper session id"));
    kinds.push_back(FixedKind<TCPLogonReconnectPacket, TCPLogonReconnectPacketLayout>(
        "tcp-logon-reconnect",
        "logon again over TCP: API name and version, user, session, price feed, account"));
    kinds.push_back(FixedKind<WirePriceProtocolPacket, WirePriceProtocolPacketLayout>(
        "price-protocol", "the price protocol to use"));
    kinds.push_back(FixedKind<WireHolePunchDelayPacket, WireHolePunchDelayPacketLayout>(
        "hole-punch-delay", "delay of hole punching on the datagram channel"));
    kinds.push_back(FixedKind<StartLogFileSend, StartLogFileSendLayout>(
        "start-log-file-send", "announces a log file upload: account, size, user, file"));
    kinds.push_back(FixedKind<CLMWirePriceSubscriptionPacket, CLMWirePriceSubscriptionPacketLayout>(
        "price-subscription", "asks for prices: two integers and a text"));
}

}  // namespace lmwire
