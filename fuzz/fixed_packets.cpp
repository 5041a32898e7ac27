// Every fixed packet through its checked decoder and its FromBytes factory: the first byte picks
// the packet, the rest is the buffer. The oracle is the byte layout, spelled here field by field
// (little-endian 32-bit integers; texts of fixed capacity, read up to their first NUL or the whole
// field, written with zeros after them). A packet built from values must encode as that layout
// says; a null buffer or one shorter than the packet must be refused (by the decoder, leaving the
// packet as it was, and by the factory alike); an accepted packet must read every field from its
// offset through its getter, and every setter must change exactly its field's bytes.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Attempt;
using lmwire_fuzz::Bytes;
using lmwire_fuzz::Outcome;

// A 32-bit field; get or set is null when the packet has no such accessor.
template <class Packet>
struct IntField {
    std::size_t at;
    long (*get)(const Packet&);
    void (*set)(Packet&, long);
};

template <class Packet>
struct TextField {
    std::size_t at;
    std::size_t capacity;
    std::string (*get)(const Packet&);
    void (*set)(Packet&, const std::string&);
};

template <class Packet>
struct Layout {
    std::size_t size;
    std::vector<IntField<Packet>> ints;
    std::vector<TextField<Packet>> texts;
};

template <class Packet>
Bytes Encoded(const Packet& packet, std::size_t size) {
    long length = 0;
    unsigned char* buffer = packet.Encode(&length);
    FUZZ_CHECK(length == static_cast<long>(size));
    return lmwire_fuzz::Take(buffer, size);
}

// The text a setter stores: what precedes the value's first NUL, or nothing (and a refusal)
// when that does not leave room for the terminator.
std::string Stored(const std::string& value, std::size_t capacity, bool* fits) {
    const std::string text = value.c_str();
    *fits = text.size() < capacity;
    return *fits ? text : std::string();
}

// Writes a text field into the expected wire: the text, then zeros to the end of the field.
void PutText(Bytes& wire, std::size_t at, std::size_t capacity, const std::string& text) {
    for (std::size_t i = 0; i < capacity; ++i) {
        wire[at + i] = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
    }
}

template <class Packet>
void CheckGetters(const Layout<Packet>& layout, const Packet& packet, const unsigned char* wire) {
    for (const auto& field : layout.ints) {
        if (field.get != nullptr) {
            FUZZ_CHECK(field.get(packet) == lmwire_fuzz::I32At(wire + field.at));
        }
    }
    for (const auto& field : layout.texts) {
        if (field.get != nullptr) {
            FUZZ_CHECK(field.get(packet) == lmwire_fuzz::TextAt(wire + field.at, field.capacity));
        }
    }
}

// Each setter with a value from the input; `wire` follows what the packet must now encode as.
template <class Packet>
void CheckSetters(const Layout<Packet>& layout, Packet& packet, Bytes& wire,
                  FuzzedDataProvider& values) {
    for (const auto& field : layout.ints) {
        if (field.set == nullptr) {
            continue;
        }
        // Any long: only its low 32 bits reach the wire.
        const auto value = values.ConsumeIntegral<long>();
        field.set(packet, value);
        lmwire_fuzz::PutU32(wire.data() + field.at, static_cast<std::uint32_t>(value));
        FUZZ_CHECK(Encoded(packet, layout.size) == wire);
        CheckGetters(layout, packet, wire.data());
    }
    for (const auto& field : layout.texts) {
        if (field.set == nullptr) {
            continue;
        }
        // Up to beyond the capacity, embedded NULs included.
        const std::string value = values.ConsumeRandomLengthString(field.capacity + 8);
        bool fits = false;
        const std::string text = Stored(value, field.capacity, &fits);
        const Outcome outcome = Attempt([&] { field.set(packet, value); });
        FUZZ_CHECK(outcome == (fits ? Outcome::kAccepted : Outcome::kInvalidArgument));
        PutText(wire, field.at, field.capacity, text);
        FUZZ_CHECK(Encoded(packet, layout.size) == wire);
        CheckGetters(layout, packet, wire.data());
    }
}

