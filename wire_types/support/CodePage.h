#pragma once

// The narrow texts of the wire are Windows-1252, one byte per character, whatever the machine's
// own code page. These free functions convert them to and from UTF-8 and UTF-16 without state,
// with the table the packets use, so that every front end agrees with the library byte for byte.
//
// Every byte is a character: the five bytes the code page leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) stand for the C1 controls of the same value, and those five characters go back to
// their bytes. Unicode to bytes refuses rather than replaces: where the packets write '?' for a
// character the code page lacks, these functions say which character it was.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "wire_types/support/Export.h"

namespace Lumera::cp1252 {

// Why a text cannot be written in the code page.
enum class Refusal : unsigned char {
    Malformed,  // not UTF-8 (overlong forms and surrogates included) or a lone UTF-16 surrogate
    Unmapped,   // a character the code page lacks
};

// The first character refused: its offset in the text given (bytes of UTF-8, units of UTF-16).
struct Refused {
    std::size_t offset;
    Refusal reason;
};

// One byte's character, as a UTF-16 unit (every byte's character is a single unit).
LMWIRE_API char16_t Decode(unsigned char byte) noexcept;
// One character's byte; nullopt for a character the code page lacks (a surrogate included).
LMWIRE_API std::optional<unsigned char> Encode(char32_t character) noexcept;

// Bytes to text: cannot fail.
LMWIRE_API std::string ToUtf8(std::string_view narrow);
LMWIRE_API std::u16string ToUtf16(std::string_view narrow);

// Text to bytes, nullopt when any character is refused; FindRefused says which one and why.
LMWIRE_API std::optional<std::string> FromUtf8(std::string_view utf8);
LMWIRE_API std::optional<std::string> FromUtf16(std::u16string_view utf16);
LMWIRE_API std::optional<Refused> FindRefused(std::string_view utf8) noexcept;
LMWIRE_API std::optional<Refused> FindRefused(std::u16string_view utf16) noexcept;

}  // namespace Lumera::cp1252
