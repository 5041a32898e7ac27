#pragma once

// Frames of a packet capture to UDP datagrams. A frame is read under its link-layer type
// (Ethernet with any number of 802.1Q / 802.1ad tags, Linux cooked SLL and SLL2, raw IPv4 or
// IPv6, BSD loopback), through IPv4 (with options) or IPv6 (with hop-by-hop, routing and
// destination options) to its UDP header. Every view points into the caller's frame; nothing is
// allocated or copied. Which datagrams carry price records is the caller's rule (Records.h
// offers the usual one), so a frame is refused here only for what it is, never for its port or
// length. IP fragments are not reassembled.

#include <array>
#include <cstddef>
#include <cstdint>

#include "wire_types/capture/Export.h"

namespace Lumera::capture {

// Link-layer header types by their pcap LINKTYPE_ numbers (and the DLT_ values some writers
// leave in files instead).
namespace link {
constexpr int kNull = 0;  // BSD loopback: a 4-byte address family in the writer's byte order
constexpr int kEthernet = 1;
constexpr int kRawDlt = 12;      // DLT_RAW on Linux
constexpr int kRawOpenBsd = 14;  // DLT_RAW elsewhere
constexpr int kRaw = 101;        // LINKTYPE_RAW
constexpr int kLoop = 108;       // OpenBSD loopback: the family in network byte order
constexpr int kLinuxSll = 113;
constexpr int kIpv4 = 228;
constexpr int kIpv6 = 229;
constexpr int kLinuxSll2 = 276;
}  // namespace link

[[nodiscard]] LMWIRE_CAPTURE_API bool KnownLinkType(int linkType) noexcept;

// Why a frame is no datagram to decode, or why a taken datagram was decoded only in part
// (Truncated, Trailing). The names the tool prints are SkipReason's.
enum class Skip : std::uint8_t {
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
// "not UDP", "other port", ...; "" for None and Count.
[[nodiscard]] LMWIRE_CAPTURE_API const char* SkipReason(Skip skip) noexcept;

struct Endpoint {
    bool v6 = false;
    std::array<unsigned char, 16> address{};  // the first 4 bytes for IPv4
    std::uint16_t port = 0;
};

// A packet as a capture file holds it: which link type, when, and its bytes (a view that the
// reader keeps valid until its next read).
struct Packet {
    int linkType = link::kEthernet;
    std::int64_t seconds = 0;       // UTC
    std::uint32_t nanoseconds = 0;  // 0 to 999,999,999
    const unsigned char* data = nullptr;
    std::size_t captured = 0;     // bytes present
    std::size_t original = 0;     // bytes on the wire (at least `captured`)
    std::uint32_t interface = 0;  // pcapng's interface id; 0 in a pcap
};

// A UDP datagram inside a frame, or the reason there is none (`skip`: NotUdp, Fragment,
// Malformed, or Truncated when the snap length cut the headers themselves).
struct Datagram {
    Skip skip = Skip::None;
    Endpoint source;
    Endpoint destination;
    const unsigned char* payload = nullptr;
    std::size_t captured = 0;  // payload bytes present in the frame
    std::size_t length = 0;    // payload bytes on the wire, by the UDP header; >= captured
    std::int64_t seconds = 0;
    std::uint32_t nanoseconds = 0;
};

// The packet's time is copied whatever the outcome. A link type that KnownLinkType refuses gives
// NotUdp; a header that claims more bytes than the wire or its IP header held gives Malformed.
[[nodiscard]] LMWIRE_CAPTURE_API Datagram ReadDatagram(const Packet& packet) noexcept;

// An Ethernet frame carrying `length` payload bytes in one UDP datagram (IPv4 or IPv6 after
// the source's family; both endpoints of one family), IP and UDP checksums filled in, written at
// `out`. Returns the frame's size, or 0 when it needs more than `capacity` bytes (FrameSize) or
// the endpoints' families differ. FrameSize is 0 for a payload beyond what one datagram holds.
[[nodiscard]] LMWIRE_CAPTURE_API std::size_t FrameSize(bool v6, std::size_t length) noexcept;
[[nodiscard]] LMWIRE_CAPTURE_API std::size_t WriteUdpFrame(
    unsigned char* out, std::size_t capacity, const Endpoint& source, const Endpoint& destination,
    std::uint16_t id, const unsigned char* payload, std::size_t length) noexcept;

}  // namespace Lumera::capture