// `known` was built from values, and `expected` is the wire those values spell.
template <class Packet>
void Check(const Layout<Packet>& layout, const Packet& known, const Bytes& expected,
           const unsigned char* data, std::size_t size, FuzzedDataProvider& values) {
    FUZZ_CHECK(expected.size() == layout.size);
    FUZZ_CHECK(Encoded(known, layout.size) == expected);
    CheckGetters(layout, known, expected.data());

    // Before any refusal the packet holds bytes of its own, each different from the input's byte
    // at the same place and none zero, so that a refusal that copied or cleared anything shows.
    Bytes held(layout.size);
    for (std::size_t i = 0; i < held.size(); ++i) {
        const unsigned char from = i < size ? data[i] : static_cast<unsigned char>(0x5a ^ i);
        held[i] = static_cast<unsigned char>(from + 1 + i % 255);
        if (held[i] == 0) {
            held[i] = static_cast<unsigned char>(from + 2);
        }
    }
    Packet packet = known;
    const auto decode = [&packet](const unsigned char* bytes, std::size_t n) {
        packet.Decode(bytes, n);
    };
    decode(held.data(), held.size());
    FUZZ_CHECK(Encoded(packet, layout.size) == held);
    CheckGetters(layout, packet, held.data());

    lmwire_fuzz::CheckNullBuffer(decode, size);
    FUZZ_CHECK(Encoded(packet, layout.size) == held);
    lmwire_fuzz::CheckNullBuffer(decode, 0);
    FUZZ_CHECK(Encoded(packet, layout.size) == held);

    const auto fromBytes = [](const unsigned char* bytes, std::size_t n) {
        (void)Packet::FromBytes(bytes, n);
    };
    lmwire_fuzz::CheckNullBuffer(fromBytes, size);
    lmwire_fuzz::CheckNullBuffer(fromBytes, 0);

    const Outcome outcome = Attempt([&] { decode(data, size); });
    FUZZ_CHECK(Attempt([&] { fromBytes(data, size); }) == outcome);
    if (size < layout.size) {
        FUZZ_CHECK(outcome == Outcome::kTooShort);
        FUZZ_CHECK(Encoded(packet, layout.size) == held);
        return;
    }
    FUZZ_CHECK(outcome == Outcome::kAccepted);
    // Bytes after the packet are not part of it.
    Bytes wire(data, data + layout.size);
    FUZZ_CHECK(Encoded(packet, layout.size) == wire);
    CheckGetters(layout, packet, wire.data());
    const Packet made = Packet::FromBytes(data, size);
    FUZZ_CHECK(Encoded(made, layout.size) == wire);
    CheckGetters(layout, made, wire.data());

    // The trusting decoder reads the same bytes the same way, over a packet that held others.
    Packet trusted = known;
    trusted.Decode(const_cast<unsigned char*>(data));
    FUZZ_CHECK(Encoded(trusted, layout.size) == wire);

    CheckSetters(layout, packet, wire, values);
}

const Layout<LogonResponsePacket> kLogonResponse{
    8,
    {{0, [](const LogonResponsePacket& p) -> long { return p.GetErrorCode(); },
      [](LogonResponsePacket& p, long v) {
          p.SetErrorCode(static_cast<enumErrors>(static_cast<std::int32_t>(v)));
      }},
     {4, [](const LogonResponsePacket& p) { return p.GetPort(); },
      [](LogonResponsePacket& p, long v) { p.SetPort(v); }}},
    {}};

// The packet type at 0 has a getter only: the constructor and Decode set it.
const Layout<UDPLogOnPacket> kUdpLogOn{
    260,
    {{0, [](const UDPLogOnPacket& p) -> long { return p.GetPacketType(); }, nullptr}},
    {{4, 255, [](const UDPLogOnPacket& p) { return p.GetGateKeeperSessionID(); },
      [](UDPLogOnPacket& p, const std::string& v) { p.SetGateKeeperSessionID(v); }}}};

