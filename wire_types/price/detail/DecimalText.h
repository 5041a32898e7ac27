#pragma once

// Reads the leading decimal number of a text as the C library's atof does in the "C" locale,
// whatever locale the process has set: prices are always written with a '.'.

#include <string_view>

namespace Lumera::detail {

double ReadDecimalText(std::string_view text);

}  // namespace Lumera::detail
