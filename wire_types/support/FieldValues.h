#pragma once

// One field's value read from, or written to, the bytes of a fixed part (a packet, the account
// data header or an entry, the price record, a flat form's fixed block) through its row of a
// field table. Front ends that print, parse or build records by walking a table use these, so
// the widths, signs and text rules live here once.
//
// `block` points at the start of the fixed part the table describes, and must hold at least its
// fixedSize bytes; nothing is checked beyond that. Header-only: nothing of it is exported.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "wire_types/support/FieldTables.h"
#include "wire_types/support/detail/Bytes.h"

namespace Lumera {

namespace detail {

// Where an integer field's value (of one level, for a depth field) starts, and its width.
constexpr std::size_t IntegerAt(const WireField& field, int level) noexcept {
    if (field.kind == FieldKind::DepthPrice) {
        return field.offset + static_cast<std::size_t>(level);
    }
    if (field.kind == FieldKind::DepthSize) {
        return field.offset + 2 * static_cast<std::size_t>(level);
    }
    return field.offset;
}

constexpr std::size_t IntegerWidth(const WireField& field) noexcept {
    return field.kind == FieldKind::DepthPrice  ? 1
           : field.kind == FieldKind::DepthSize ? 2
                                                : field.size;
}

constexpr bool IsSignedInteger(const WireField& field) noexcept {
    return field.kind == FieldKind::Signed || field.kind == FieldKind::DepthPrice;
}

}  // namespace detail

// The values an integer field holds: a Signed or Unsigned field of its width, one level of a
// DepthPrice (a signed 8-bit offset) or of a DepthSize (an unsigned 16-bit size). Unsigned
// fields of 8 bytes are held up to INT64_MAX.
struct IntegerRange {
    std::int64_t min;
    std::int64_t max;
};

constexpr IntegerRange RangeOf(const WireField& field) noexcept {
    const std::size_t width = detail::IntegerWidth(field);
    const bool isSigned = detail::IsSignedInteger(field);
    if (width >= 8) {
        return isSigned ? IntegerRange{INT64_MIN, INT64_MAX} : IntegerRange{0, INT64_MAX};
    }
    const std::int64_t span = std::int64_t{1} << (8 * width);
    return isSigned ? IntegerRange{-span / 2, span / 2 - 1} : IntegerRange{0, span - 1};
}

// An integer field's value; `level` (0 .. count - 1) picks a depth field's level. A DepthPrice
// level reads as its offset from the last price (see LevelPrice for the price).
[[nodiscard]] inline std::int64_t ReadInteger(const WireField& field, const unsigned char* block,
                                              int level = 0) noexcept {
    const unsigned char* at = block + detail::IntegerAt(field, level);
    const std::size_t width = detail::IntegerWidth(field);
    std::uint64_t bits = 0;
    for (std::size_t i = width; i-- > 0;) {
        bits = bits << 8 | at[i];
    }
    if (detail::IsSignedInteger(field) && width < 8 && (bits >> (8 * width - 1)) != 0) {
        bits |= ~std::uint64_t{0} << (8 * width);
    }
    return static_cast<std::int64_t>(bits);
}

// Stores the low bytes of `value`; a caller that wants no wrap-around checks RangeOf first.
inline void WriteInteger(const WireField& field, unsigned char* block, std::int64_t value,
                         int level = 0) noexcept {
    unsigned char* at = block + detail::IntegerAt(field, level);
    auto bits = static_cast<std::uint64_t>(value);
    for (std::size_t i = 0; i < detail::IntegerWidth(field); ++i, bits >>= 8) {
        at[i] = static_cast<unsigned char>(bits);
    }
}

// A depth level's price in ticks: the last price moved by the level's offset in the field's
// direction, with the 32-bit wrap-around of the record's view.
[[nodiscard]] inline std::int32_t LevelPrice(const WireField& depthPrice,
                                             const unsigned char* block, std::int32_t lastPrice,
                                             int level) noexcept {
    const auto offset = static_cast<std::uint32_t>(ReadInteger(depthPrice, block, level));
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(lastPrice) +
                                     static_cast<std::uint32_t>(depthPrice.direction) * offset);
}

// A Double or OleDate field.
[[nodiscard]] inline double ReadDouble(const WireField& field,
                                       const unsigned char* block) noexcept {
    return detail::LoadLittleEndian<double>(block + field.offset);
}

inline void WriteDouble(const WireField& field, unsigned char* block, double value) noexcept {
    detail::StoreLittleEndian(block + field.offset, value);
}

// A Text field's Windows-1252 characters: up to its first zero byte, or all its bytes when it
// holds none.
[[nodiscard]] inline std::string_view ReadText(const WireField& field,
                                               const unsigned char* block) noexcept {
    const char* first = reinterpret_cast<const char*>(block + field.offset);
    const void* zero = std::memchr(first, 0, field.size);
    return {first, zero == nullptr
                       ? field.size
                       : static_cast<std::size_t>(static_cast<const char*>(zero) - first)};
}

// Writes Windows-1252 characters and zeros after them to the field's end, as the packets do.
// False, with nothing written, for a text of size or more characters or one holding a zero byte,
// which a reader would cut short.
[[nodiscard]] inline bool WriteText(const WireField& field, unsigned char* block,
                                    std::string_view text) noexcept {
    if (text.size() >= field.size || text.find('\0') != std::string_view::npos) {
        return false;
    }
    unsigned char* at = block + field.offset;
    if (!text.empty()) {
        std::memcpy(at, text.data(), text.size());
    }
    std::memset(at + text.size(), 0, field.size - text.size());
    return true;
}

}  // namespace Lumera