// Three pad bytes at 405.
const Layout<TCPLogonReconnectPacket> kTcpLogonReconnect{
    424,
    {{408, [](const TCPLogonReconnectPacket& p) -> long { return p.GetPriceProtocol(); },
      [](TCPLogonReconnectPacket& p, long v) {
          p.SetPriceProtocol(static_cast<enumPricingProtocol>(static_cast<std::int32_t>(v)));
      }},
     {412, [](const TCPLogonReconnectPacket& p) -> long { return p.GetPriceLevel(); },
      [](TCPLogonReconnectPacket& p, long v) {
          p.SetPriceLevel(static_cast<enumPriceLevel>(static_cast<std::int32_t>(v)));
      }},
     {416, [](const TCPLogonReconnectPacket& p) -> long { return p.GetSessionType(); },
      [](TCPLogonReconnectPacket& p, long v) {
          p.SetSessionType(static_cast<SessionType>(static_cast<std::int32_t>(v)));
      }},
     {420, [](const TCPLogonReconnectPacket& p) { return p.GetAccountNumber(); },
      [](TCPLogonReconnectPacket& p, long v) { p.SetAccountNumber(v); }}},
    {{0, 50, [](const TCPLogonReconnectPacket& p) { return p.GetApiName(); },
      [](TCPLogonReconnectPacket& p, const std::string& v) { p.SetAPIName(v); }},
     {50, 50, [](const TCPLogonReconnectPacket& p) { return p.GetApiVersion(); },
      [](TCPLogonReconnectPacket& p, const std::string& v) { p.SetApiVersion(v); }},
     {100, 50, [](const TCPLogonReconnectPacket& p) { return p.GetUserID(); },
      [](TCPLogonReconnectPacket& p, const std::string& v) { p.SetUserID(v); }},
     {150, 255, [](const TCPLogonReconnectPacket& p) { return p.GetGateKeeperSessionID(); },
      [](TCPLogonReconnectPacket& p, const std::string& v) { p.SetGateKeeperSessionID(v); }}}};

const Layout<WirePriceProtocolPacket> kPriceProtocol{
    4,
    {{0, [](const WirePriceProtocolPacket& p) -> long { return p.GetPriceProtocol(); },
      [](WirePriceProtocolPacket& p, long v) {
          p.SetPriceProtocol(static_cast<enumPricingProtocol>(static_cast<std::int32_t>(v)));
      }}},
    {}};

const Layout<WireHolePunchDelayPacket> kHolePunch{
    4,
    {{0, [](const WireHolePunchDelayPacket& p) { return p.GetDelay(); },
      [](WireHolePunchDelayPacket& p, long v) { p.SetDelay(v); }}},
    {}};

// The log file follows the 25-byte user id with no pad.
const Layout<StartLogFileSend> kLogFileSend{
    288,
    {{0, [](const StartLogFileSend& p) { return p.GetAccountNumber(); },
      [](StartLogFileSend& p, long v) { p.SetAccountNumber(v); }},
     {4, [](const StartLogFileSend& p) { return p.GetFileSize(); },
      [](StartLogFileSend& p, long v) { p.SetFileSize(v); }}},
    {{8, 25, [](const StartLogFileSend& p) { return p.GetUserID(); },
      [](StartLogFileSend& p, const std::string& v) { p.SetUserID(v); }},
     {33, 255, [](const StartLogFileSend& p) { return p.GetLogFile(); },
      [](StartLogFileSend& p, const std::string& v) { p.SetLogFile(v); }}}};

// Getters only: the constructor and Decode set the fields.
const Layout<CLMWirePriceSubscriptionPacket> kSubscription{
    108,
    {{0, [](const CLMWirePriceSubscriptionPacket& p) -> long { return p.GetFirst(); }, nullptr},
     {4, [](const CLMWirePriceSubscriptionPacket& p) -> long { return p.GetSecond(); }, nullptr}},
    {{8, 100, [](const CLMWirePriceSubscriptionPacket& p) { return p.GetText(); }, nullptr}}};

