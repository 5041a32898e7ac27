#include "wire_types/price/Price.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "SampleCount.h"
#include "WideLong.h"
#include "wire_types/price/detail/ATPrice.h"

namespace Lumera {
namespace {

using price::Display;
using price::Parse;

// Ticks worth trying in a row: the edges of the range and of the row's steps, and a sample.
std::vector<std::int32_t> TicksFor(const price::FormatInfo& row, std::mt19937& random) {
    std::vector<std::int32_t> ticks = {0, 1, -1, 2, -2, INT32_MAX, INT32_MIN, INT32_MIN + 1};
    const std::int32_t unit = row.ticksPerUnit;
    for (const std::int64_t base :
         {std::int64_t{unit}, std::int64_t{unit} * 7, std::int64_t{unit} * 1000}) {
        for (int delta = -5; delta <= 5; ++delta) {
            const std::int64_t t = base + delta;
            if (t <= INT32_MAX) {
                ticks.push_back(static_cast<std::int32_t>(t));
                ticks.push_back(static_cast<std::int32_t>(-t));
            }
        }
    }
    std::uniform_int_distribution<std::int32_t> any(INT32_MIN, INT32_MAX);
    std::uniform_int_distribution<std::int32_t> near(-50 * unit, 50 * unit);
    for (int i = 0; i < lmwire_test::SampleCount(400); ++i) {
        ticks.push_back(any(random));
        ticks.push_back(near(random));
    }
    return ticks;
}

TEST(PriceFormats, SixtyTwoRowsThatAgreeWithTheConverter) {
    ASSERT_EQ(price::end() - price::begin(), 62);
    ATPrice converter;
    std::int32_t expected = 1;
    for (const price::FormatInfo* row = price::begin(); row != price::end(); ++row, ++expected) {
        const auto code = static_cast<enumPriceFormatCode>(row->code);
        EXPECT_EQ(row->code, expected);
        EXPECT_EQ(price::Find(expected), row);
        EXPECT_EQ(row->ticksPerUnit, converter.GetPriceFormatCodeDivisor(code)) << row->code;
        EXPECT_EQ(row->decimalPlaces, converter.GetDecimalPlaces(code)) << row->code;
    }
    for (const long code : {0L, 63L, -1L, LONG_MIN, LONG_MAX, lmwire_test::WithBit32(6)}) {
        if (code == 6) {
            continue;  // a 32-bit long has no high bits to lose
        }
        EXPECT_EQ(price::Find(code), nullptr) << code;
        EXPECT_EQ(Display(code, 1234), "");
        EXPECT_EQ(Parse(code, "0"), std::nullopt);
        EXPECT_EQ(price::ToDecimal(code, -1234), -1234.0);
        EXPECT_EQ(price::FromDecimal(code, 1.0), std::nullopt);
    }
}

TEST(PriceDisplay, NonNegativePricesReadAsTheOriginalMembersAndNegativesCarryOneSign) {
    std::mt19937 random(14);
    ATPrice converter;
    for (const price::FormatInfo* row = price::begin(); row != price::end(); ++row) {
        const auto code = static_cast<enumPriceFormatCode>(row->code);
        for (const std::int32_t ticks : TicksFor(*row, random)) {
            const std::string text = Display(row->code, ticks);
            ASSERT_LT(text.size(), price::kMaxDisplayLength);  // room for writing in place
            if (ticks >= 0) {
                ASSERT_EQ(text, converter.getDisplayString(ticks, code))
                    << row->code << " " << ticks;
                continue;
            }
            if (ticks == INT32_MIN) {
                continue;  // no 32-bit magnitude to compare with; checked by example below
            }
            // The magnitude's text, with a blank of its padding (if any) turned into the sign.
            const std::string positive =
                converter.getDisplayString(-static_cast<long>(ticks), code);
            const std::size_t digit = positive.find_first_not_of(' ');
            std::string expected = positive;
            if (digit == 0) {
                // Appended rather than inserted: GCC 12 warns falsely about the insertion.
                expected.assign(1, '-');
                expected += positive;
            } else {
                expected[digit - 1] = '-';
            }
            ASSERT_EQ(text, expected) << row->code << " " << ticks;
        }
    }
    EXPECT_EQ(Display(18, -20), "  -0.50");
    EXPECT_EQ(Display(17, INT32_MIN), "-2147483648");
    EXPECT_EQ(Display(14, INT32_MIN), "-21474836.48");
}

TEST(PriceDisplay, DisplayToWritesOnlyWhereItFits) {
    char buffer[price::kMaxDisplayLength + 4];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    EXPECT_EQ(price::DisplayTo(buffer, buffer + 6, 18, -1234), nullptr);
    EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
    EXPECT_EQ(price::DisplayTo(buffer, buffer + 7, 18, -1234), buffer + 7);
    EXPECT_EQ(std::string(buffer, buffer + 8), " -30.85#");
    EXPECT_EQ(price::DisplayTo(buffer, buffer, 0, 5), buffer);
    EXPECT_EQ(price::DisplayTo(buffer, buffer + price::kMaxDisplayLength, 21, INT32_MIN) - buffer,
              13);
}

TEST(PriceParse, InvertsDisplayForEveryCode) {
    std::mt19937 random(41);
    std::set<std::int32_t> shared;  // codes where two prices share a text
    for (const price::FormatInfo* row = price::begin(); row != price::end(); ++row) {
        for (const std::int32_t ticks : TicksFor(*row, random)) {
            const std::string text = Display(row->code, ticks);
            const std::optional<std::int32_t> parsed = Parse(row->code, text);
            ASSERT_TRUE(parsed.has_value()) << row->code << " '" << text << "'";
            ASSERT_EQ(Display(row->code, *parsed), text) << row->code;
            EXPECT_EQ(Parse(row->code, "  " + text + " "), parsed);
            if (*parsed != ticks) {
                shared.insert(row->code);
                // The one nearest zero of those that share the text.
                ASSERT_LT(std::abs(std::int64_t{*parsed}), std::abs(std::int64_t{ticks}));
            }
        }
    }
    EXPECT_EQ(shared, (std::set<std::int32_t>{40, 41, 58}));
}

// Beyond the round trip: padded rows take the text unpadded, shared texts give the price nearest
// zero, and all else is refused (a NUL too: code 41 prints nothing for one remainder).
TEST(PriceParse, TakesWhatDisplayCouldHaveWrittenAndRefusesEveryOtherText) {
    const std::pair<long, std::vector<std::pair<std::string_view, std::int32_t>>> taken[] = {
        {18, {{"30.85", 1234}, {"-30.85", -1234}}}, {41, {{"9.20", 1235}}}, {40, {{"-0.00", -1}}}};
    for (const auto& [code, texts] : taken) {
        for (const auto& [text, ticks] : texts) {
            EXPECT_EQ(Parse(code, text), ticks) << code << " '" << text << "'";
        }
    }
    using namespace std::string_view_literals;
    const std::pair<long, std::vector<std::string_view>> refused[] = {
        {9, {"9.209", "9.2055"}},
        {14,
         {"-0.00", "-0", "0", "", "-", "+1.00", "12.3", "12.345", "012.34", "12,34", "1 2.34",
          "12.34\t", "12.34x", "21474836.48", "-21474836.49", "12.34\0"sv}},
        {17, {"2147483648", "1e3"}},
        {6, {"38.32", "38.5"}},
        {30, {"123.55"}},
        {41, {"9.207", "9.20\0"sv}},
        {58, {"1.2300"}}};
    for (const auto& [code, texts] : refused) {
        for (const std::string_view text : texts) {
            EXPECT_EQ(Parse(code, text), std::nullopt) << code << " '" << text << "'";
        }
    }
}

TEST(PriceDecimal, RoundsToTheNearestTick) {
    EXPECT_EQ(price::ToDecimal(6, 1234), 38.5625);
    EXPECT_EQ(price::FromDecimal(14, 0.29), 29);
    EXPECT_EQ(price::FromDecimal(6, -38.5625), -1234);
    EXPECT_EQ(price::FromDecimal(17, 2.5), 3);
    EXPECT_EQ(price::FromDecimal(17, -2.5), -3);
    EXPECT_EQ(price::FromDecimal(17, 2147483647.4), INT32_MAX);
    EXPECT_EQ(price::FromDecimal(17, -2147483648.4), INT32_MIN);
    const double inf = std::numeric_limits<double>::infinity();
    for (const double bad : {2147483647.5, -2147483648.5, 1e300, inf, -inf,
                             std::numeric_limits<double>::quiet_NaN()}) {
        EXPECT_EQ(price::FromDecimal(17, bad), std::nullopt) << bad;
    }
    std::mt19937 random(62);
    for (const price::FormatInfo* row = price::begin(); row != price::end(); ++row) {
        for (const std::int32_t ticks : TicksFor(*row, random)) {
            ASSERT_EQ(price::FromDecimal(row->code, price::ToDecimal(row->code, ticks)), ticks)
                << row->code;
        }
    }
}

}  // namespace
}  // namespace Lumera
