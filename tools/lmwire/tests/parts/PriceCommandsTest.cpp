// price, ticks and formats against the original members and the stateless conversions.

#include <gtest/gtest.h>

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <sstream>

#include "Parts.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/price/Price.h"

namespace lmwire_test {
namespace {

// Cells of an aligned table row; quoted cells keep their inner blanks.
std::vector<std::string> Cells(const std::string& line) {
    std::vector<std::string> cells;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ') {
            ++i;
        } else if (line[i] == '"') {
            const std::size_t end = line.find('"', i + 1);
            cells.push_back(line.substr(i + 1, end - i - 1));
            i = end + 1;
        } else {
            const std::size_t end = std::min(line.find(' ', i), line.size());
            cells.push_back(line.substr(i, end - i));
            i = end;
        }
    }
    return cells;
}

double ToDouble(const std::string& text) {
    double value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

Lumera::CLMWireOrder OrderIn(int code) {
    Lumera::CLMWireOrder order;
    order.setPriceFormatCode(static_cast<Lumera::enumPriceFormatCode>(code));
    return order;
}

// The display is the one-sign text; the original members' appears only on request.
TEST(PriceCommand, RowsMatchTheLibraryForEveryTick) {
    const std::vector<std::string> ticks = {"1232",  "1233", "1234",       "1235",
                                            "-1234", "0",    "2147483647", "-2147483648"};
    for (const bool original : {false, true}) {
        for (const int code : {9, 14, 18, 41, 62}) {
            SCOPED_TRACE(std::to_string(code) + (original ? " --original-display" : ""));
            std::vector<std::string> args = {"price", std::to_string(code)};
            args.insert(args.end(), ticks.begin(), ticks.end());
            if (original) {
                args.push_back("--original-display");
            }
            const Outcome result = Tool(args);
            ASSERT_EQ(result.status, 0) << result.err;
            const std::vector<std::string> lines = Lines(result.out);
            ASSERT_EQ(lines.size(), ticks.size() + 1);
            Lumera::CLMWireOrder order = OrderIn(code);
            for (std::size_t i = 0; i < ticks.size(); ++i) {
                const long value = std::stol(ticks[i]);
                const std::string display = Lumera::price::Display(code, static_cast<int>(value));
                std::vector<std::string> expected = {ticks[i], display};
                if (original) {
                    expected.push_back(order.PriceFromTicks(value));
                }
                std::vector<std::string> cells = Cells(lines[i + 1]);
                ASSERT_EQ(cells.size(), expected.size() + 2) << lines[i + 1];
                EXPECT_EQ(ToDouble(cells[expected.size()]), order.TicksToDecimal(value));
                EXPECT_EQ(cells.back(), std::to_string(order.DisplayToTicks(display)));
                cells.resize(expected.size());
                EXPECT_EQ(cells, expected);
            }
        }
    }
}

TEST(PriceCommand, TheTableIsAlignedUnderItsHeader) {
    const Outcome result = Tool({"price", "9", "1232", "1233", "1234", "1235"});
    ASSERT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out,
              "ticks  display    decimal  ticks from display\n"
              " 1232  \"9.200\"      9.625                1177\n"
              " 1233  \"9.202\"  9.6328125                1177\n"
              " 1234  \"9.205\"   9.640625                1178\n"
              " 1235  \"9.207\"  9.6484375                1178\n");
    const Outcome original = Tool({"price", "14", "-1234", "--original-display"});
    EXPECT_EQ(original.out,
              "ticks   display  original display  decimal  ticks from display\n"
              "-1234  \"-12.34\"         \"-12.-34\"   -12.34               -1234\n");
}

TEST(TicksCommand, TextsAreReadExactlyOrAsDecimalsTruncated) {
    // 9.205 is 9 and 20.5/32; code 41 leaves out the last digit, so 9.20 is the nearest to zero
    // of the prices that show so; -0.00 is the first price below zero in code 40. As a decimal,
    // 38.18 x 32 = 1221.76 is truncated, and the edges of the tick range are taken, -2147483648
    // included although the library gives it for a text out of range too.
    const std::vector<std::vector<std::string>> cases = {
        {"9", "9.205", "1234"},
        {"41", "9.20", "1235"},
        {"40", "-0.00", "-1"},
        {"14", " -12.34 ", "-1234"},
        {"--as-decimal", "6", "38.18", "1221"},
        {"--as-decimal", "17", "2147483647", "2147483647"},
        {"--as-decimal", "17", "-2147483648", "-2147483648"},
        {"--as-decimal", "17", "2147483647.9", "2147483647"},
        {"--as-decimal", "17", "-2147483648.9", "-2147483648"}};
    for (const std::vector<std::string>& c : cases) {
        std::vector<std::string> args = {"ticks"};
        args.insert(args.end(), c.begin(), c.end() - 1);
        args.insert(args.end() - 1, "--");
        SCOPED_TRACE(c[c.size() - 2]);
        const Outcome result = Tool(args);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Cells(Lines(result.out).at(1))[1], c.back());
    }
}

