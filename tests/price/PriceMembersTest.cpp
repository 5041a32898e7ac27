#include "wire_types/price/PriceMembers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>

namespace Lumera {
namespace {

constexpr long kMin = INT32_MIN;

TEST(PriceMembersTest, TicksToDecimalDividesByTheDivisor) {
    ATPrice converter;
    EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(6), 1234), 38.5625);
    EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(1), 12345), 61.725);
    EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(9), 1235), 9.6484375);
    EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(62), 1), 0.00001);
    EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(0), 1234), 1234.0);
    EXPECT_EQ(PriceMembers::TicksToDecimal(converter, PriceFormatCode(63), -5), -5.0);
    EXPECT_EQ(converter.GetPriceFormatCode(), 63);
    EXPECT_EQ(TicksToDecimalValue(0x100000000L - 1, 1), -1.0);
}

struct ToTicksCase {
    int code;
    double value;
    long ticks;
};

TEST(PriceMembersTest, DecimalToTicksTruncatesTowardZero) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const ToTicksCase cases[] = {
        {6, 38.5625, 1234},
        {6, -38.5625, -1234},
        {6, 12.34, 394},
        {14, 12.34, 1234},
        {14, 0.29, 28},
        {1, 61.725, 12345},
        {17, 2147483647.0, 2147483647},
        {17, 2147483647.9, 2147483647},
        {17, -2147483647.9, -2147483647},
        {17, -2147483648.0, kMin},
        {17, 2147483648.0, kMin},
        {17, -2147483649.0, kMin},
        {17, 1e300, kMin},
        {17, nan, kMin},
        {17, inf, kMin},
        {17, -inf, kMin},
        {62, 21474.836475, 2147483647},
        {62, 21474.83648, kMin},
        {0, 1.5, 0},
        {63, -1e300, 0},
        {0, nan, kMin},
        {0, inf, kMin},
    };
    ATPrice converter;
    for (const ToTicksCase& c : cases) {
        EXPECT_EQ(PriceMembers::DecimalToTicks(converter, PriceFormatCode(c.code), c.value),
                  c.ticks)
            << "code " << c.code << " value " << c.value;
    }
}

struct DisplayCase {
    int code;
    const char* text;
    long ticks;
};

TEST(PriceMembersTest, DisplayToTicksReadsTheTextAsADecimal) {
    const DisplayCase cases[] = {
        {6, "38.18", 1221}, {14, "12.34", 1234},  {18, "  30.85", 1234},  {9, "9.207", 1178},
        {17, "1234", 1234}, {17, "1e3", 1000},    {17, "0x10", 16},       {17, " -7.9xyz", -7},
        {17, "abc", 0},     {17, "1e999", kMin},  {17, "nan", kMin},      {0, "1.5", 0},
        {63, "99", 0},      {21, "1234.0", 1234}, {14, "-12.-34", -1200},
    };
    ATPrice converter;
    for (const DisplayCase& c : cases) {
        EXPECT_EQ(PriceMembers::DisplayToTicks(converter, PriceFormatCode(c.code), c.text), c.ticks)
            << "code " << c.code << " text " << c.text;
        EXPECT_EQ(converter.GetPriceFormatCode(), c.code);
    }
}

// Display text and back recovers the ticks for the plain decimal formats.
TEST(PriceMembersTest, DecimalDisplaysRoundTrip) {
    ATPrice converter;
    for (int code : {14, 17, 19, 38, 57, 59}) {
        for (long ticks : {0L, 1L, 99L, 1234L, 987654L, 1000000007L}) {
            const std::string text =
                PriceMembers::PriceFromTicks(converter, PriceFormatCode(code), ticks);
            EXPECT_EQ(PriceMembers::DisplayToTicks(converter, PriceFormatCode(code), text), ticks)
                << "code " << code << " text " << text;
        }
    }
}

TEST(PriceMembersTest, PassThroughMembersUseTheGivenCode) {
    ATPrice converter(PriceFormatCode(9));
    EXPECT_EQ(PriceMembers::PriceFromTicks(converter, PriceFormatCode(6), 1234), "38.18");
    EXPECT_EQ(converter.GetPriceFormatCode(), 6);
    EXPECT_EQ(PriceMembers::Divisor(converter, PriceFormatCode(14)), 100);
    EXPECT_EQ(converter.GetPriceFormatCode(), 14);
    EXPECT_EQ(PriceMembers::DecimalPlaces(converter, PriceFormatCode(62)), 6);
    EXPECT_EQ(converter.GetPriceFormatCode(), 62);
    EXPECT_EQ(PriceMembers::Divisor(converter, PriceFormatCode(0)), 0);
    EXPECT_EQ(PriceMembers::PriceFromTicks(converter, PriceFormatCode(0), 5), "");
    EXPECT_EQ(PriceMembers::DecimalPlaces(converter, PriceFormatCode(0)), 0);
}

}  // namespace
}  // namespace Lumera
