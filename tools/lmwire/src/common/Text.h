#pragma once

// Text helpers shared by the commands: the narrow texts of the wire are Windows-1252 (one byte
// per character, as the peers write them) while the terminal and JSON speak UTF-8; numbers are
// parsed strictly so that a typo is reported rather than read as 0.

#include <cstdint>
#include <string>
#include <string_view>

namespace lmwire {

std::string Cp1252ToUtf8(std::string_view narrow);
// Text from the user made safe for a one-line message: control characters (C0, DEL and C1),
// bytes that are not valid UTF-8 and the backslash are written as escapes (\n, \t, \xNN, \\);
// other UTF-8 is kept, so names in any script stay readable.
std::string Escaped(std::string_view text);
// Escaped, between single quotes: how every message shows a text it was given.
std::string Quoted(std::string_view text);
// Throws BadInput naming `what` when the text is not UTF-8, holds a NUL or a character that
// Windows-1252 cannot express.
std::string Utf8ToCp1252(std::string_view utf8, const std::string& what);

// Whole text as a decimal integer within [min, max]; BadInput naming `what` otherwise.
std::int64_t ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                          const std::string& what);
double ParseDouble(std::string_view text, const std::string& what);

// Shortest text that reads back as the same double.
std::string FormatDouble(double value);

}  // namespace lmwire
