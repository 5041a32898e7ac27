#pragma once

// The one mechanism behind every fixed-size packet. A packet class holds only its wire fields
// (explicit pad members included), so its object representation is its wire form and encoding
// or decoding is a single byte copy. Packets are trivially copyable, which also makes their copy
// constructor and assignment copy every byte, pad bytes and bytes after text terminators too.

#include <array>
#include <bit>
#include <cstddef>
#include <cstring>
#include <new>
#include <type_traits>

#include "wire_types/support/detail/CheckedBytes.h"

namespace Lumera::detail {

static_assert(std::endian::native == std::endian::little,
              "packets are copied to the wire in host byte order, which must be little-endian");

template <class Packet>
concept FixedWirePacket = std::is_trivially_copyable_v<Packet> &&
                              std::is_standard_layout_v<Packet> && sizeof(Packet) %
                              4 ==
                          0;

// Stores the size first, so a caller sees it even when the allocation fails and null is
// returned.
template <FixedWirePacket Packet>
unsigned char* EncodeFixedPacket(const Packet& packet, long* length) noexcept {
    if (length != nullptr) {
        *length = static_cast<long>(sizeof(Packet));
    }
    auto* buffer = new (std::nothrow) unsigned char[sizeof(Packet)];
    if (buffer != nullptr) {
        std::memcpy(buffer, &packet, sizeof(Packet));
    }
    return buffer;
}

// Trusts its input: the caller guarantees sizeof(Packet) readable bytes.
template <FixedWirePacket Packet>
void DecodeFixedPacket(Packet& packet, const unsigned char* bytes) noexcept {
    std::memcpy(&packet, bytes, sizeof(Packet));
}

// For bytes nobody vouches for, as a factory: refuses a null buffer or fewer than sizeof(Packet)
// bytes by throwing (see CheckedBytes.h), otherwise returns the packet those bytes spell. Extra
// bytes are not looked at. The packet is made from its wire form alone, so a class without a
// default constructor needs no placeholder values, and a checked Decode that assigns the result
// leaves its packet untouched on a refusal.
template <FixedWirePacket Packet>
Packet FixedPacketFromBytes(const unsigned char* bytes, std::size_t size, const char* className) {
    RequireBytes(className, bytes, size, sizeof(Packet));
    std::array<unsigned char, sizeof(Packet)> wire;
    std::memcpy(wire.data(), bytes, sizeof(Packet));
    return std::bit_cast<Packet>(wire);
}

}  // namespace Lumera::detail
