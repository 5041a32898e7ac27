// Every fixed packet through its checked decoder: the first byte picks the packet, the rest is
// the buffer. A refusal must come exactly when the buffer is shorter than the packet and leave
// the packet's bytes as they were; an accepted packet must encode as the bytes it read and
// decode from that encoding into equal fields.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Bytes;

template <class Packet>
Bytes Encoded(const Packet& packet) {
    long length = 0;
    unsigned char* buffer = packet.Encode(&length);
    FUZZ_CHECK(length == static_cast<long>(sizeof(Packet)));
    return lmwire_fuzz::Take(buffer, sizeof(Packet));
}

// Field-by-field comparison of the packets that have getters; the others are compared by
// their encoding, which is all a receiver can read of them.
bool SameFields(const LogonResponsePacket& a, const LogonResponsePacket& b) {
    return a.GetErrorCode() == b.GetErrorCode() && a.GetPort() == b.GetPort();
}
bool SameFields(const UDPLogOnPacket& a, const UDPLogOnPacket& b) {
    return a.GetGateKeeperSessionID() == b.GetGateKeeperSessionID();
}
bool SameFields(const TCPLogonReconnectPacket& a, const TCPLogonReconnectPacket& b) {
    return a.GetApiName() == b.GetApiName() && a.GetApiVersion() == b.GetApiVersion() &&
           a.GetUserID() == b.GetUserID() &&
           a.GetGateKeeperSessionID() == b.GetGateKeeperSessionID() &&
           a.GetPriceProtocol() == b.GetPriceProtocol() && a.GetPriceLevel() == b.GetPriceLevel() &&
           a.GetSessionType() == b.GetSessionType() && a.GetAccountNumber() == b.GetAccountNumber();
}
bool SameFields(const WirePriceProtocolPacket& a, const WirePriceProtocolPacket& b) {
    return a.GetPriceProtocol() == b.GetPriceProtocol();
}
bool SameFields(const WireHolePunchDelayPacket& a, const WireHolePunchDelayPacket& b) {
    return a.GetDelay() == b.GetDelay();
}
template <class Packet>
bool SameFields(const Packet& a, const Packet& b) {
    return Encoded(a) == Encoded(b);
}

// Texts read back from a received packet stay inside their field, terminated or not.
void ReadTexts(const UDPLogOnPacket& p) {
    FUZZ_CHECK(p.GetGateKeeperSessionID().size() <= 255);
}
void ReadTexts(const TCPLogonReconnectPacket& p) {
    FUZZ_CHECK(p.GetApiName().size() <= 50 && p.GetApiVersion().size() <= 50);
    FUZZ_CHECK(p.GetUserID().size() <= 50 && p.GetGateKeeperSessionID().size() <= 255);
}
template <class Packet>
void ReadTexts(const Packet&) {}

// `fresh` is a packet in a known state; `received` has the same type.
template <class Packet>
void Check(Packet fresh, Packet received, const unsigned char* data, std::size_t size) {
    const Bytes before = Encoded(fresh);
    try {
        fresh.Decode(data, size);
    } catch (const std::length_error&) {
        FUZZ_CHECK(size < sizeof(Packet));
        FUZZ_CHECK(Encoded(fresh) == before);
        return;
    }
    FUZZ_CHECK(size >= sizeof(Packet));
    const Bytes encoded = Encoded(fresh);
    FUZZ_CHECK(std::equal(encoded.begin(), encoded.end(), data));
    ReadTexts(fresh);

    received.Decode(encoded.data(), encoded.size());
    FUZZ_CHECK(SameFields(fresh, received));
    FUZZ_CHECK(Encoded(received) == encoded);

    // The unchecked decoder reads the same bytes the same way.
    Packet trusted = received;
    trusted.Decode(const_cast<unsigned char*>(data));
    FUZZ_CHECK(Encoded(trusted) == encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned char* bytes = data + 1;
    const std::size_t length = size - 1;
    switch (data[0] % 7) {
        case 0:
            Check(LogonResponsePacket(errServerUnavailable), LogonResponsePacket(), bytes, length);
            break;
        case 1:
            Check(UDPLogOnPacket("session", static_cast<UDPPacketTypes>(3)), UDPLogOnPacket(),
                  bytes, length);
            break;
        case 2: {
            TCPLogonReconnectPacket known;
            known.SetUserID("user");
            known.SetAccountNumber(77);
            Check(known, TCPLogonReconnectPacket(), bytes, length);
            break;
        }
        case 3:
            Check(WirePriceProtocolPacket(static_cast<enumPricingProtocol>(2)),
                  WirePriceProtocolPacket(), bytes, length);
            break;
        case 4:
            Check(WireHolePunchDelayPacket(-5L), WireHolePunchDelayPacket(), bytes, length);
            break;
        case 5:
            Check(StartLogFileSend("bob", 7, 1024, "a.log"), StartLogFileSend(), bytes, length);
            break;
        default:
            Check(CLMWirePriceSubscriptionPacket(1, 2, "text"),
                  CLMWirePriceSubscriptionPacket(0, 0, ""), bytes, length);
            break;
    }
    return 0;
}
