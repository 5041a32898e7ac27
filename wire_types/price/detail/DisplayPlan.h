#pragma once

// Every row's display format read at compile time into a plan of at most three conversions, and
// the display writer of each row built on it: the divisions are by constants and the format is
// straight-line code. Shared by the converter and the stateless functions.

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <utility>

#include "wire_types/price/detail/PriceFormat.h"
#include "wire_types/support/detail/Scalars.h"

namespace Lumera::detail {

// The formats use only literal text, "%c" and "%d" with an optional '0' flag and width, which the
// plan renders byte for byte as printf does.

constexpr int kMaxConversions = 3;
constexpr int kMaxLiteral = 3;

struct Conversion {
    char literal[kMaxLiteral] = {};  // text before the conversion
    int literalLength = 0;
    bool character = false;  // %c, else %d
    bool zeroPad = false;
    int width = 0;
};

struct DisplayPlan {
    Conversion conversions[kMaxConversions] = {};
    int count = 0;
    char tail[kMaxLiteral] = {};  // text after the last conversion
    int tailLength = 0;
    bool valid = true;
};

constexpr DisplayPlan PlanOf(const char* format) {
    DisplayPlan plan;
    char literal[kMaxLiteral] = {};
    int literalLength = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            if (literalLength == kMaxLiteral) {
                plan.valid = false;
                return plan;
            }
            literal[literalLength++] = *p;
            continue;
        }
        if (plan.count == kMaxConversions) {
            plan.valid = false;
            return plan;
        }
        Conversion& conversion = plan.conversions[plan.count++];
        for (int i = 0; i < literalLength; ++i) {
            conversion.literal[i] = literal[i];
        }
        conversion.literalLength = literalLength;
        literalLength = 0;
        ++p;
        conversion.zeroPad = *p == '0';
        while (IsDigit(*p)) {
            conversion.width = conversion.width * 10 + (*p - '0');
            ++p;
        }
        if (*p != 'd' && *p != 'c') {
            plan.valid = false;
            return plan;
        }
        conversion.character = *p == 'c';
    }
    for (int i = 0; i < literalLength; ++i) {
        plan.tail[i] = literal[i];
    }
    plan.tailLength = literalLength;
    return plan;
}

template <std::size_t Index>
inline constexpr DisplayPlan kPlan = PlanOf(kPriceFormatTable[Index].sprintfFormat);

// Each row has a display function of its own, in which the divisions are by constants and the
// format is straight-line code.

// How many values the display algorithm hands to a row's format.
constexpr int ValueCount(const PriceFormat& row) {
    return row.primaryFraction == 1 || row.secondaryFraction == 1 ? 2 : 3;
}

constexpr bool FormatsArePlannable() {
    for (const PriceFormat& row : kPriceFormatTable) {
        const DisplayPlan plan = PlanOf(row.sprintfFormat);
        if (!plan.valid || plan.count > ValueCount(row)) {
            return false;
        }
    }
    return true;
}
static_assert(FormatsArePlannable());

constexpr int DigitCount(std::uint32_t value) {
    int count = 1;
    for (std::uint32_t bound = 10; count < 10 && value >= bound; bound *= 10) {
        ++count;
    }
    return count;
}

constexpr std::uint32_t PowerOfTen(int exponent) {
    std::uint32_t power = 1;
    for (int i = 0; i < exponent; ++i) {
        power *= 10;
    }
    return power;
}

// Writes value as printf's "%d" with the conversion's flag and width. Every value the display
// algorithm prints fits in 32 bits, the magnitude of -2147483648 included.
template <bool ZeroPad, int Width>
char* WriteInteger(char* out, std::int64_t value) {
    if constexpr (Width == 0) {
        // Most values are non-negative, and 32-bit digits come out faster than 64-bit ones.
        if (value >= 0) {
            return std::to_chars(out, out + 10, static_cast<std::uint32_t>(value)).ptr;
        }
        return std::to_chars(out, out + 20, value).ptr;
    } else {
        // The usual case, a fraction part that fills its zero-padded width exactly.
        if (ZeroPad && value >= 0 && value < PowerOfTen(Width)) {
            auto digits = static_cast<std::uint32_t>(value);
            for (int i = Width - 1; i >= 0; --i) {
                out[i] = static_cast<char>('0' + digits % 10);
                digits /= 10;
            }
            return out + Width;
        }
        const bool negative = value < 0;
        const auto magnitude = static_cast<std::uint32_t>(negative ? -value : value);
        const int length = DigitCount(magnitude) + (negative ? 1 : 0);
        const int padding = Width > length ? Width - length : 0;
        const char pad = ZeroPad ? '0' : ' ';
        if (!ZeroPad) {
            for (int i = 0; i < padding; ++i) {
                *out++ = pad;
            }
        }
        if (negative) {
            *out++ = '-';
        }
        if (ZeroPad) {
            for (int i = 0; i < padding; ++i) {
                *out++ = pad;
            }
        }
        return std::to_chars(out, out + 10, magnitude).ptr;
    }
}

