#include "wire_types/support/CodePage.h"

#include "wire_types/support/detail/AnsiCodePage.h"

namespace Lumera::cp1252 {
namespace {

void AppendUtf8(std::string& out, char16_t unit) {
    if (unit < 0x80) {
        out += static_cast<char>(unit);
    } else if (unit < 0x800) {
        out += static_cast<char>(0xC0 | (unit >> 6));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (unit >> 12));
        out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (unit & 0x3F));
    }
}

// The code point of the UTF-8 sequence at `pos`, moving `pos` past it; a negative value for a
// malformed one. Only the shortest form of a code point is UTF-8: an overlong form (C1 81 for
// "A") could smuggle a character past a check on the bytes, and surrogates or code points beyond
// U+10FFFF are no characters at all.
long NextUtf8(std::string_view text, std::size_t& pos) noexcept {
    const auto lead = static_cast<unsigned char>(text[pos]);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t extra = 0;
    long c = 0;
    long least = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        c = lead & 0x1F;
        least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        c = lead & 0x0F;
        least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        c = lead & 0x07;
        least = 0x10000;
    } else {
        return -1;
    }
    if (text.size() - pos <= extra) {
        return -1;
    }
    for (std::size_t i = 1; i <= extra; ++i) {
        const auto next = static_cast<unsigned char>(text[pos + i]);
        if ((next & 0xC0) != 0x80) {
            return -1;
        }
        c = (c << 6) | (next & 0x3F);
    }
    if (c < least || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
        return -1;
    }
    pos += extra + 1;
    return c;
}

long NextUtf16(std::u16string_view text, std::size_t& pos) noexcept {
    const char16_t unit = text[pos++];
    if (unit < 0xD800 || unit > 0xDFFF) {
        return unit;
    }
    if (unit > 0xDBFF || pos == text.size() || text[pos] < 0xDC00 || text[pos] > 0xDFFF) {
        --pos;
        return -1;
    }
    return 0x10000 + ((long{unit} - 0xD800) << 10) + (text[pos++] - 0xDC00);
}

// Each character's byte to `sink` until the first refused, which is returned.
template <class Text, class Next, class Sink>
std::optional<Refused> Narrow(Text text, Next next, Sink sink) noexcept {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const long c = next(text, pos);
        if (c < 0) {
            return Refused{start, Refusal::Malformed};
        }
        const std::optional<unsigned char> byte = Encode(static_cast<char32_t>(c));
        if (!byte) {
            return Refused{start, Refusal::Unmapped};
        }
        sink(static_cast<char>(*byte));
    }
    return std::nullopt;
}

template <class Text, class Next>
std::optional<std::string> NarrowString(Text text, Next next) {
    // A character takes at least one byte or unit of the text and gives one byte: appending never
    // allocates past this.
    std::string narrow;
    narrow.reserve(text.size());
    if (Narrow(text, next, [&narrow](char byte) noexcept { narrow += byte; })) {
        return std::nullopt;
    }
    return narrow;
}

}  // namespace

char16_t Decode(unsigned char byte) noexcept {
    return static_cast<char16_t>(detail::AnsiCharToWide(byte));
}

std::optional<unsigned char> Encode(char32_t character) noexcept {
    if (character > 0xFFFF) {
        return std::nullopt;
    }
    // The table writes '?' for a character it cannot express, so only '?' itself reads as '?'.
    const char byte = detail::WideCharToAnsi(static_cast<OLECHAR>(character));
    if (byte == '?' && character != U'?') {
        return std::nullopt;
    }
    return static_cast<unsigned char>(byte);
}

std::string ToUtf8(std::string_view narrow) {
    std::string out;
    out.reserve(narrow.size());
    for (const char byte : narrow) {
        AppendUtf8(out, Decode(static_cast<unsigned char>(byte)));
    }
    return out;
}

std::u16string ToUtf16(std::string_view narrow) {
    std::u16string out(narrow.size(), u'\0');
    for (std::size_t i = 0; i < narrow.size(); ++i) {
        out[i] = Decode(static_cast<unsigned char>(narrow[i]));
    }
    return out;
}

std::optional<std::string> FromUtf8(std::string_view utf8) {
    return NarrowString(utf8, NextUtf8);
}

std::optional<std::string> FromUtf16(std::u16string_view utf16) {
    return NarrowString(utf16, NextUtf16);
}

std::optional<Refused> FindRefused(std::string_view utf8) noexcept {
    return Narrow(utf8, NextUtf8, [](char) noexcept {});
}

std::optional<Refused> FindRefused(std::u16string_view utf16) noexcept {
    return Narrow(utf16, NextUtf16, [](char) noexcept {});
}

}  // namespace Lumera::cp1252
