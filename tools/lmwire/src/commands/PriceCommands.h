#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wire_types/price/Price.h"

namespace lmwire {

// The row of a price format code given on the command line; BadInput for a code without one.
const Lumera::price::FormatInfo& RequireFormat(const std::string& code);

// A text read as a decimal number, then truncated toward zero to ticks, as the original
// DisplayToTicks reads it; nothing when the value falls outside the ticks a record can carry.
// Unlike the original, a text that is not a whole number is refused (BadInput naming `what`)
// rather than read up to its first typo, and an out-of-range value is told apart from a true
// -2147483648.
std::optional<std::int32_t> TicksOfDecimalText(const Lumera::price::FormatInfo& format,
                                               const std::string& text, const std::string& what);

}  // namespace lmwire
