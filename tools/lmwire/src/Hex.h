#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lmwire {

using Bytes = std::vector<unsigned char>;

// Hex digits with any white space between them; BadInput for any other character or an odd
// number of digits.
Bytes ParseHex(std::string_view text);
// Lower-case, bytes separated by spaces, 16 to a line, ending with a newline.
std::string FormatHex(const unsigned char* bytes, std::size_t size);

}  // namespace lmwire
