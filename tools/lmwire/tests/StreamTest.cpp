// A capture that is still being written is decoded as its records arrive, and one cut short is
// decoded up to its last whole record.

#include <gtest/gtest.h>

#include "RunTool.h"

namespace lmwire_test {
namespace {

std::string Slice(const Bytes& bytes, std::size_t first, std::size_t count) {
    return std::string(bytes.begin() + static_cast<long>(first),
                       bytes.begin() + static_cast<long>(first + count));
}

TEST(Stream, LinesAppearAsRecordsArriveThroughAPipe) {
    TempDir dir;
    const std::string capture = SynthPrices(dir, 6);
    const Bytes records = ReadFile(capture);
    const std::vector<std::string> expected =
        Lines(RunTool({"decode", "price-record", "--binary", capture}).out);
    ASSERT_EQ(expected.size(), 6u);

    LiveTool tool({"decode", "price-record", "--binary"});
    // Three records and half of the fourth: the three are shown while the writer waits.
    tool.Write(Slice(records, 0, 86 * 3 + 43));
    EXPECT_EQ(Lines(tool.WaitForLines(3, 20)),
              std::vector<std::string>(expected.begin(), expected.begin() + 3));
    tool.Write(Slice(records, 86 * 3 + 43, 86 * 2 - 43));
    EXPECT_EQ(Lines(tool.WaitForLines(5, 20)).size(), 5u);
    // The writer stops inside the last record: what came whole is out, the rest is reported.
    tool.Write(Slice(records, 86 * 5, 30));
    const Result result = tool.Finish();
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(Lines(result.out), std::vector<std::string>(expected.begin(), expected.begin() + 5));
    EXPECT_NE(result.err.find("460 bytes is not a whole number of 86-byte records (30 bytes over)"),
              std::string::npos)
        << result.err;
}

TEST(Stream, HexTextThroughAPipeIsDecodedAsItArrives) {
    TempDir dir;
    const Bytes records = ReadFile(SynthPrices(dir, 2));
    const std::string hex = ToHex(records);
    LiveTool tool({"decode", "price-record", "--json"});
    // A record and a digit more.
    tool.Write(hex.substr(0, 2 * 86 + 1));
    EXPECT_EQ(Lines(tool.WaitForLines(1, 20)).size(), 1u);
    tool.Write(hex.substr(2 * 86 + 1));
    const Result result = tool.Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(result.out).size(), 2u);
}

TEST(Stream, PartialDecodesEveryWholeRecordAndReportsTheRest) {
    TempDir dir;
    const std::string capture = SynthPrices(dir, 100);
    Bytes records = ReadFile(capture);
    const std::vector<std::string> whole =
        Lines(RunTool({"decode", "price-record", "--binary", capture}).out);
    records.resize(86 * 100 - 11);
    const std::string cut = dir.Path("cut.bin");
    WriteFile(cut, records);
    const std::vector<std::string> expected(whole.begin(), whole.begin() + 99);

    // From a file and from a pipe alike.
    for (const bool fromFile : {true, false}) {
        SCOPED_TRACE(fromFile ? "file" : "pipe");
        std::vector<std::string> args = {"decode", "price-record", "--binary", "--partial"};
        if (fromFile) {
            args.push_back(cut);
        }
        const Result result =
            RunTool(args, fromFile ? "" : std::string(records.begin(), records.end()));
        EXPECT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Lines(result.out), expected);
        EXPECT_NE(result.err.find("75 bytes after the last whole record (99 records)"),
                  std::string::npos)
            << result.err;
    }
    // A capture of whole records says nothing more.
    const Result exact = RunTool({"decode", "price-record", "--binary", "--partial", capture});
    EXPECT_EQ(exact.status, 0);
    EXPECT_EQ(exact.err, "");
    EXPECT_EQ(Lines(exact.out), whole);
}

TEST(Stream, APcapThroughAPipeIsDecodedAsItsPacketsArrive) {
    if (RunTool({"decode", "--help"}).out.find("--pcap TEXT") == std::string::npos) {
        GTEST_SKIP() << "lmwire was built without libpcap";
    }
    TempDir dir;
    const std::string pcap = dir.Path("live.pcap");
    ASSERT_EQ(RunTool({"synth", "prices", "50", "--pcap", pcap}).status, 0);
    const Bytes bytes = ReadFile(pcap);
    const std::vector<std::string> expected =
        Lines(RunTool({"decode", "price-record", "--pcap", pcap}).out);
    // The file header, the first packet (its captured length at 32, little-endian) and a part of
    // the second, and the writer waits: the first packet's lines are out before it goes on.
    const std::size_t frame = bytes[32] | std::size_t{bytes[33]} << 8;
    const std::size_t records = (frame - 42) / 86;
    const std::size_t first = 24 + 16 + frame + 20;
    LiveTool tool({"decode", "price-record", "--pcap", "-"});
    tool.Write(Slice(bytes, 0, first));
    EXPECT_EQ(Lines(tool.WaitForLines(records, 30)),
              std::vector<std::string>(expected.begin(), expected.begin() + records));
    tool.Write(Slice(bytes, first, bytes.size() - first));
    const Result result = tool.Finish();
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(Lines(result.out), expected);
}

}  // namespace
}  // namespace lmwire_test
