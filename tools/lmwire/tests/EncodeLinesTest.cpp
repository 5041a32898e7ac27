// Decoded lines, JSON or CSV, go back to the capture they came from, byte for byte.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <filesystem>

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
        // And from standard input to standard output, after the byte-order mark of an editor.
        const Result piped =
            RunTool({"encode", "price-record", from, "-", "-"}, "\xEF\xBB\xBF" + decoded.out);
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
    // A fourth line, the first with its PriceType written as `number`.
    const auto priceType = [&json](const std::string& number) {
        Json record = Json::parse(Lines(json)[0]);
        record["PriceType"] = "@";
        const std::string line = record.dump();
        const std::size_t at = line.find("\"@\"");
        return json + line.substr(0, at) + number + line.substr(at + 3) + "\n";
    };
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
        // Out of range in the field's own terms, however far out and however written.
        {"--from-csv", replaced(csv, lastCsvSize, ",7258,99999999999999999999,"),
         "line 2: Asks[6].Size: 99999999999999999999 is out of range 0..65535"},
        {"--from-csv", replaced(csv, lastCsvSize, ",7258,1e21,"),
         "line 2: Asks[6].Size: 1e21 is out of range 0..65535"},
        {"--from-jsonl", priceType("1e21"), "line 4: PriceType: 1e+21 is out of range 0..255"},
        {"--from-jsonl", priceType("1e999"), "line 4: PriceType: 1e999 is out of range 0..255"},
        {"--from-jsonl", replaced(json, "\"Size\":", "\"Size\":1e999"),
         "line 3: Asks[9].Size: 1e999"},
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

// A named output is replaced whole or not at all: a failed or interrupted run leaves the file as
// it was (content and mode) and nothing beside it; a link keeps pointing at the new content.
TEST(EncodeLines, AFileIsReplacedOnlyByARunThatSucceeds) {
    TempDir dir;
    const std::string json =
        RunTool({"decode", "price-record", "--binary", "--json", SynthPrices(dir, 50)}).out;
    const std::string old = dir.Path("old.bin");
    const Bytes oldBytes(516000, 7);
    WriteFile(old, oldBytes);
    ASSERT_EQ(chmod(old.c_str(), 0640), 0);
    const auto mode = [](const std::string& path) {
        struct stat status {};
        return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0u;
    };
    const auto names = [&dir] {
        std::vector<std::string> found;
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path(""))) {
            found.push_back(entry.path().filename().string());
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    const auto before = names();
    // Bad at the end and at once; into an old file and a new one.
    for (const std::string& input : {json + "bad\n", "bad\n" + json}) {
        for (const std::string& out : {old, dir.Path("new.bin")}) {
            const Result result =
                RunTool({"encode", "price-record", "--from-jsonl", "-", out}, input);
            EXPECT_EQ(result.status, 2) << result.err;
        }
        EXPECT_EQ(ReadFile(old), oldBytes);
        EXPECT_EQ(mode(old), 0640u);
        EXPECT_EQ(names(), before);
    }
    // Stopped by a signal while writing: the same.
    ASSERT_EQ(
        WEXITSTATUS(Shell("timeout -s INT 0.3 " LMWIRE_TOOL " synth prices 2000000000 " + old)),
        124);
    EXPECT_EQ(ReadFile(old), oldBytes);
    EXPECT_EQ(names(), before);

    // Success through a link replaces its target, keeping the target's mode; a new file gets
    // the mode that the mask leaves.
    std::filesystem::create_symlink("old.bin", dir.Path("link"));
    ASSERT_EQ(
        RunTool({"encode", "price-record", "--from-jsonl", "-", dir.Path("link")}, json).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link")));
    EXPECT_EQ(ReadFile(old).size(), 50u * 86);
    EXPECT_EQ(mode(old), 0640u);
    const mode_t mask = umask(027);
    const Result fresh = RunTool({"synth", "prices", "1", dir.Path("new.bin")});
    umask(mask);
    ASSERT_EQ(fresh.status, 0) << fresh.err;
    EXPECT_EQ(mode(dir.Path("new.bin")), 0640u);
}

}  // namespace
}  // namespace lmwire_test
