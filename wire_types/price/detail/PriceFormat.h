#pragma once

// One row of the price-format table, and the table itself: built once at compile time and read
// by every converter, so that constructing a price-carrying record allocates nothing for it.

#include <cstddef>
#include <cstdint>

#include "wire_types/support/SharedEnums.h"

namespace Lumera {

struct PriceFormat {
    enumPriceFormatCode formatCode;
    std::int32_t primaryFraction;
    std::int32_t secondaryFraction;
    std::int32_t divisor;  // kept for completeness; conversions divide by the two fractions
    double primaryFractionMultiplier;
    const char* lastDigitString;
    const char* sprintfFormat;
    const char* sscanfFormat;    // never read
    const char* internalFormat;  // never read
    std::int32_t specifics;

    constexpr PriceFormat()
        : formatCode(pfcNone),
          primaryFraction(1),
          secondaryFraction(1),
          divisor(1),
          primaryFractionMultiplier(1.0),
          lastDigitString(nullptr),
          sprintfFormat(nullptr),
          sscanfFormat(nullptr),
          internalFormat(nullptr),
          specifics(0) {}

    // The parameter order is the historical one, not the field order.
    constexpr PriceFormat(enumPriceFormatCode formatCode, long primaryFraction,
                          long secondaryFraction, const char* lastDigitString,
                          const char* sprintfFormat, const char* sscanfFormat,
                          double primaryFractionMultiplier, long divisor,
                          const char* internalFormat, long specifics)
        : formatCode(formatCode),
          primaryFraction(static_cast<std::int32_t>(primaryFraction)),
          secondaryFraction(static_cast<std::int32_t>(secondaryFraction)),
          divisor(static_cast<std::int32_t>(divisor)),
          primaryFractionMultiplier(primaryFractionMultiplier),
          lastDigitString(lastDigitString),
          sprintfFormat(sprintfFormat),
          sscanfFormat(sscanfFormat),
          internalFormat(internalFormat),
          specifics(static_cast<std::int32_t>(specifics)) {}
};

constexpr enumPriceFormatCode PriceFormatCode(std::int32_t code) {
    return static_cast<enumPriceFormatCode>(code);
}

inline constexpr std::size_t kPriceFormatCount = 62;

using PriceFormatTable = PriceFormat[kPriceFormatCount];

// Row i holds code i + 1.
// clang-format off
inline constexpr PriceFormatTable kPriceFormatTable = {
    {PriceFormatCode(1), 100, 2, "05", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(2), 100, 4, "0246", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(3), 100, 4, "0257", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(4), 100, 8, nullptr, "%d.%02d%01d", "%3d%2d%1d", 1.0, 1000, "%04d%02d%01d", 1},
    {PriceFormatCode(5), 1, 4, "0257", "%d.%c", "%5d%1d", 1.0, 10, "%06d%c", 1},
    {PriceFormatCode(6), 32, 1, nullptr, "%d.%02d", "%4d%2d", 1.0, 100, "%05d%02d", 1},
    {PriceFormatCode(7), 64, 1, nullptr, "%d.%02d", "%4d%2d", 1.0, 100, "%05d%02d", 1},
    {PriceFormatCode(8), 32, 2, "05", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(9), 32, 4, "0257", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(10), 64, 2, "05", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(11), 20, 1, nullptr, "%d.%02d", "%4d%2d", 5.0, 100, "%07d%02d", 1},
    {PriceFormatCode(12), 1, 2, "05", "%d.%c", "%5d%1d", 1.0, 10, "%06d%c", 1},
    {PriceFormatCode(13), 200, 1, nullptr, "%d.%03d", "%3d%3d", 5.0, 1000, "%04d%03d", 1},
    {PriceFormatCode(14), 100, 1, nullptr, "%d.%02d", "%4d%2d", 1.0, 100, "%05d%02d", 1},
    {PriceFormatCode(15), 10, 1, nullptr, "%d.%01d", "%5d%1d", 1.0, 10, "%06d%01d", 0},
    {PriceFormatCode(16), 100, 10, nullptr, "%d.%02d%01d", "%3d%2d%1d", 1.0, 1000, "%04d%02d%01d", 1},
    {PriceFormatCode(17), 1, 1, nullptr, "%d", "%6d", 1.0, 1, "%07d", 1},
    {PriceFormatCode(18), 40, 1, nullptr, "%4d.%02d", "%4d%2d", 2.5, 100, "%05d%02d", 1},
    {PriceFormatCode(19), 100, 1, nullptr, "%d.%02d", "%4d.%2d", 1.0, 100, "%05d%02d", 0},
    {PriceFormatCode(20), 1, 2, "05", "%4d.%c", "%5d.%1d", 1.0, 10, "%06d%01c", 0},
    {PriceFormatCode(21), 1, 1, nullptr, "%d.%01d", "%5d%1d", 10.0, 10, "%06d%01d", 0},
    {PriceFormatCode(22), 100, 1, nullptr, "%d.%02d", "%4d.%2d", 1.0, 100, "%05d%02d", 0},
    {PriceFormatCode(23), 200, 1, nullptr, "%d.%03d", "%3d%3d", 5.0, 1000, "%04d%03d", 0},
    {PriceFormatCode(24), 20, 1, nullptr, "%d.%02d", "%4d.%2d", 5.0, 100, "%05d%02d", 0},
    {PriceFormatCode(25), 4, 1, nullptr, "%d.%02d", "%3d%2d", 25.0, 100, "%05d%02d", 0},
    {PriceFormatCode(26), 2, 1, nullptr, "%d.%02d", "%4d.%02d", 50.0, 100, "%05d%02d", 0},
    {PriceFormatCode(27), 10, 1, nullptr, "%d.%02d", "%4d%2d", 10.0, 100, "%05d%02d", 0},
    {PriceFormatCode(28), 100, 1, nullptr, "%d.%03d", "%3d.%3d", 10.0, 1000, "%04d%03d", 0},
    {PriceFormatCode(29), 100, 1, nullptr, "%d.%02d", "%4d.%2d", 1.0, 100, "%05d%02d", 0},
    {PriceFormatCode(30), 1, 2, "05", "%4d.%c", "%5d.%1d", 1.0, 10, "%06d%01c", 0},
    {PriceFormatCode(31), 32, 4, "0257", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 2},
    {PriceFormatCode(32), 10, 1, nullptr, "%d.%01d", "%5d%1d", 1.0, 10, "%06d%01d", 1},
    {PriceFormatCode(33), 5000, 1, nullptr, "%d.%04d", "%1d%4d", 2.0, 10000, "%03d%04d", 0},
    {PriceFormatCode(34), 20000, 1, nullptr, "%d.%05d", "%1d%5d", 5.0, 100000, "%02d%05d", 0},
    {PriceFormatCode(35), 40000, 1, nullptr, "%d.%06d", "%1d%6d", 25.0, 1000000, "%01d%06d", 0},
    {PriceFormatCode(36), 50000, 1, nullptr, "%d.%05d", "%1d%5d", 2.0, 100000, "%02d%05d", 0},
    {PriceFormatCode(37), 10000, 1, nullptr, "%d.%04d", "%1d%5d", 1.0, 10000, "%03d%04d", 0},
    {PriceFormatCode(38), 1000, 1, nullptr, "%d.%03d", "%3d%3d", 1.0, 1000, "%04d%03d", 0},
    {PriceFormatCode(39), 4000, 1, nullptr, "%d.%05d", "%1d%5d", 25.0, 100000, "%02d%05d", 0},
    {PriceFormatCode(40), 32, 4, nullptr, "%d.%02d", "%4d%2d", 1.0, 100, "%05d%02d", 1},
    {PriceFormatCode(41), 32, 4, "05", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(42), 40, 1, nullptr, "%d.%03d", "%3d%3d", 25.0, 1000, "%04d%03d", 0},
    {PriceFormatCode(43), 400, 1, nullptr, "%d.%03d", "%3d%3d", 2.5, 1000, "%04d%03d", 0},
    {PriceFormatCode(44), 2, 1, nullptr, "%d.%01d", "%5d%1d", 5.0, 10, "%06d%01d", 0},
    {PriceFormatCode(45), 4, 1, nullptr, "%d.%01d", "%5d%1d", 2.5, 10, "%06d%01d", 0},
    {PriceFormatCode(46), 100, 2, "05", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 1},
    {PriceFormatCode(47), 1, 1, nullptr, "%d.%01d", "%5d%1d", 1.0, 1, "%07d", 1},
    {PriceFormatCode(48), 2000, 1, nullptr, "%d.%04d", "%3d%4d", 5.0, 10000, "%03d%04d", 1},
    {PriceFormatCode(49), 500, 1, nullptr, "%d.%03d", "%4d%3d", 2.0, 1000, "%04d%03d", 0},
    {PriceFormatCode(50), 2000, 1, nullptr, "%d.%04d", "%3d%4d", 5.0, 10000, "%03d%04d", 0},
    {PriceFormatCode(51), 80, 1, nullptr, "%d.%04d", "%3d%4d", 125.0, 10000, "%03d%04d", 0},
    {PriceFormatCode(52), 500, 1, nullptr, "%d.%04d", "%3d%4d", 20.0, 10000, "%03d%04d", 0},
    {PriceFormatCode(53), 32, 4, "0257", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 4},
    {PriceFormatCode(54), 32, 2, "05", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 3},
    {PriceFormatCode(55), 32, 1, nullptr, "%d.%02d", "%4d%2d", 1.0, 100, "%05d%02d", 5},
    {PriceFormatCode(56), 100, 4, "0246", "%d.%02d%c", "%3d%2d%1d", 1.0, 1000, "%04d%02d%c", 6},
    {PriceFormatCode(57), 1000, 1, nullptr, "%d.%03d", "%3d%3d", 1.0, 1000, "%04d%03d", 1},
    {PriceFormatCode(58), 200, 5, "05", "%d.%03d", "%3d%3d", 5.0, 1000, "%04d%03d", 1},
    {PriceFormatCode(59), 100000, 1, nullptr, "%d.%05d", "%1d%5d", 1.0, 100000, "%02d%05d", 0},
    {PriceFormatCode(60), 100, 1, nullptr, "%d.%03d", "%3d%3d", 10.0, 1000, "%04d%03d", 0},
    {PriceFormatCode(61), 50, 1, nullptr, "%d.%02d", "%5d.%2d", 2.0, 100, "%05d%02d", 0},
    {PriceFormatCode(62), 100000, 1, nullptr, "%d.%06d", "%1d%6d", 1.0, 1000000, "%01d%06d", 0},
};
// clang-format on

namespace detail {
constexpr bool RowsAreKeyedByPosition() {
    for (std::size_t i = 0; i < kPriceFormatCount; ++i) {
        if (kPriceFormatTable[i].formatCode != static_cast<std::int32_t>(i + 1)) {
            return false;
        }
    }
    return true;
}
}  // namespace detail
static_assert(detail::RowsAreKeyedByPosition());

}  // namespace Lumera
