// Decoded lines, JSON or CSV, go back to the capture they came from, byte for byte; a bad line is
// refused by its number and field, and every reader takes input up to its limit exactly.

#include <gtest/gtest.h>

#include "Parts.h"

namespace lmwire_test {
namespace {

std::string Synth(int count, int seed = 1) {
    const std::string path = TempFile("synth.bin");
    EXPECT_EQ(Tool({"synth", "prices", std::to_string(count), path, "--seed", std::to_string(seed)})
                  .status,
              0);
    return path;
}

TEST(EncodeLines, JsonAndCsvLinesGiveBackTheCaptureByteForByte) {
    const std::string capture = Synth(3000, 5);
    const std::string original = ReadText(capture);
    for (const std::string format : {"--json", "--csv"}) {
        SCOPED_TRACE(format);
        // The derived columns (texts, the time stamp in UTC) are shown but not read back.
        const Outcome decoded =
            Tool({"decode", "price-record", "--binary", format, "--time-unit", "ms", capture});
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        const std::string from = format == "--json" ? "--from-jsonl" : "--from-csv";
        // After the byte-order mark of an editor, with CRLF line ends.
        std::string lines = "\xEF\xBB\xBF";
        for (const std::string& line : Lines(decoded.out)) {
            lines += line + "\r\n";
        }
        const Outcome encoded = Tool({"encode", "price-record", from, "-", "-"}, lines);
        ASSERT_EQ(encoded.status, 0) << encoded.err;
        EXPECT_TRUE(encoded.out == original);
    }
}

TEST(EncodeLines, ABadLineIsRefusedByItsNumberAndField) {
    const std::string capture = Synth(3);
    const std::string json = Tool({"decode", "price-record", "--binary", "--json", capture}).out;
    const std::string csv = Tool({"decode", "price-record", "--binary", "--csv", capture}).out;
    // The last `from` of the JSON lines, or of the CSV (by default a size on its first line for
    // the seed-1 market), replaced by `to`.
    const auto replaced = [](std::string text, const std::string& from, const std::string& to) {
        const std::size_t at = text.rfind(from);
        return at == std::string::npos ? "" : text.replace(at, from.size(), to);
    };
    const auto J = [&](const std::string& from, const std::string& to) {
        return replaced(json, from, to);
    };
    const auto C = [&](const std::string& to, const std::string& from = ",7258,121,") {
        return replaced(csv, from, to);
    };
    // A fourth line, the first with its PriceType written as `number`.
    const auto priceType = [&json](const std::string& number) {
        const std::string line = Lines(json)[0];
        const std::size_t at = line.find("\"PriceType\":") + 12;
        return json + line.substr(0, at) + number + line.substr(line.find(',', at)) + "\n";
    };
    const std::string jl = "--from-jsonl", cs = "--from-csv";
    const std::vector<std::vector<std::string>> cases = {
        {jl, J("\"LastSize\":", "\"LastSize\":7000"), "line 3: LastSize: 7000"},
        {jl, J("\"High\":", "\"Hi\":"), "line 3: unknown field 'Hi'"},
        {jl, json + "{\"PriceType\":1}\n", "line 4: PriceFormatCode is missing"},
        {jl, json + "PriceType=1\n", "line 4: not a JSON object"},
        {cs, C(",7258,-1,"), "line 2: Asks[6].Size: -1 is out of range"},
        {cs, C(",7258,99999999999999999999,"),
         "Size: 99999999999999999999 is out of range 0..65535"},
        {cs, C(",7258,1e21,"), "line 2: Asks[6].Size: 1e21 is out of range 0..65535"},
        {cs, C(",\"7258,121,"), "a quoted field is not closed"},
        {jl, priceType("1e21"), "line 4: PriceType: 1e+21 is out of range 0..255"},
        {jl, priceType("1e999"), "line 4: PriceType: 1e999 is out of range 0..255"},
        {cs, C("highest,", "high,"), "line 1: unknown column 'highest'"},
        {cs, csv + "1,2\n", "line 5: 2 fields, the header has 52"},
        // The depth must lie within reach of the last price, as the record stores it.
        {jl, J("{\"Price\":", "{\"Price\":1"),
         "Asks[9].Price 124062 is out of reach of LastPrice 24051"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[2]);
        const Outcome result = Tool({"encode", "price-record", c[0], "-", "-"}, c[1]);
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find(c[2]), std::string::npos) << result.err;
    }
    const Outcome otherKind = Tool({"encode", "logon-response", "--from-jsonl", "-", "-"}, json);
    EXPECT_NE(otherKind.err.find("encode price-record, not logon-response"), std::string::npos);
}

// A line of exactly a reader's limit (its line break counted) is taken, one byte more refused.
TEST(EncodeLines, EveryReaderTakesInputUpToItsLimitExactly) {
    constexpr std::size_t kLine = std::size_t{1} << 20;
    Bytes zeros(86, 0);
    zeros[1] = 14;
    const std::string json = Tool({"decode", "price-record", "--json"}, ToHex(zeros)).out;
    const std::vector<std::string> csv =
        Lines(Tool({"decode", "price-record", "--csv"}, ToHex(zeros)).out);
    // Blanks before the end of a JSON object, or in a display text, which is not read back.
    const auto padded = [](const std::string& line, std::size_t length) {
        return line.substr(0, line.size() - 1) + std::string(length - line.size() - 1, ' ') +
               line.back() + "\n";
    };
    // An account contract whose name fills the variable kinds' cap: two blocks, "ES", the name.
    std::string contract(kLine, '\0');
    contract.replace(108, 2, "ES");
    std::fill(contract.begin() + 111, contract.end() - 1, 'n');
    const std::string hex = ToHex(Bytes(contract.begin(), contract.end()));
    // What is taken, and the byte (or hex digits) that one more adds `back` bytes before its end.
    const struct {
        std::string args, taken, more;
        std::size_t back;
        std::string message;
    } cases[] = {
        {"encode price-record --from-jsonl - -", padded(json.substr(0, json.size() - 1), kLine),
         " ", 2, "line 1: longer than 1048576 bytes"},
        {"encode price-record --from-csv - -", csv[0] + "\n" + padded(csv[1], kLine), " ", 2,
         "line 2: longer than 1048576 bytes"},
        {"decode account-contract --binary", contract, std::string(1, '\0'), 0,
         "account-contract: more than 1048576 bytes"},
        {"decode account-contract", hex, "00", 0, "account-contract: more than 1048576 bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args);
        const Outcome taken = Tool(Words(c.args), c.taken);
        EXPECT_EQ(taken.status, 0) << taken.err;
        EXPECT_NE(taken.out, "");
        const Outcome refused =
            Tool(Words(c.args), std::string(c.taken).insert(c.taken.size() - c.back, c.more));
        EXPECT_EQ(refused.status, 2);
        EXPECT_NE(refused.err.find(c.message), std::string::npos) << refused.err;
    }
}

}  // namespace
}  // namespace lmwire_test