// A text for a constructor: within capacity once cut at its first NUL (over-long texts go
// through the setters, which report them).
std::string ConstructorText(FuzzedDataProvider& values, std::size_t capacity) {
    return values.ConsumeRandomLengthString(capacity - 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const unsigned char* bytes = data + 1;
    const std::size_t length = size - 1;
    // Values for constructors and setters: integers come from the input's end, texts from its
    // start, so they vary with the input without mirroring the bytes being decoded.
    FuzzedDataProvider values(bytes, length);
    switch (data[0] % 7) {
        case 0: {
            const auto code = values.ConsumeIntegral<std::int32_t>();
            Bytes wire(8, 0);
            lmwire_fuzz::PutU32(wire.data(), static_cast<std::uint32_t>(code));
            Check(kLogonResponse, LogonResponsePacket(static_cast<enumErrors>(code)), wire, bytes,
                  length, values);
            break;
        }
        case 1: {
            const auto type = values.ConsumeIntegral<std::int32_t>();
            const std::string session = ConstructorText(values, 255);
            Bytes wire(260, 0);
            lmwire_fuzz::PutU32(wire.data(), static_cast<std::uint32_t>(type));
            PutText(wire, 4, 255, session.c_str());
            Check(kUdpLogOn, UDPLogOnPacket(session, static_cast<UDPPacketTypes>(type)), wire,
                  bytes, length, values);
            break;
        }
        case 2:
            Check(kTcpLogonReconnect, TCPLogonReconnectPacket(), Bytes(424, 0), bytes, length,
                  values);
            break;
        case 3: {
            const auto protocol = values.ConsumeIntegral<std::int32_t>();
            Bytes wire(4, 0);
            lmwire_fuzz::PutU32(wire.data(), static_cast<std::uint32_t>(protocol));
            Check(kPriceProtocol,
                  WirePriceProtocolPacket(static_cast<enumPricingProtocol>(protocol)), wire, bytes,
                  length, values);
            break;
        }
        case 4: {
            const auto delay = values.ConsumeIntegral<long>();
            Bytes wire(4, 0);
            lmwire_fuzz::PutU32(wire.data(), static_cast<std::uint32_t>(delay));
            Check(kHolePunch, WireHolePunchDelayPacket(delay), wire, bytes, length, values);
            break;
        }
        case 5: {
            const auto account = values.ConsumeIntegral<int>();
            const auto fileSize = values.ConsumeIntegral<int>();
            const std::string user = ConstructorText(values, 25);
            const std::string logFile = ConstructorText(values, 255);
            Bytes wire(288, 0);
            lmwire_fuzz::PutU32(wire.data(), static_cast<std::uint32_t>(account));
            lmwire_fuzz::PutU32(wire.data() + 4, static_cast<std::uint32_t>(fileSize));
            PutText(wire, 8, 25, user.c_str());
            PutText(wire, 33, 255, logFile.c_str());
            Check(kLogFileSend, StartLogFileSend(user, account, fileSize, logFile), wire, bytes,
                  length, values);
            break;
        }
        default: {
            const auto first = values.ConsumeIntegral<int>();
            const auto second = values.ConsumeIntegral<int>();
            const std::string text = ConstructorText(values, 100);
            Bytes wire(108, 0);
            lmwire_fuzz::PutU32(wire.data(), static_cast<std::uint32_t>(first));
            lmwire_fuzz::PutU32(wire.data() + 4, static_cast<std::uint32_t>(second));
            PutText(wire, 8, 100, text.c_str());
            Check(kSubscription, CLMWirePriceSubscriptionPacket(first, second, text), wire, bytes,
                  length, values);
            break;
        }
    }
    return 0;
}
