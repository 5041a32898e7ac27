// price, ticks and formats against the library's own conversions.

#include <gtest/gtest.h>

#include <charconv>
#include <sstream>

#include "RunTool.h"
#include "wire_types/orders/CLMWireOrder.h"

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

TEST(PriceCommand, RowsMatchTheLibraryForEveryTick) {
    const std::vector<std::string> ticks = {"1232",  "1233", "1234",       "1235",
                                            "-1234", "0",    "2147483647", "-2147483648"};
    for (const int code : {9, 14, 18, 41, 62}) {
        SCOPED_TRACE(code);
        std::vector<std::string> args = {"price", std::to_string(code)};
        args.insert(args.end(), ticks.begin(), ticks.end());
        const Result result = RunTool(args);
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), ticks.size() + 1);
        Lumera::CLMWireOrder order = OrderIn(code);
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            const long value = std::stol(ticks[i]);
            const std::vector<std::string> cells = Cells(lines[i + 1]);
            ASSERT_EQ(cells.size(), 4u) << lines[i + 1];
            EXPECT_EQ(cells[0], ticks[i]);
            EXPECT_EQ(cells[1], order.PriceFromTicks(value));
            EXPECT_EQ(ToDouble(cells[2]), order.TicksToDecimal(value));
            EXPECT_EQ(cells[3], std::to_string(order.DisplayToTicks(order.PriceFromTicks(value))));
        }
    }
}

TEST(PriceCommand, KnownDisplaysOfTheFractionalFormats) {
    const Result result = RunTool({"price", "9", "1232", "1233", "1234", "1235"});
    std::vector<std::string> displays;
    for (const std::string& line : Lines(result.out)) {
        displays.push_back(Cells(line)[1]);
    }
    EXPECT_EQ(displays, (std::vector<std::string>{"display", "9.200", "9.202", "9.205", "9.207"}));
}

TEST(TicksCommand, TextsAndDecimalValuesBecomeTheLibraryTicks) {
    const std::vector<std::string> texts = {"38.5625", "-38.5625", "  30.85",
                                            "12.34",   "0.29",     "1e3"};
    for (const int code : {6, 14, 18}) {
        SCOPED_TRACE(code);
        std::vector<std::string> args = {"ticks", std::to_string(code)};
        args.insert(args.end(), texts.begin(), texts.end());
        const Result result = RunTool(args);
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
            EXPECT_EQ(cells[2], order.PriceFromTicks(ticks));
        }
    }
}

TEST(FormatsCommand, SixtyTwoRowsMatchingTheLibrary) {
    const Result result = RunTool({"formats"});
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), 63u);
    for (int code = 1; code <= 62; ++code) {
        SCOPED_TRACE(code);
        const std::vector<std::string> cells = Cells(lines[code]);
        ASSERT_EQ(cells.size(), 6u) << lines[code];
        Lumera::CLMWireOrder order = OrderIn(code);
        EXPECT_EQ(cells[0], std::to_string(code));
        EXPECT_EQ(cells[1], std::to_string(order.GetPriceFormatCodeDivisor()));
        EXPECT_EQ(cells[3], order.PriceFromTicks(1));
        EXPECT_EQ(cells[4], order.PriceFromTicks(1234));
        EXPECT_EQ(cells[5], order.PriceFromTicks(-1234));
        // Decimal places are the characters after the point of one tick's display.
        const std::string one = order.PriceFromTicks(1);
        const std::size_t point = one.find('.');
        EXPECT_EQ(cells[2],
                  std::to_string(point == std::string::npos ? 0 : one.size() - point - 1));
    }
}

}  // namespace
}  // namespace lmwire_test

namespace lmwire_test {
namespace {

TEST(TicksCommand, ATextWithNoTickPriceIsRefusedOnOneLine) {
    // Code 17 counts whole units (divisor 1), so the tick range shows directly in the texts.
    const std::vector<std::pair<int, std::string>> refused = {
        {14, "3000000000"},  {14, "inf"},       {14, "-inf"},       {14, "nan"},
        {14, "-1e300"},      {14, "1e309"},     {17, "2147483648"}, {17, "-2147483649"},
        {17, " 2147483648"}, {6, "-67108864.5"}};
    for (const auto& [code, text] : refused) {
        SCOPED_TRACE(std::to_string(code) + " " + text);
        // After "--", so that "-inf" is not taken for an option.
        const Result result = RunTool({"ticks", std::to_string(code), "--", "1", text});
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        const std::vector<std::string> lines = Lines(result.err);
        ASSERT_EQ(lines.size(), 1u) << result.err;
        EXPECT_NE(lines[0].find("price text '" + text + "'"), std::string::npos) << lines[0];
    }
    // The edges of the range are tick prices, -2147483648 included although the library gives
    // it for a text out of range too; truncation keeps a fraction beyond them inside.
    const std::vector<std::string> kept = {"2147483647", "-2147483648", "2147483647.9",
                                           "-2147483648.9"};
    std::vector<std::string> args = {"ticks", "17"};
    args.insert(args.end(), kept.begin(), kept.end());
    const Result result = RunTool(args);
    ASSERT_EQ(result.status, 0) << result.err;
    const std::vector<std::string> lines = Lines(result.out);
    ASSERT_EQ(lines.size(), kept.size() + 1);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        EXPECT_EQ(Cells(lines[i + 1])[1], kept[i][0] == '-' ? "-2147483648" : "2147483647");
    }
}

}  // namespace
}  // namespace lmwire_test
