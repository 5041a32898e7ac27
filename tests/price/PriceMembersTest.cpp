#include "wire_types/price/detail/PriceMembers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <tuple>

namespace Lumera::detail {
namespace {

constexpr long kMin = INT32_MIN, kMax = INT32_MAX;

// Low 32 bits of ticks; values truncate toward zero, INT32_MIN when not a number or beyond 32
// bits. Without a row, ticks are the value and every text 0. Each leaves the converter on its code.
TEST(PriceMembersTest, ConversionsTruncateWithinThirtyTwoBits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<int, long, double> toDecimal[] = {
        {6, 1234, 38.5625},
        {9, 1235, 9.6484375},
        {0, 1234, 1234.0},
        {17, 0xFFFFFFFFL, -1.0},
    };
    const std::tuple<int, double, long> toTicks[] = {
        {6, -38.5625, -1234},     {6, 12.34, 394},          {14, 0.29, 28},
        {17, kMax + 0.9, kMax},   {17, -kMax - 0.9, -kMax}, {17, kMax + 1.0, kMin},
        {17, kMin - 1.0, kMin},   {17, nan, kMin},          {17, -inf, kMin},
        {62, 21474.836475, kMax}, {62, 21474.83648, kMin},  {0, 1.5, 0},
        {0, nan, kMin},
    };
    const std::tuple<int, const char*, long> fromText[] = {
        {18, "  30.85", 1234},         {9, "9.207", 1178}, {17, " -7.9xyz", -7},
        {17, "1e999", kMin},           {17, "nan", kMin},  {14, "-12.-34", -1200},
        {57, "987654.321", 987654321}, {0, "1e400", 0},    {63, "nan", 0},
    };
    ATPrice converter;
    for (const auto& [code, ticks, value] : toDecimal) {
        EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(code), ticks), value);
        EXPECT_EQ(converter.GetPriceFormatCode(), code);
    }
    for (const auto& [code, value, ticks] : toTicks) {
        EXPECT_EQ(PriceMembers::DecimalToTicks(converter, PriceFormatCode(code), value), ticks)
            << code << " " << value;
    }
    for (const auto& [code, text, ticks] : fromText) {
        EXPECT_EQ(PriceMembers::DisplayToTicks(converter, PriceFormatCode(code), text), ticks)
            << code << " " << text;
        EXPECT_EQ(converter.GetPriceFormatCode(), code);
    }
}

}  // namespace
}  // namespace Lumera::detail