TEST(TicksCommand, EveryOneSignDisplayReadsBackToItsPrice) {
    const std::vector<std::int32_t> prices = {0,  1,     7,          1234,        -1,
                                              -7, -1234, 2147483647, -2147483647, -2147483647 - 1};
    for (const Lumera::price::FormatInfo* format = Lumera::price::begin();
         format != Lumera::price::end(); ++format) {
        SCOPED_TRACE(format->code);
        std::vector<std::string> args = {"ticks", std::to_string(format->code), "--"};
        for (const std::int32_t price : prices) {
            args.push_back(Lumera::price::Display(format->code, price));
        }
        const Outcome result = Tool(args);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), prices.size() + 1);
        for (std::size_t i = 0; i < prices.size(); ++i) {
            const std::vector<std::string> cells = Cells(lines[i + 1]);
            ASSERT_EQ(cells.size(), 3u) << lines[i + 1];
            EXPECT_EQ(cells[2], args[i + 3]);
            // Codes 40, 41 and 58 show neighbouring prices alike, and give the one nearest zero.
            const bool shared = format->code == 40 || format->code == 41 || format->code == 58;
            if (!shared) {
                EXPECT_EQ(cells[1], std::to_string(prices[i]));
            } else {
                EXPECT_LE(std::abs(std::stoll(cells[1])), std::abs(std::int64_t{prices[i]}));
            }
        }
    }
}

TEST(TicksCommand, AsDecimalTruncatesAsTheOriginalReadingDoes) {
    const std::vector<std::string> texts = {"38.5625", "-38.5625", "  30.85",
                                            "12.34",   "0.29",     "1e3"};
    for (const int code : {6, 14, 18}) {
        SCOPED_TRACE(code);
        std::vector<std::string> args = {"ticks", std::to_string(code), "--as-decimal"};
        args.insert(args.end(), texts.begin(), texts.end());
        const Outcome result = Tool(args);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), texts.size() + 1);
        Lumera::CLMWireOrder order = OrderIn(code);
        for (std::size_t i = 0; i < texts.size(); ++i) {
            const std::vector<std::string> cells = Cells(lines[i + 1]);
            ASSERT_EQ(cells.size(), 3u) << lines[i + 1];
            EXPECT_EQ(cells[0], texts[i]);
            const long ticks = order.DisplayToTicks(texts[i]);
            EXPECT_EQ(cells[1], std::to_string(ticks));
            EXPECT_EQ(cells[2], Lumera::price::Display(code, static_cast<std::int32_t>(ticks)));
        }
    }
}

TEST(FormatsCommand, SixtyTwoRowsMatchingTheTableAndTheOriginalMembers) {
    const Outcome result = Tool({"formats"});
    const Outcome original = Tool({"formats", "--original-display"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    const std::vector<std::string> originalLines = Lines(original.out);
    ASSERT_EQ(lines.size(), 63u);
    ASSERT_EQ(originalLines.size(), 63u);
    EXPECT_EQ(Cells(originalLines[0]).back(), "display");
    for (int code = 1; code <= 62; ++code) {
        SCOPED_TRACE(code);
        const std::vector<std::string> cells = Cells(lines[code]);
        ASSERT_EQ(cells.size(), 6u) << lines[code];
        EXPECT_EQ(cells[5], Lumera::price::Display(code, -1234));
        // The table against the original members, which know it independently.
        Lumera::CLMWireOrder order = OrderIn(code);
        EXPECT_EQ(cells[0], std::to_string(code));
        EXPECT_EQ(cells[1], std::to_string(order.GetPriceFormatCodeDivisor()));
        EXPECT_EQ(cells[3], order.PriceFromTicks(1));
        EXPECT_EQ(cells[4], order.PriceFromTicks(1234));
        std::vector<std::string> withOriginal = cells;
        withOriginal.push_back(order.PriceFromTicks(-1234));
        EXPECT_EQ(Cells(originalLines[code]), withOriginal);
        // Decimal places are the characters after the point of one tick's display.
        const std::string one = order.PriceFromTicks(1);
        const std::size_t point = one.find('.');
        EXPECT_EQ(cells[2],
                  std::to_string(point == std::string::npos ? 0 : one.size() - point - 1));
    }
}

}  // namespace
}  // namespace lmwire_test
