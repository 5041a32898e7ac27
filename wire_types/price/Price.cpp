#include "wire_types/price/Price.h"

#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "wire_types/price/detail/DisplayPlan.h"
#include "wire_types/price/detail/PriceFormat.h"
#include "wire_types/support/detail/Scalars.h"

namespace Lumera::price {

namespace {

// What the parser needs of a row's display format.
constexpr int kMaxSecondary = 10;

struct Shape {
    bool point;        // the text has a decimal point after the whole part
    int primaryWidth;  // zero-padded digits of the primary part, 0 where none is printed
    bool lastPrinted;  // a conversion prints the secondary remainder last
    // What that conversion prints for each remainder of a price of 0 or more: a character, or
    // '\0' for nothing.
    char last[kMaxSecondary] = {};
};

template <std::size_t Index>
constexpr Shape WithLastCharacters(Shape shape) {
    constexpr const PriceFormat& row = kPriceFormatTable[Index];
    static_assert(row.secondaryFraction <= kMaxSecondary);
    for (int remainder = 0; remainder < row.secondaryFraction; ++remainder) {
        if constexpr (row.lastDigitString == nullptr) {
            shape.last[remainder] = static_cast<char>('0' + remainder);  // "%01d"
        } else {
            int at = remainder;
            if constexpr (row.formatCode == 41) {
                at = remainder > 0 ? remainder - 1 : 0;
            }
            int length = 0;
            while (row.lastDigitString[length] != '\0') {
                ++length;
            }
            shape.last[remainder] = at < length ? row.lastDigitString[at] : '\0';
        }
    }
    return shape;
}

template <std::size_t Index>
constexpr Shape LayoutOf() {
    constexpr const detail::DisplayPlan& plan = detail::kPlan<Index>;
    constexpr const PriceFormat& row = kPriceFormatTable[Index];
    if constexpr (plan.count < 2) {
        return {false, 0, false};
    } else {
        constexpr detail::Conversion second = plan.conversions[1];
        constexpr bool point = second.literalLength == 1 && second.literal[0] == '.';
        if constexpr (row.primaryFraction == 1) {
            return {point, 0, true};
        } else {
            return {point, second.width, plan.count == 3};
        }
    }
}

template <std::size_t Index>
constexpr Shape ShapeOf() {
    return WithLastCharacters<Index>(LayoutOf<Index>());
}

template <std::size_t Index>
constexpr FormatInfo InfoOf() {
    constexpr const PriceFormat& row = kPriceFormatTable[Index];
    constexpr Shape shape = ShapeOf<Index>();
    // One tick prints a last character wherever the format has a conversion for it.
    int places = 0;
    if (shape.point) {
        places = row.primaryFraction == 1
                     ? 1
                     : shape.primaryWidth + (detail::kPlan<Index>.count == 3 ? 1 : 0);
    }
    return {row.formatCode, row.primaryFraction * row.secondaryFraction, places};
}

template <std::size_t... Index>
constexpr std::array<FormatInfo, sizeof...(Index)> Infos(std::index_sequence<Index...>) {
    return {InfoOf<Index>()...};
}

template <std::size_t... Index>
constexpr std::array<Shape, sizeof...(Index)> Shapes(std::index_sequence<Index...>) {
    return {ShapeOf<Index>()...};
}

constexpr auto kInfos = Infos(std::make_index_sequence<kPriceFormatCount>());
constexpr auto kShapes = Shapes(std::make_index_sequence<kPriceFormatCount>());

// The parser relies on these: every text has a point but code 17's, which is the whole tick
// count; every row with a primary fraction prints it, after the point, in a zero-padded field
// wide enough for any part; the whole part comes first, after the padding blanks at most.
constexpr bool ShapesAreParseable() {
    for (std::size_t i = 0; i < kPriceFormatCount; ++i) {
        const PriceFormat& row = kPriceFormatTable[i];
        const Shape& shape = kShapes[i];
        if (!shape.point && (row.primaryFraction != 1 || row.secondaryFraction != 1)) {
            return false;
        }
        if (row.primaryFraction > 1) {
            std::int64_t room = 1;
            for (int digit = 0; digit < shape.primaryWidth; ++digit) {
                room *= 10;
            }
            const auto largest = static_cast<std::int64_t>((row.primaryFraction - 1) *
                                                           row.primaryFractionMultiplier);
            if (shape.primaryWidth == 0 || largest >= room || row.primaryFractionMultiplier < 1.0) {
                return false;
            }
        }
    }
    return true;
}
static_assert(ShapesAreParseable());

constexpr std::int64_t kMagnitudeLimit = std::int64_t{1} << 31;

// Display's text of a price in a code that has a row, into room for detail::kDisplayBuffer.
char* WriteText(char* out, long code, std::int32_t ticks) noexcept {
    const int row = static_cast<int>(code);
    if (ticks >= 0) {
        return detail::WriteDisplayText(out, row, ticks);
    }
    // The magnitude's text, then the sign just before its first non-blank character: in place of
    // the last padding blank where the row pads, else in front, moving the text along.
    char* end = detail::WriteDisplayText(out, row, -static_cast<std::int64_t>(ticks));
    char* whole = out;
    while (whole < end && *whole == ' ') {
        ++whole;
    }
    if (whole != out) {
        whole[-1] = '-';
        return end;
    }
    std::memmove(out + 1, out, static_cast<std::size_t>(end - out));
    *out = '-';
    return end + 1;
}

std::string_view Trimmed(std::string_view text) noexcept {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    while (!text.empty() && text.back() == ' ') {
        text.remove_suffix(1);
    }
    return text;
}

// Reads `count` decimal digits from the front of text into value; false if they are not there.
bool TakeDigits(std::string_view& text, std::size_t count, std::int64_t& value) noexcept {
    if (text.size() < count) {
        return false;
    }
    value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!detail::IsDigit(text[i])) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

// Reads a trimmed text as Display writes it in the row at Index, field by field: an optional
// sign, the whole part without leading zeros, the point, the primary part on its full width, the
// last character. One function per row, so that widths and fractions are constants.
template <std::size_t Index>
std::optional<std::int32_t> ParseIn(std::string_view rest) noexcept {
    constexpr const PriceFormat& row = kPriceFormatTable[Index];
    constexpr Shape shape = kShapes[Index];

    const bool negative = !rest.empty() && rest.front() == '-';
    if (negative) {
        rest.remove_prefix(1);
    }
    std::int64_t whole = 0;
    std::size_t wholeDigits = 0;
    for (; wholeDigits < rest.size() && detail::IsDigit(rest[wholeDigits]); ++wholeDigits) {
        if (wholeDigits == 10) {
            return std::nullopt;  // beyond any 32-bit price
        }
        whole = whole * 10 + (rest[wholeDigits] - '0');
    }
    if (wholeDigits == 0 || (wholeDigits > 1 && rest.front() == '0')) {
        return std::nullopt;
    }
    rest.remove_prefix(wholeDigits);
    std::int64_t part = 0;
    if constexpr (shape.point) {
        if (rest.empty() || rest.front() != '.') {
            return std::nullopt;
        }
        rest.remove_prefix(1);
    }
    if constexpr (shape.primaryWidth > 0) {
        std::int64_t printed = 0;
        if (!TakeDigits(rest, static_cast<std::size_t>(shape.primaryWidth), printed)) {
            return std::nullopt;
        }
        part = printed;
        if constexpr (row.primaryFractionMultiplier != 1.0) {
            // The part prints as part x multiplier, truncated: next to printed / multiplier.
            constexpr double multiplier = row.primaryFractionMultiplier;
            part = static_cast<std::int64_t>(static_cast<double>(printed) / multiplier);
            if (static_cast<std::int32_t>(static_cast<double>(part) * multiplier) != printed) {
                ++part;
            }
            if (static_cast<std::int32_t>(static_cast<double>(part) * multiplier) != printed) {
                return std::nullopt;
            }
        }
        if (part >= row.primaryFraction) {
            return std::nullopt;
        }
    }
    // The smallest remainder that prints as the text ends, so that of the prices sharing a text
    // the one nearest zero is taken; a negative price has a magnitude of at least 1.
    std::int64_t remainder = negative && whole == 0 && part == 0 ? 1 : 0;
    if constexpr (shape.lastPrinted) {
        // A NUL in the text is not the nothing that a remainder without a character prints.
        if (rest.size() > 1 || (rest.size() == 1 && rest.front() == '\0')) {
            return std::nullopt;
        }
        const char last = rest.empty() ? '\0' : rest.front();
        while (remainder < row.secondaryFraction && shape.last[remainder] != last) {
            ++remainder;
        }
        if (remainder >= row.secondaryFraction) {
            return std::nullopt;
        }
    } else {
        if (!rest.empty() || remainder >= row.secondaryFraction) {
            return std::nullopt;
        }
    }
    const std::int64_t magnitude =
        (whole * row.primaryFraction + part) * row.secondaryFraction + remainder;
    if (magnitude > (negative ? kMagnitudeLimit : kMagnitudeLimit - 1)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

using Parser = std::optional<std::int32_t> (*)(std::string_view) noexcept;

template <std::size_t... Index>
constexpr std::array<Parser, sizeof...(Index)> Parsers(std::index_sequence<Index...>) {
    return {&ParseIn<Index>...};
}

constexpr auto kParsers = Parsers(std::make_index_sequence<kPriceFormatCount>());

}  // namespace

const FormatInfo* Find(long code) noexcept {
    if (code < 1 || code > static_cast<long>(kPriceFormatCount)) {
        return nullptr;
    }
    return &kInfos[static_cast<std::size_t>(code - 1)];
}

const FormatInfo* begin() noexcept {
    return kInfos.data();
}

const FormatInfo* end() noexcept {
    return kInfos.data() + kInfos.size();
}

char* DisplayTo(char* first, char* last, long code, std::int32_t ticks) noexcept {
    if (Find(code) == nullptr) {
        return first;
    }
    // The writer writes nothing beyond the text, and every text is shorter than
    // kMaxDisplayLength: with that much room it writes in place.
    if (static_cast<std::size_t>(last - first) >= kMaxDisplayLength) {
        return WriteText(first, code, ticks);
    }
    char buffer[detail::kDisplayBuffer];
    const char* end = WriteText(buffer, code, ticks);
    const auto length = static_cast<std::size_t>(end - buffer);
    if (static_cast<std::size_t>(last - first) < length) {
        return nullptr;
    }
    std::memcpy(first, buffer, length);
    return first + length;
}

std::string Display(long code, std::int32_t ticks) {
    char buffer[detail::kDisplayBuffer];
    return std::string(buffer, DisplayTo(buffer, buffer + sizeof buffer, code, ticks));
}

std::optional<std::int32_t> Parse(long code, std::string_view text) noexcept {
    if (Find(code) == nullptr) {
        return std::nullopt;
    }
    return kParsers[static_cast<std::size_t>(code - 1)](Trimmed(text));
}

double ToDecimal(long code, std::int32_t ticks) noexcept {
    const FormatInfo* info = Find(code);
    if (info == nullptr) {
        return ticks;
    }
    return static_cast<double>(ticks) / info->ticksPerUnit;
}

std::optional<std::int32_t> FromDecimal(long code, double value) noexcept {
    const FormatInfo* info = Find(code);
    if (info == nullptr) {
        return std::nullopt;
    }
    const double product = value * info->ticksPerUnit;
    // Rounding halves away from zero keeps (-2^31 - 0.5, 2^31 - 0.5) in range; NaN fails both.
    if (!(product > -2147483648.5 && product < 2147483647.5)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(std::llround(product));
}

}  // namespace Lumera::price
