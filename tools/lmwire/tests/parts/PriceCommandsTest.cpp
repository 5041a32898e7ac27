// price, ticks and formats: their tables, and texts read as the original members read them.

#include <gtest/gtest.h>

#include "Parts.h"
#include "wire_types/orders/CLMWireOrder.h"

namespace lmwire_test {
namespace {

// The ticks column of a ticks table's rows (after a quoted text, which may hold blanks).
std::vector<std::string> TicksColumn(const std::string& table) {
    std::vector<std::string> ticks;
    for (const std::string& line : Lines(table)) {
        const std::size_t start = line.find_first_not_of(' ', line.find('"', 1) + 1);
        ticks.push_back(line.substr(start, line.find(' ', start) - start));
    }
    ticks.erase(ticks.begin());
    return ticks;
}

// The display is the one-sign text; the original members' appears only on request, and so does
// its reading of the display for the last column. The decimal keeps every digit of the ticks.
TEST(PriceCommand, TheTableIsAlignedUnderItsHeader) {
    EXPECT_EQ(Tool({"price", "9", "1232", "1233", "1234", "1235"}).out,
              "ticks  display    decimal  ticks from display\n"
              " 1232  \"9.200\"      9.625                1177\n"
              " 1233  \"9.202\"  9.6328125                1177\n"
              " 1234  \"9.205\"   9.640625                1178\n"
              " 1235  \"9.207\"  9.6484375                1178\n");
    EXPECT_EQ(Tool({"price", "9", "2147483647", "-2147483648", "-1", "--original-display"}).out,
              "      ticks          display  original display           decimal  ticks from "
              "display\n"
              " 2147483647   \"16777215.317\"    \"16777215.317\"  16777215.9921875          "
              "2147483560\n"
              "-2147483648  \"-16777216.000\"   \"-16777216.000\"         -16777216         "
              "-2147483648\n"
              "         -1         \"-0.002\"           \"0.002\"        -0.0078125           "
              "        0\n");
}

// A display is read exactly (codes 40 and 41 leave out the last digit, so a text gives the price
// nearest zero that shows so); with --as-decimal the number times the ticks per unit truncated,
// as the original members read it (0.29 x 100 falls just short of 29), up to the tick range's
// edges, -2147483648 included although the original gives it for a text out of range too.
TEST(TicksCommand, TextsAreReadExactlyOrAsDecimalsTruncated) {
    const std::vector<std::vector<std::string>> cases = {
        {"9", "9.205", "1234"},
        {"41", "9.20", "1235"},
        {"40", "-0.00", "-1"},
        {"14", " -12.34 ", "-1234"},
        {"--as-decimal", "17", "2147483647", "2147483647"},
        {"--as-decimal", "17", "-2147483648", "-2147483648"},
        {"--as-decimal", "17", "2147483647.9", "2147483647"},
        {"--as-decimal", "17", "-2147483648.9", "-2147483648"}};
    for (const std::vector<std::string>& c : cases) {
        std::vector<std::string> args = {"ticks"};
        args.insert(args.end(), c.begin(), c.end() - 1);
        args.insert(args.end() - 1, "--");
        SCOPED_TRACE(c[c.size() - 2]);
        EXPECT_EQ(TicksColumn(Tool(args).out), std::vector<std::string>{c.back()});
    }
    const std::vector<std::string> texts = {"38.5625", "-38.5625", "  30.85", "12.34",
                                            "0.29",    "-0.29",    "1e3"};
    for (const int code : {6, 14, 18}) {
        std::vector<std::string> args = {"ticks", std::to_string(code), "--as-decimal", "--"};
        args.insert(args.end(), texts.begin(), texts.end());
        Lumera::CLMWireOrder order;
        order.setPriceFormatCode(static_cast<Lumera::enumPriceFormatCode>(code));
        std::vector<std::string> expected;
        for (const std::string& text : texts) {
            expected.push_back(std::to_string(order.DisplayToTicks(text)));
        }
        EXPECT_EQ(TicksColumn(Tool(args).out), expected) << code;
    }
}

TEST(FormatsCommand, EveryCodeHasARowAndTheOriginalDisplayOnRequest) {
    const std::vector<std::string> lines = Lines(Tool({"formats", "--original-display"}).out);
    ASSERT_EQ(lines.size(), 63u);
    EXPECT_EQ(lines[0],
              "code  divisor  places      1 tick  1234 ticks  -1234 ticks  original "
              "display");
    EXPECT_EQ(lines[1],
              "   1      200       3     \"0.005\"     \"6.170\"     \"-6.170\"        "
              " \"-6.-170\"");
    EXPECT_EQ(lines[14],
              "  14      100       2      \"0.01\"     \"12.34\"     \"-12.34\"         "
              "\"-12.-34\"");
    EXPECT_EQ(lines[41],
              "  41      128       3     \"0.000\"     \"9.205\"     \"-9.205\"          "
              "\"-9.-20\"");
    EXPECT_EQ(Lines(Tool({"formats"}).out)[14],
              "  14      100       2      \"0.01\"     \"12.34\"     \"-12.34\"");
}

}  // namespace
}  // namespace lmwire_test
