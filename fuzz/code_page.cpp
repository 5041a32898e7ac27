// Windows-1252 to and from UTF-8 and UTF-16 with any bytes. The oracle decodes UTF-8 and UTF-16
// itself (strictly: no overlong forms, no surrogates in UTF-8, nothing past U+10FFFF, no lone
// surrogate in UTF-16) and maps characters with its own copy of the code page's 0x80..0x9F row,
// so that the library's first refusal, its offset and its reason, and every accepted text's bytes
// are checked against code that shares nothing with it. Whatever bytes come in, narrow to wide
// and back must give them back.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "wire_types/support/CodePage.h"

namespace {

using namespace Lumera;

constexpr char16_t kRow80[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t Wide(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? kRow80[byte - 0x80] : char16_t{byte};
}

std::optional<unsigned char> Narrow(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF)) {
        return static_cast<unsigned char>(character);
    }
    for (unsigned i = 0; i < 32; ++i) {
        if (kRow80[i] == character) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

struct Character {
    char32_t value;
    std::size_t length;
};

std::optional<Character> DecodeUtf8(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return Character{lead, 1};
    }
    const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                               : lead >= 0xE0 && lead <= 0xEF ? 3
                               : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                              : 0;
    if (length == 0 || text.size() - at < length) {
        return std::nullopt;
    }
    char32_t value = lead & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) {
            return std::nullopt;
        }
        value = value << 6 | (next & 0x3F);
    }
    const bool overlong = (length == 3 && value < 0x800) || (length == 4 && value < 0x10000);
    if (overlong || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return std::nullopt;
    }
    return Character{value, length};
}

std::optional<Character> DecodeUtf16(std::u16string_view text, std::size_t at) {
    const char16_t unit = text[at];
    if (unit < 0xD800 || unit > 0xDFFF) {
        return Character{unit, 1};
    }
    if (unit > 0xDBFF || at + 1 == text.size() || text[at + 1] < 0xDC00 || text[at + 1] > 0xDFFF) {
        return std::nullopt;
    }
    return Character{0x10000 + ((char32_t{unit} - 0xD800) << 10) + (text[at + 1] - 0xDC00), 2};
}

// What the oracle makes of a text: its bytes, or the first character refused and why.
struct Expected {
    std::string narrow;
    std::optional<cp1252::Refused> refused;
};

template <class Text, class Decoder>
Expected Oracle(Text text, Decoder decode) {
    Expected expected;
    for (std::size_t at = 0; at < text.size();) {
        const std::optional<Character> character = decode(text, at);
        const std::optional<unsigned char> byte =
            character ? Narrow(character->value) : std::nullopt;
        if (!byte) {
            expected.refused = cp1252::Refused{
                at, character ? cp1252::Refusal::Unmapped : cp1252::Refusal::Malformed};
            return expected;
        }
        expected.narrow.push_back(static_cast<char>(*byte));
        at += character->length;
    }
    return expected;
}

template <class Text>
void CheckFrom(Text text, const Expected& expected, const std::optional<std::string>& narrow) {
    const std::optional<cp1252::Refused> refused = cp1252::FindRefused(text);
    FUZZ_CHECK(refused.has_value() == expected.refused.has_value());
    FUZZ_CHECK(narrow.has_value() == !expected.refused.has_value());
    if (refused) {
        FUZZ_CHECK(refused->offset == expected.refused->offset);
        FUZZ_CHECK(refused->reason == expected.refused->reason);
    } else {
        FUZZ_CHECK(*narrow == expected.narrow);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // The bytes as UTF-8 someone typed.
    const Expected fromUtf8 = Oracle(bytes, DecodeUtf8);
    const std::optional<std::string> narrow = cp1252::FromUtf8(bytes);
    CheckFrom(bytes, fromUtf8, narrow);
    if (narrow) {
        FUZZ_CHECK(cp1252::ToUtf8(*narrow) == bytes);
    }

    // The bytes as UTF-16 units, low byte first.
    std::u16string units;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        units.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
    }
    const std::optional<std::string> narrow16 = cp1252::FromUtf16(units);
    CheckFrom(std::u16string_view(units), Oracle(std::u16string_view(units), DecodeUtf16),
              narrow16);
    if (narrow16) {
        FUZZ_CHECK(cp1252::ToUtf16(*narrow16) == units);
    }

    // The bytes as a field of the wire: every byte is a character, and comes back.
    const std::u16string wide = cp1252::ToUtf16(bytes);
    FUZZ_CHECK(wide.size() == size);
    for (std::size_t i = 0; i < size; ++i) {
        FUZZ_CHECK(wide[i] == Wide(data[i]) && cp1252::Decode(data[i]) == wide[i]);
        FUZZ_CHECK(cp1252::Encode(wide[i]) == data[i]);
    }
    FUZZ_CHECK(cp1252::FromUtf16(wide) == std::string(bytes));
    FUZZ_CHECK(cp1252::FromUtf8(cp1252::ToUtf8(bytes)) == std::string(bytes));
    return 0;
}
