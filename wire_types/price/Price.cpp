#include "wire_types/price/Price.h"

#include <array>
#include <cmath>
#include <cstring>
#include <utility>

#include "wire_types/price/ATPrice.h"
#include "wire_types/price/PriceFormat.h"
#include "wire_types/price/detail/DisplayPlan.h"
#include "wire_types/support/Bytes.h"

namespace Lumera::price {

namespace {

// What the parser needs of a row's display format.
struct Shape {
    bool point;        // the text has a decimal point after the whole part
    int primaryWidth;  // zero-padded digits of the primary part, 0 where none is printed
};

template <std::size_t Index>
constexpr Shape ShapeOf() {
    constexpr const detail::DisplayPlan& plan = detail::kPlan<Index>;
    constexpr const PriceFormat& row = kPriceFormatTable[Index];
    if constexpr (plan.count < 2) {
        return {false, 0};
    } else {
        constexpr detail::Conversion second = plan.conversions[1];
        constexpr bool point = second.literalLength == 1 && second.literal[0] == '.';
        return {point, row.primaryFraction == 1 ? 0 : second.width};
    }
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

constexpr std::int64_t kMagnitudeLimit = std::int64_t{1} << 31;

// Display's text of a price in a code that has a row, into room for detail::kDisplayBuffer.
char* WriteText(char* out, long code, std::int32_t ticks) noexcept {
    const int row = static_cast<int>(code);
    if (ticks >= 0) {
        return detail::WriteDisplayText(out, row, ticks);
    }
    // The magnitude's text one place along, then the sign just before its first non-blank
    // character, taking the last of any padding blanks.
    char* text = out + 1;
    char* end = detail::WriteDisplayText(text, row, -static_cast<std::int64_t>(ticks));
    const char* whole = text;
    while (whole < end && *whole == ' ') {
        ++whole;
    }
    if (whole == text) {
        *out = '-';
        return end;
    }
    text[whole - text - 1] = '-';
    std::memmove(out, text, static_cast<std::size_t>(end - text));
    return end - 1;
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
        if (!IsDigit(text[i])) {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    text.remove_prefix(count);
    return true;
}

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
    const auto index = static_cast<std::size_t>(code - 1);
    const PriceFormat& row = kPriceFormatTable[index];
    const Shape shape = kShapes[index];
    text = Trimmed(text);

    // The digits that fix the price up to its secondary remainder: the sign, the whole part and
    // the printed primary part. The rest is left to the comparison with the display below.
    std::string_view rest = text;
    const bool negative = !rest.empty() && rest.front() == '-';
    if (negative) {
        rest.remove_prefix(1);
    }
    std::size_t wholeDigits = 0;
    while (wholeDigits < rest.size() && IsDigit(rest[wholeDigits])) {
        ++wholeDigits;
    }
    std::int64_t whole = 0;
    if (wholeDigits == 0 || wholeDigits > 10 || !TakeDigits(rest, wholeDigits, whole)) {
        return std::nullopt;
    }
    std::int64_t firstPrimary = 0;
    std::int64_t lastPrimary = 0;
    if (shape.primaryWidth > 0) {
        std::int64_t printed = 0;
        if (rest.empty() || rest.front() != '.') {
            return std::nullopt;
        }
        rest.remove_prefix(1);
        if (!TakeDigits(rest, static_cast<std::size_t>(shape.primaryWidth), printed)) {
            return std::nullopt;
        }
        // The primary part prints as part x multiplier truncated: with a multiplier of 1 it is
        // the part itself, otherwise one of the parts next to printed / multiplier.
        if (row.primaryFractionMultiplier == 1.0) {
            firstPrimary = lastPrimary = printed;
        } else {
            const auto estimate = static_cast<std::int64_t>(static_cast<double>(printed) /
                                                            row.primaryFractionMultiplier);
            firstPrimary = estimate > 0 ? estimate - 1 : 0;
            lastPrimary = estimate + 1;
        }
        if (lastPrimary >= row.primaryFraction) {
            lastPrimary = row.primaryFraction - 1;
        }
    }

    // Candidates in ascending magnitude, so the first whose display is the text is the one
    // nearest zero.
    for (std::int64_t part = firstPrimary; part <= lastPrimary; ++part) {
        for (std::int64_t remainder = 0; remainder < row.secondaryFraction; ++remainder) {
            const std::int64_t magnitude =
                (whole * row.primaryFraction + part) * row.secondaryFraction + remainder;
            if (magnitude > (negative ? kMagnitudeLimit : kMagnitudeLimit - 1)) {
                return std::nullopt;
            }
            const auto ticks = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
            char buffer[detail::kDisplayBuffer];
            const char* end = WriteText(buffer, code, ticks);
            if (Trimmed(std::string_view(buffer, static_cast<std::size_t>(end - buffer))) == text) {
                return ticks;
            }
        }
    }
    return std::nullopt;
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
