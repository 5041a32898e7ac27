// Packet captures through the capture component: pcaps made by Wireshark's text2pcap from records
// built here are decoded field by field, and captures cut short. The frames and headers themselves
// are read by the parts' own tests; tshark reads synth's pcaps in the dissector's.

#include <gtest/gtest.h>

#include <set>

#include "RunTool.h"

namespace lmwire_test {
namespace {

// Datagrams that text2pcap wrote, in pcap and pcapng, IPv4 and IPv6: the records of those taken,
// each line with when, whence and whither they came, and the others counted.
TEST(Pcap, DatagramsOfText2pcapAreDecodedWithTheirCaptureColumns) {
    LMWIRE_REQUIRE_PCAP_TOOLS("text2pcap");
    TempDir dir;
    const Bytes records = ReadFile(SynthPrices(dir, 4));
    const std::vector<std::string> raw =
        Lines(RunTool({"decode", "price-record", "--json"}, ToHex(records)).out);
    ASSERT_EQ(raw.size(), 4u);
    const Bytes one(records.begin(), records.begin() + 86);
    const Bytes three(records.begin() + 86, records.end());
    // Then datagrams of 100 and 85 bytes, and other traffic of the records' length: a DNS query
    // (code 148) and zero padding.
    Bytes dns(86, 0x41);
    dns[0] = 0x12;
    dns[1] = 0x94;
    const std::string dump = Text2pcapDump("2025-01-02T03:04:05.123456", one) +
                             Text2pcapDump("2025-01-02T03:04:05.5", three) +
                             Text2pcapDump("2025-01-02T03:04:06.000001", Bytes(100, 7)) +
                             Text2pcapDump("2025-01-02T03:04:07.0", Bytes(85, 1)) +
                             Text2pcapDump("2025-01-02T03:04:08.0", dns) +
                             Text2pcapDump("2025-01-02T03:04:09.0", Bytes(172, 0));
    for (const std::string format : {"pcap", "pcapng"}) {
        SCOPED_TRACE(format);
        const std::string pcap =
            Text2pcap(dir, dump, "-F " + format + " -4 10.1.2.3,239.1.1.7 -u 40001,9100");
        const Result result = RunTool({"decode", "price-record", "--pcap", pcap, "--json"});
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), 4u);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            EXPECT_EQ(lines[i], std::string("{\"CaptureTime\":\"2025-01-02T03:04:") +
                                    (i == 0 ? "05.123456" : "05.500000") +
                                    "Z\",\"Source\":\"10.1.2.3\",\"SourcePort\":40001,"
                                    "\"Destination\":\"239.1.1.7\",\"DestinationPort\":9100," +
                                    raw[i].substr(1));
        }
        EXPECT_NE(result.err.find("2 datagrams decoded, 4 packets skipped: 2 length not a "
                                  "positive multiple of 86, 2 format code without a row"),
                  std::string::npos)
            << result.err;
        // A port named takes only its datagrams.
        const Result other = RunTool({"decode", "price-record", "--pcap", pcap, "--port", "9300"});
        EXPECT_NE(other.err.find("6 packets skipped: 6 other port"), std::string::npos)
            << other.err;
    }
}

