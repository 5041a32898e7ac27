// Decoded lines, JSON or CSV, go back to the capture they came from, byte for byte.

#include <gtest/gtest.h>

#include "RunTool.h"

namespace lmwire_test {
namespace {

TEST(EncodeLines, JsonAndCsvLinesGiveBackTheCaptureByteForByte) {
    TempDir dir;
    const std::string capture = SynthPrices(dir, 3000, 5);
    const Bytes original = ReadFile(capture);
    for (const std::string format : {"--json", "--csv"}) {
        SCOPED_TRACE(format);
        // The derived columns (texts, the time stamp in UTC) are shown but not read back.
        const Result decoded =
            RunTool({"decode", "price-record", "--binary", format, "--time-unit", "ms", capture});
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        const std::string lines = dir.Path("lines");
        WriteFile(lines, Bytes(decoded.out.begin(), decoded.out.end()));
        const std::string from = format == "--json" ? "--from-jsonl" : "--from-csv";
        const std::string rebuilt = dir.Path("rebuilt.bin");
        const Result encoded = RunTool({"encode", "price-record", from, lines, rebuilt});
        ASSERT_EQ(encoded.status, 0) << encoded.err;
        EXPECT_EQ(ReadFile(rebuilt), original);
        // And from standard input to standard output.
        const Result piped = RunTool({"encode", "price-record", from, "-", "-"}, decoded.out);
        ASSERT_EQ(piped.status, 0) << piped.err;
        EXPECT_EQ(piped.out, std::string(original.begin(), original.end()));
    }
}

TEST(EncodeLines, ABadLineIsRefusedByItsNumberAndField) {
    TempDir dir;
    const std::string capture = SynthPrices(dir, 3);
    const std::string json = RunTool({"decode", "price-record", "--binary", "--json", capture}).out;
    const std::string csv = RunTool({"decode", "price-record", "--binary", "--csv", capture}).out;
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        const std::size_t at = text.rfind(from);
        return text.replace(at, from.size(), to);
    };
    const std::string lastCsvSize = ",7258,121,";  // a size on the first line of the seed-1 market
    ASSERT_NE(csv.rfind(lastCsvSize), std::string::npos) << csv;
    struct Case {
        std::string from;
        std::string input;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"--from-jsonl", replaced(json, "\"LastSize\":", "\"LastSize\":7000"),
         "standard input line 3: LastSize: 7000"},
        {"--from-jsonl", replaced(json, "\"High\":", "\"Hi\":"), "line 3: unknown field 'Hi'"},
        {"--from-jsonl", json + "{\"PriceType\":1}\n", "line 4: PriceFormatCode is missing"},
        {"--from-jsonl", json + "PriceType=1\n", "line 4: not a JSON object"},
        {"--from-csv", replaced(csv, lastCsvSize, ",7258,-1,"),
         "line 2: Asks[6].Size: -1 is out of range"},
        {"--from-csv", replaced(csv, "high,", "highest,"), "line 1: unknown column 'highest'"},
        {"--from-csv", csv + "1,2\n", "line 5: 2 fields, the header has 52"},
        // The depth must lie within reach of the last price, as the record stores it.
        {"--from-jsonl", replaced(json, "{\"Price\":", "{\"Price\":1"),
         "line 3: Asks[9].Price 124062 is out of reach of LastPrice 24051"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const Result result =
            RunTool({"encode", "price-record", c.from, "-", dir.Path("out")}, c.input);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    const Result otherKind = RunTool({"encode", "logon-response", "--from-jsonl", "-", "-"}, json);
    EXPECT_EQ(otherKind.status, 2);
    EXPECT_NE(otherKind.err.find("encode price-record, not logon-response"), std::string::npos);
}

}  // namespace
}  // namespace lmwire_test
