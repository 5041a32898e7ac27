#pragma once

// Price records in UDP datagrams, as a network capture holds them. The transport is outside the
// library: no record carries a tag or a length. The convention here is a datagram of one or
// more whole 86-byte records back to back. When the user names ports, every datagram to them is
// taken, whatever its length; otherwise only one whose length on the wire is a positive multiple
// of 86 and whose records all have a price format code with a row (1 to 62), so that other
// traffic of that length (DNS, zero padding) is left alone. IP fragments are not reassembled.
// This part knows frames and headers only, not the capture file that holds them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/Hex.h"

namespace lmwire {

// Why a packet of a capture, or the part of a taken datagram after its last whole captured
// record (Truncated, Trailing), was not decoded.
enum class Skip {
    None,
    NotUdp,
    OtherPort,
    Length,
    FormatCode,
    Truncated,
    Trailing,
    Fragment,
    Malformed,
    Count
};
const char* SkipReason(Skip skip);

struct Endpoint {
    bool v6 = false;
    std::array<unsigned char, 16> address{};  // the first 4 bytes for IPv4
    std::uint16_t port = 0;
};
std::string AddressText(const Endpoint& endpoint);
// "192.0.2.1:40000" or "[2001:db8::1]:9100"; BadInput naming `what` otherwise.
Endpoint ParseEndpoint(const std::string& text, const std::string& what);

struct Datagram {
    Skip skip = Skip::None;
    Endpoint source;
    Endpoint destination;
    const unsigned char* payload = nullptr;  // whole records, when skip is None
    std::size_t length = 0;
    // A taken datagram whose records did not all arrive whole: cut by the snap length, or one
    // to a named port that ends inside a record.
    Skip cut = Skip::None;
};

// The link-layer header types read (pcap's LINKTYPE_ / DLT_ numbers).
bool KnownLinkType(int linkType);
constexpr int kLinkEthernet = 1;

// A frame of `captured` bytes (of `original` on the wire) under the capture's link type.
Datagram ReadDatagram(int linkType, const unsigned char* frame, std::size_t captured,
                      std::size_t original, const std::vector<std::uint16_t>& ports);

// An Ethernet frame carrying `payload` in one UDP datagram, checksums filled in; both endpoints
// of one family.
Bytes UdpFrame(const Endpoint& source, const Endpoint& destination, std::uint16_t id,
               const unsigned char* payload, std::size_t length);

}  // namespace lmwire