// Without --binary or --pcap the first bytes say what the input is, compressed by the tool or
// by zstd and gzip, from a file or a pipe.
TEST(Pcap, DecodeTellsEveryKindOfInputByItsFirstBytes) {
    LMWIRE_REQUIRE_PCAP_TOOLS("editcap");
    if (!Installed("zstd") || !Installed("gzip")) {
        GTEST_SKIP() << "zstd or gzip is not installed";
    }
    TempDir dir;
    const std::string raw = SynthPrices(dir, 300);
    const std::string pcap = dir.Path("p.pcap");
    ASSERT_EQ(RunTool({"synth", "prices", "300", "--pcap", pcap}).status, 0);
    ASSERT_EQ(RunTool({"synth", "prices", "300", dir.Path("s.zst"), "--compress", "19"}).status, 0);
    ASSERT_EQ(
        RunTool({"synth", "prices", "300", "--pcap", dir.Path("sp.zst"), "--compress", "1"}).status,
        0);
    WriteText(dir.Path("r.hex"), ToHex(ReadFile(raw)));
    ASSERT_EQ(
        Shell("cd " + dir.Path("") + " && editcap -F pcapng p.pcap p.pcapng && zstd -q " + raw +
              " -o r.zst && gzip -k p.pcap && zstd -q p.pcapng && cat r.zst r.zst " + ">rr.zst"),
        0);
    const std::string records = RunTool({"decode", "price-record", "--binary", raw, "--csv"}).out;
    const std::string packets = RunTool({"decode", "price-record", "--pcap", pcap, "--csv"}).out;
    const struct {
        std::string file;
        std::string expected;
    } rows[] = {{raw, records},
                {"r.hex", records},
                {"r.zst", records},
                {"s.zst", records},
                {"p.pcapng", packets},
                {"p.pcap.gz", packets},
                {"p.pcapng.zst", packets},
                {"sp.zst", packets},
                {"rr.zst", records + records.substr(records.find('\n') + 1)}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.file);
        const std::string path = row.file[0] == '/' ? row.file : dir.Path(row.file);
        EXPECT_EQ(RunTool({"decode", "price-record", path, "--csv"}).out, row.expected);
        const Bytes bytes = ReadFile(path);
        EXPECT_EQ(
            RunTool({"decode", "price-record", "--csv"}, std::string(bytes.begin(), bytes.end()))
                .out,
            row.expected);
    }
}

TEST(Pcap, ACaptureCutShortGivesEveryWholePacketThenTheSummaryThenTheCut) {
    LMWIRE_REQUIRE_PCAP_TOOLS("editcap");
    TempDir dir;
    ASSERT_EQ(RunTool({"synth", "prices", "1000", "--pcap", dir.Path("full.pcap")}).status, 0);
    ASSERT_EQ(Shell("editcap -F pcapng " + dir.Path("full.pcap") + " " + dir.Path("full.pcapng")),
              0);
    for (const std::string format : {"pcap", "pcapng"}) {
        SCOPED_TRACE(format);
        const std::string full = dir.Path("full." + format);
        std::vector<std::string> expected =
            Lines(RunTool({"decode", "price-record", "--pcap", full, "--json"}).out);
        // Each datagram has a capture time of its own: the last one is the one cut.
        std::set<std::string> times;
        for (const std::string& line : expected) {
            times.insert(Json::parse(line)["CaptureTime"].get<std::string>());
        }
        const Json last = Json::parse(expected.back())["CaptureTime"];
        while (Json::parse(expected.back())["CaptureTime"] == last) {
            expected.pop_back();
        }
        const std::string whole = std::to_string(times.size() - 1) + " whole packets (";
        Bytes bytes = ReadFile(full);
        bytes.resize(bytes.size() - 50);
        const std::string cut = dir.Path("cut." + format);
        WriteFile(cut, bytes);
        for (const bool partial : {false, true}) {
            for (const bool fromStdin : {false, true}) {
                SCOPED_TRACE(std::string(partial ? "partial " : "") +
                             (fromStdin ? "standard input" : "file"));
                std::vector<std::string> args = {"decode", "price-record", "--json", "--pcap",
                                                 fromStdin ? "-" : cut};
                if (partial) {
                    args.push_back("--partial");
                }
                const Result result =
                    RunTool(args, fromStdin ? std::string(bytes.begin(), bytes.end()) : "");
                EXPECT_EQ(result.status, partial ? 0 : 2) << result.err;
                EXPECT_TRUE(Lines(result.out) == expected) << Lines(result.out).size();
                EXPECT_NE(result.err.find(whole), std::string::npos) << result.err;
            }
        }
    }
    WriteText(dir.Path("not.pcap"), "not a capture");
    const Result text = RunTool({"decode", "price-record", "--pcap", dir.Path("not.pcap")});
    EXPECT_NE(text.err.find("is not a pcap or pcapng capture"), std::string::npos) << text.err;
    // The skip summary comes before the line that names the cut.
    const Result skipped =
        RunTool({"decode", "price-record", "--pcap", dir.Path("cut.pcap"), "--port", "1"});
    EXPECT_EQ(skipped.status, 2);
    const std::size_t summary = skipped.err.find("other port\n");
    ASSERT_NE(summary, std::string::npos) << skipped.err;
    EXPECT_NE(skipped.err.find("ends inside the packet", summary), std::string::npos)
        << skipped.err;
}

}  // namespace
}  // namespace lmwire_test