constexpr std::size_t Length(const char* text) {
    std::size_t length = 0;
    while (text[length] != '\0') {
        ++length;
    }
    return length;
}

// Renders conversion I of the row's plan with its literal text before it. Returns false when a
// "%c" of zero ends the text, as it ends a C string.
template <std::size_t Index, int I>
bool RenderConversion(char*& out, const std::int64_t (&values)[kMaxConversions]) {
    if constexpr (I >= kPlan<Index>.count) {
        return true;
    } else {
        constexpr Conversion conversion = kPlan<Index>.conversions[I];
        for (int k = 0; k < conversion.literalLength; ++k) {
            *out++ = conversion.literal[k];
        }
        if constexpr (conversion.character) {
            const auto character = static_cast<unsigned char>(values[I]);
            if (character == 0) {
                return false;
            }
            *out++ = static_cast<char>(character);
        } else {
            out = WriteInteger<conversion.zeroPad, conversion.width>(out, values[I]);
        }
        return true;
    }
}

constexpr enumPriceFormatCode kShiftedRemainderCode = PriceFormatCode(41);

// Writes the display text of `price` ticks in the row at Index of the table; returns its end.
template <std::size_t Index>
char* WriteDisplay(char* out, std::int64_t price) noexcept {
    constexpr const PriceFormat& row = kPriceFormatTable[Index];
    constexpr std::int64_t secondary = row.secondaryFraction;
    constexpr std::int64_t primary = row.primaryFraction;

    // 64 bits hold the magnitude of -2147483648.
    std::int64_t n = price;
    bool negative = false;
    if constexpr (row.specifics == 2) {
        if (n < 0) {
            n = -n;
            negative = true;
        }
    }
    std::int64_t remainder = n % secondary;
    if constexpr (row.formatCode == kShiftedRemainderCode) {
        remainder -= 1;
        if (remainder == -1) {
            remainder = 0;
        }
    }
    n /= secondary;
    std::int64_t part = n % primary;
    if constexpr (row.primaryFractionMultiplier != 1.0) {
        // |part| < primaryFraction <= 100000 and the multiplier is at most 125: the product fits.
        part = static_cast<std::int32_t>(static_cast<double>(part) * row.primaryFractionMultiplier);
    }
    const std::int64_t whole = n / primary;

    std::int64_t lastDigit = remainder;
    if constexpr (row.lastDigitString != nullptr) {
        // A negative remainder selects by its absolute value; an index past the text's
        // terminator (code 58, or negative prices in code 41) selects nothing, like the
        // terminator itself.
        constexpr std::size_t length = Length(row.lastDigitString);
        const auto index = static_cast<std::uint64_t>(remainder < 0 ? -remainder : remainder);
        lastDigit = index < length ? static_cast<unsigned char>(row.lastDigitString[index]) : 0;
    }
    const std::int64_t values[kMaxConversions] = {
        whole, row.primaryFraction == 1 ? lastDigit : part, lastDigit};

    if (negative) {
        *out++ = '-';
    }
    if (RenderConversion<Index, 0>(out, values) && RenderConversion<Index, 1>(out, values) &&
        RenderConversion<Index, 2>(out, values)) {
        for (int k = 0; k < kPlan<Index>.tailLength; ++k) {
            *out++ = kPlan<Index>.tail[k];
        }
    }
    return out;
}

using DisplayWriter = char* (*)(char*, std::int64_t) noexcept;

template <std::size_t... Index>
constexpr auto DisplayWriters(std::index_sequence<Index...>) {
    return std::array<DisplayWriter, sizeof...(Index)>{&WriteDisplay<Index>...};
}

inline constexpr auto kDisplay = DisplayWriters(std::make_index_sequence<kPriceFormatCount>());

// Room for any display text: a sign, three conversions of at most 11 characters or their width,
// and literal text.
inline constexpr std::size_t kDisplayBuffer = 64;

// Writes the display text of `price` ticks in row `code` (1..62) into out, exactly as the
// converter prints it, and returns the end. `price` is any 32-bit value or the magnitude of
// -2147483648; nothing is written beyond the text.
inline char* WriteDisplayText(char* out, int code, std::int64_t price) noexcept {
    return kDisplay[static_cast<std::size_t>(code - 1)](out, price);
}

}  // namespace Lumera::detail
