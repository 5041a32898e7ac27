#include "common/Text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "common/Errors.h"

namespace lmwire {
namespace {

// Windows-1252 bytes 0x80..0x9F. The five bytes it leaves undefined map to the code points of
// the same value, as the library's own conversion does, so every byte has exactly one character.
constexpr std::array<char16_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(unsigned char byte) {
    if (byte >= 0x80 && byte < 0xA0) {
        return kHighControls[byte - 0x80];
    }
    return byte;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Decodes one UTF-8 sequence at `pos`; returns -1 for a malformed one. Only the shortest form
// of a code point is UTF-8: an overlong form (C1 81 for "A") could smuggle a character past a
// check on the bytes, and surrogates or code points beyond U+10FFFF are no characters at all.
long NextCodePoint(std::string_view text, std::size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    int extra = 0;
    long c = 0;
    long least = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
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
    if (pos + extra >= text.size()) {
        return -1;
    }
    for (int i = 1; i <= extra; ++i) {
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

void AppendEscape(std::string& out, char kind, unsigned value, int digits) {
    static const char* const kDigits = "0123456789abcdef";
    out += '\\';
    out += kind;
    for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) {
        out += kDigits[(value >> shift) & 15];
    }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view narrow) {
    std::string out;
    out.reserve(narrow.size());
    for (const char ch : narrow) {
        AppendUtf8(out, CodePointOf(static_cast<unsigned char>(ch)));
    }
    return out;
}

std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = pos;
        const long c = NextCodePoint(text, pos);
        if (c < 0) {
            AppendEscape(out, 'x', static_cast<unsigned char>(text[pos]), 2);
            ++pos;
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c < 0x20 || c == 0x7F) {
            AppendEscape(out, 'x', static_cast<unsigned>(c), 2);
        } else if (c >= 0x80 && c < 0xA0) {
            // C1 controls: some terminals act on them (0x9B starts a control sequence).
            AppendEscape(out, 'u', static_cast<unsigned>(c), 4);
        } else {
            out.append(text.substr(start, pos - start));
        }
    }
    return out;
}

std::string Quoted(std::string_view text) {
    // Built by appending: GCC 12 warns falsely about "literal" + std::string&& (its bug 105329).
    std::string quoted = "'";
    quoted += Escaped(text);
    quoted += '\'';
    return quoted;
}

std::string Utf8ToCp1252(std::string_view utf8, const std::string& what) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const long c = NextCodePoint(utf8, pos);
        if (c < 0) {
            throw BadInput(what + ": text is not valid UTF-8");
        }
        if (c == 0) {
            throw BadInput(what + ": text holds a NUL character");
        }
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            out += static_cast<char>(c);
            continue;
        }
        bool found = false;
        for (std::size_t i = 0; i < kHighControls.size() && !found; ++i) {
            if (kHighControls[i] == c) {
                out += static_cast<char>(0x80 + i);
                found = true;
            }
        }
        if (!found) {
            throw BadInput(what + ": text holds a character that Windows-1252 cannot express");
        }
    }
    return out;
}

namespace {

// from_chars takes a '-' but no '+'; a leading '+' is allowed here, once, and only before a
// digit or a point, so that "+-5" is not read as -5.
std::string_view WithoutPlus(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            return {};
        }
    }
    return text;
}

}  // namespace

std::int64_t ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                          const std::string& what) {
    const std::string_view digits = WithoutPlus(text);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || end != digits.data() + digits.size() ||
        ec == std::errc::invalid_argument) {
        throw BadInput(what + ": " + Quoted(text) + " is not an integer");
    }
    if (ec == std::errc::result_out_of_range || value < min || value > max) {
        throw BadInput(what + ": " + std::string(text) + " is out of range " + std::to_string(min) +
                       ".." + std::to_string(max));
    }
    return value;
}

double ParseDouble(std::string_view text, const std::string& what) {
    const std::string_view digits = WithoutPlus(text);
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || end != digits.data() + digits.size() ||
        ec == std::errc::invalid_argument) {
        throw BadInput(what + ": " + Quoted(text) + " is not a number");
    }
    if (ec != std::errc()) {
        throw BadInput(what + ": " + Quoted(text) + " is out of the range of a double");
    }
    return value;
}

std::string FormatDouble(double value) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("?");
}

void AppendInteger(std::string& out, std::int64_t value) {
    std::array<char, 24> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    out.append(buffer.data(), end);
}

}  // namespace lmwire
