#include "wire_types/price/detail/DecimalText.h"

#include <charconv>
#include <cstdint>
#include <limits>
#include <optional>
#include <system_error>

#include "wire_types/support/detail/Scalars.h"

namespace Lumera::detail {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsHexDigit(char c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithNoCase(std::string_view text, std::string_view word) {
    if (text.size() < word.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (Lower(text[i]) != word[i]) {
            return false;
        }
    }
    return true;
}

// Rough power of the radix of a number from_chars found out of range: its sign tells overflow
// (non-negative) from underflow. Such numbers lie hundreds of powers away from 1, so a digit
// or two of error does not matter. A second point ends the number, as it ends strtod's: an
// exponent written after it belongs to other text.
std::int64_t Magnitude(std::string_view number, bool hex) {
    const char exponentMark = hex ? 'p' : 'e';
    const int digitWeight = hex ? 4 : 1;
    std::int64_t order = 0;
    bool seenPoint = false;
    bool seenSignificant = false;
    std::size_t i = 0;
    for (; i < number.size(); ++i) {
        const char c = number[i];
        if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else if (hex ? IsHexDigit(c) : IsDigit(c)) {
            if (!seenPoint && seenSignificant) {
                order += digitWeight;
            } else if (seenPoint && !seenSignificant && c == '0') {
                order -= digitWeight;
            }
            seenSignificant = seenSignificant || c != '0';
        } else {
            break;
        }
    }
    if (!seenSignificant) {
        return 0;
    }
    if (i < number.size() && Lower(number[i]) == exponentMark) {
        ++i;
        bool negative = false;
        if (i < number.size() && (number[i] == '+' || number[i] == '-')) {
            negative = number[i] == '-';
            ++i;
        }
        std::int64_t exponent = 0;
        for (; i < number.size() && IsDigit(number[i]); ++i) {
            if (exponent < 1000000000) {
                exponent = exponent * 10 + (number[i] - '0');
            }
        }
        order += negative ? -exponent : exponent;
    }
    return order;
}

// Length of the hexadecimal number at the start of `text` (after its "0x") as strtod reads it:
// digits with at most one point, then a binary exponent only when a sign-optional digit follows
// the 'p'. from_chars is handed no more than this because libstdc++ 12 reads "1p+-2" as 1p-2,
// where strtod stops at the 'p'.
std::size_t HexNumberLength(std::string_view text) {
    std::size_t i = 0;
    bool seenPoint = false;
    for (; i < text.size(); ++i) {
        if (text[i] == '.' && !seenPoint) {
            seenPoint = true;
        } else if (!IsHexDigit(text[i])) {
            break;
        }
    }
    if (i < text.size() && Lower(text[i]) == 'p') {
        std::size_t exponent = i + 1;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            ++exponent;
        }
        if (exponent < text.size() && IsDigit(text[exponent])) {
            while (exponent < text.size() && IsDigit(text[exponent])) {
                ++exponent;
            }
            i = exponent;
        }
    }
    return i;
}

// The value of the unsigned number at the start of `text`, or nullopt when there is none.
std::optional<double> ReadUnsigned(std::string_view text) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    if (StartsWithNoCase(text, "inf")) {
        return kInfinity;
    }
    if (StartsWithNoCase(text, "nan")) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    bool hex = false;
    if (text.size() > 2 && text[0] == '0' && Lower(text[1]) == 'x' &&
        (IsHexDigit(text[2]) || (text[2] == '.' && text.size() > 3 && IsHexDigit(text[3])))) {
        hex = true;
        text.remove_prefix(2);
        text = text.substr(0, HexNumberLength(text));
    } else if (text.empty() || !(IsDigit(text[0]) || text[0] == '.')) {
        return std::nullopt;
    }
    double value = 0.0;
    const std::chars_format format = hex ? std::chars_format::hex : std::chars_format::general;
    const std::from_chars_result result =
        std::from_chars(text.data(), text.data() + text.size(), value, format);
    if (result.ec == std::errc::result_out_of_range) {
        return Magnitude(text, hex) >= 0 ? kInfinity : 0.0;
    }
    if (result.ec != std::errc()) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

double ReadDecimalText(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) {
        ++i;
    }
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Without a number the sign is not applied: the result is +0, as atof gives it.
    const std::optional<double> value = ReadUnsigned(text.substr(i));
    if (!value) {
        return 0.0;
    }
    return negative ? -*value : *value;
}

}  // namespace Lumera::detail
