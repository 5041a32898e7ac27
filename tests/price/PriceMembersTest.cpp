#include "wire_types/price/detail/PriceMembers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <tuple>

namespace Lumera::detail {
namespace {

constexpr long kMin = INT32_MIN, kMax = INT32_MAX;

TEST(PriceMembersTest, TicksToDecimalDividesByTheDivisor) {
    // Only the low 32 bits of the ticks count.
    const std::tuple<int, long, double> cases[] = {
        {6, 1234, 38.5625}, {1, 12345, 61.725}, {9, 1235, 9.6484375},    {62, 1, 0.00001},
        {0, 1234, 1234.0},  {63, -5, -5.0},     {17, 0xFFFFFFFFL, -1.0},
    };
    ATPrice converter;
    for (const auto& [code, ticks, value] : cases) {
        EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(code), ticks), value)
            << "code " << code << " ticks " << ticks;
        EXPECT_EQ(converter.GetPriceFormatCode(), code);
    }
}

TEST(PriceMembersTest, DecimalToTicksTruncatesTowardZeroWithinThirtyTwoBits) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::tuple<int, double, long> cases[] = {
        {6, 38.5625, 1234},       {6, -38.5625, -1234},     {6, 12.34, 394},
        {14, 12.34, 1234},        {14, 0.29, 28},           {1, 61.725, 12345},
        {17, kMax + 0.9, kMax},   {17, -kMax - 0.9, -kMax}, {17, kMin, kMin},
        {17, kMax + 1.0, kMin},   {17, kMin - 1.0, kMin},   {17, 1e300, kMin},
        {17, nan, kMin},          {17, inf, kMin},          {17, -inf, kMin},
        {62, 21474.836475, kMax}, {62, 21474.83648, kMin},  {0, 1.5, 0},
        {63, -1e300, 0},          {0, nan, kMin},           {0, inf, kMin},
    };
    ATPrice converter;
    for (const auto& [code, value, ticks] : cases) {
        EXPECT_EQ(PriceMembers::DecimalToTicks(converter, PriceFormatCode(code), value), ticks)
            << "code " << code << " value " << value;
    }
}

// The text is read as a decimal; without a row every text is 0 ticks, however large or not a
// number.
TEST(PriceMembersTest, DisplayToTicksReadsTheTextAsADecimal) {
    const std::tuple<int, const char*, long> cases[] = {
        {6, "38.18", 1221},   {14, "12.34", 1234},    {18, "  30.85", 1234},
        {9, "9.207", 1178},   {17, "1e3", 1000},      {17, "0x10", 16},
        {17, " -7.9xyz", -7}, {17, "abc", 0},         {17, "1e999", kMin},
        {17, "nan", kMin},    {0, "1.5", 0},          {63, "99", 0},
        {21, "1234.0", 1234}, {14, "-12.-34", -1200}, {57, "987654.321", 987654321},
        {0, "1e400", 0},      {0, "-1e400", 0},       {0, "inf", 0},
        {0, "nan", 0},        {63, "-inf", 0},        {-5, "1e999", 0},
    };
    ATPrice converter;
    for (const auto& [code, text, ticks] : cases) {
        EXPECT_EQ(PriceMembers::DisplayToTicks(converter, PriceFormatCode(code), text), ticks)
            << "code " << code << " text " << text;
        EXPECT_EQ(converter.GetPriceFormatCode(), code);
    }
}

}  // namespace
}  // namespace Lumera::detail
