#include "wire_types/price/ATPrice.h"

#include <cstdint>
#include <cstring>

namespace Lumera {

namespace {

// The table's display formats use only literal text, "%c" and "%d" with an optional '0' flag and
// width. Rendering them here, rather than through the C library's printf, gives the same bytes
// without a varargs call per price, and lets a whole part beyond 32 bits (the magnitude of
// -2147483648 ticks shown as "-" and its absolute value) print as a number.
constexpr bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Number of conversions in `format`, or -1 if it uses anything the renderer does not handle.
constexpr int CountConversions(const char* format) {
    int count = 0;
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            continue;
        }
        ++p;
        while (IsDigit(*p)) {
            ++p;
        }
        if (*p != 'd' && *p != 'c') {
            return -1;
        }
        ++count;
    }
    return count;
}

// How many values the display algorithm hands to a row's format.
constexpr int ValueCount(const PriceFormat& row) {
    if (row.primaryFraction == 1 || row.secondaryFraction == 1) {
        return 2;
    }
    return 3;
}

constexpr bool FormatsAreRenderable() {
    for (const PriceFormat& row : kPriceFormatTable) {
        const int conversions = CountConversions(row.sprintfFormat);
        if (conversions < 0 || conversions > ValueCount(row)) {
            return false;
        }
    }
    return true;
}
static_assert(FormatsAreRenderable());

void AppendInteger(std::string& out, std::int64_t value, bool zeroPad, int width) {
    char digits[24];
    int length = 0;
    std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        digits[length++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const int signLength = value < 0 ? 1 : 0;
    const int padding = width > length + signLength ? width - length - signLength : 0;
    if (!zeroPad) {
        out.append(static_cast<std::size_t>(padding), ' ');
    }
    if (value < 0) {
        out.push_back('-');
    }
    if (zeroPad) {
        out.append(static_cast<std::size_t>(padding), '0');
    }
    while (length > 0) {
        out.push_back(digits[--length]);
    }
}

// Appends the rendering of `format`; a "%c" of zero ends the text, as it ends a C string.
void Render(std::string& out, const char* format, const std::int64_t* values) {
    for (const char* p = format; *p != '\0'; ++p) {
        if (*p != '%') {
            out.push_back(*p);
            continue;
        }
        ++p;
        const bool zeroPad = *p == '0';
        int width = 0;
        while (IsDigit(*p)) {
            width = width * 10 + (*p - '0');
            ++p;
        }
        const std::int64_t value = *values++;
        if (*p == 'c') {
            const auto character = static_cast<unsigned char>(value);
            if (character == 0) {
                return;
            }
            out.push_back(static_cast<char>(character));
        } else {
            AppendInteger(out, value, zeroPad, width);
        }
    }
}

// The character that a secondary remainder selects. A negative remainder selects by its absolute
// value; an index past the text's terminator (code 58, or negative prices in code 41) selects
// nothing, like the terminator itself.
std::int64_t LastDigit(const char* text, std::int64_t remainder) {
    const std::uint64_t index = remainder < 0 ? 0 - static_cast<std::uint64_t>(remainder)
                                              : static_cast<std::uint64_t>(remainder);
    if (index >= std::strlen(text)) {
        return 0;
    }
    return static_cast<unsigned char>(text[index]);
}

constexpr enumPriceFormatCode kShiftedRemainderCode = PriceFormatCode(41);

}  // namespace

ATPrice::ATPrice() : m_currentCode(pfcNone), m_table(nullptr) {
    Init();
}

ATPrice::ATPrice(enumPriceFormatCode priceFormatCode)
    : m_currentCode(priceFormatCode), m_table(nullptr) {
    Init();
}

ATPrice::~ATPrice() = default;

void ATPrice::Init() {
    m_table = &kPriceFormatTable;
}

const PriceFormat* ATPrice::FindFormat(enumPriceFormatCode code) const {
    if (code < 1 || code > static_cast<std::int32_t>(kPriceFormatCount)) {
        return nullptr;
    }
    return &(*m_table)[code - 1];
}

std::string ATPrice::getDisplayString(long price, enumPriceFormatCode formatcode) {
    m_currentCode = formatcode;
    const PriceFormat* row = FindFormat(formatcode);
    if (row == nullptr) {
        return std::string();
    }

    // 64 bits hold the magnitude of -2147483648; every other value stays within 32 bits.
    std::int64_t n = static_cast<std::int32_t>(price);
    bool negative = false;
    if (n < 0 && row->specifics == 2) {
        n = -n;
        negative = true;
    }

    std::int64_t remainder = n % row->secondaryFraction;
    if (formatcode == kShiftedRemainderCode) {
        remainder -= 1;
        if (remainder == -1) {
            remainder = 0;
        }
    }
    n /= row->secondaryFraction;
    // |primary| < primaryFraction <= 100000 and the multiplier is at most 125: the product fits.
    const auto primary = static_cast<std::int32_t>(static_cast<double>(n % row->primaryFraction) *
                                                   row->primaryFractionMultiplier);
    const std::int64_t whole = n / row->primaryFraction;
    const std::int64_t lastDigit =
        row->lastDigitString != nullptr ? LastDigit(row->lastDigitString, remainder) : remainder;

    std::int64_t values[3] = {whole, primary, lastDigit};
    if (row->primaryFraction == 1) {
        values[1] = lastDigit;
    }

    std::string text;
    if (negative) {
        text.push_back('-');
    }
    Render(text, row->sprintfFormat, values);
    return text;
}

long ATPrice::GetPriceFormatCodeDivisor(enumPriceFormatCode formatcode) {
    m_currentCode = formatcode;
    const PriceFormat* row = FindFormat(formatcode);
    if (row == nullptr) {
        return 0;
    }
    return static_cast<long>(row->primaryFraction) * row->secondaryFraction;
}

int ATPrice::GetDecimalPlaces(enumPriceFormatCode formatcode) {
    const std::string text = getDisplayString(1, formatcode);
    const std::size_t point = text.find('.');
    if (point == std::string::npos) {
        return 0;
    }
    return static_cast<int>(text.size() - point - 1);
}

enumPriceFormatCode ATPrice::GetPriceFormatCode() {
    return m_currentCode;
}

}  // namespace Lumera
