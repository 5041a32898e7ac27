#pragma once

// Prices both ways without an object: the price formats as a table, tick prices to display texts
// and back, and to decimal values and back. Nothing here keeps state, so every function may run
// on any thread at any time.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "wire_types/support/Export.h"

namespace Lumera::price {

struct FormatInfo {
    std::int32_t code;          // 1..62
    std::int32_t ticksPerUnit;  // ticks in one whole unit of price
    int decimalPlaces;          // characters after the point in the display of one tick
};

// The row of `code`, or null for any value outside 1..62.
[[nodiscard]] LMWIRE_API const FormatInfo* Find(long code) noexcept;
// The 62 rows in ascending code.
LMWIRE_API const FormatInfo* begin() noexcept;
LMWIRE_API const FormatInfo* end() noexcept;

// The display text of `ticks` in `code`. For ticks >= 0 it is the original members' text; a
// negative price is its magnitude's text with one minus sign directly before the whole part (in a
// row that pads the whole part, the sign takes a padding blank, as printf pads). A code without a
// row gives "".
LMWIRE_API std::string Display(long code, std::int32_t ticks);

// Room that always suffices for DisplayTo.
inline constexpr std::size_t kMaxDisplayLength = 24;

// Writes Display's text into [first, last) without a terminator and returns the end of the text
// (first for a code without a row), or nullptr when it does not fit; nothing is written beyond
// last.
[[nodiscard]] LMWIRE_API char* DisplayTo(char* first, char* last, long code,
                                         std::int32_t ticks) noexcept;

// The exact inverse of Display: the tick price whose display is `text` (leading and trailing
// spaces ignored). Where several prices share a text (codes 40, 41 and 58) the one nearest zero.
// Any other text, a code without a row or a price outside 32 bits gives nullopt.
[[nodiscard]] LMWIRE_API std::optional<std::int32_t> Parse(long code,
                                                           std::string_view text) noexcept;

// ticks / ticksPerUnit; the ticks themselves for a code without a row.
LMWIRE_API double ToDecimal(long code, std::int32_t ticks) noexcept;

// value x ticksPerUnit rounded to the nearest tick (halves away from zero); nullopt for a result
// outside 32 bits, a NaN, an infinity or a code without a row.
[[nodiscard]] LMWIRE_API std::optional<std::int32_t> FromDecimal(long code, double value) noexcept;

}  // namespace Lumera::price
