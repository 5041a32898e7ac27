// Network captures through libpcap: pcaps made by Wireshark's text2pcap from records built here
// are decoded field by field, and tshark reads the datagrams of the pcap that synth writes. The
// frames and headers themselves are read by the parts' own tests.

#include <gtest/gtest.h>

#include <set>

#include "RunTool.h"
#include "wire_types/price/PriceRecord.h"

namespace lmwire_test {
namespace {

void ShellOk(const std::string& command) {
    ASSERT_EQ(Shell(command), 0) << command;
}

Bytes Record(int seed) {
    Lumera::PriceRecordBuilder builder;
    const std::int32_t last = seed % 2 == 0 ? 1234 + seed : -5000 - seed;
    builder.PriceType(static_cast<std::uint8_t>(seed))
        .PriceFormatCode(static_cast<std::uint8_t>(1 + seed % 62))
        .LastSize(static_cast<std::uint16_t>(65535 - seed))
        .LumeraID(static_cast<std::uint16_t>(100 + seed))
        .LastPrice(last)
        .TotalVolume(1'000'000 * seed)
        .TimeStamp(1'700'000'000 + seed)
        .High(last + 7)
        .Low(last - 9);
    for (int level = 0; level < 10; ++level) {
        builder.Bid(level, last - 1 - level * (seed % 3 + 1), static_cast<std::uint16_t>(level));
        builder.Ask(level, last + 1 + level, static_cast<std::uint16_t>(seed * 10 + level));
    }
    const auto bytes = builder.Bytes();
    return Bytes(bytes.begin(), bytes.end());
}

Bytes Concat(const std::vector<Bytes>& parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The field values the JSON line must show for the record `bytes`.
void ExpectRecord(const Json& line, const Bytes& bytes) {
    const Lumera::PriceRecordView view(bytes.data());
    EXPECT_EQ(line["PriceType"], view.PriceType());
    EXPECT_EQ(line["PriceFormatCode"], view.PriceFormatCode());
    EXPECT_EQ(line["LastSize"], view.LastSize());
    EXPECT_EQ(line["LumeraID"], view.LumeraID());
    EXPECT_EQ(line["LastPrice"], view.LastPrice());
    EXPECT_EQ(line["TotalVolume"], view.TotalVolume());
    EXPECT_EQ(line["TimeStamp"], view.TimeStamp());
    EXPECT_EQ(line["High"], view.High());
    EXPECT_EQ(line["Low"], view.Low());
    for (int level = 0; level < 10; ++level) {
        const auto at = static_cast<std::size_t>(level);
        EXPECT_EQ(line["Bids"][at]["Price"], view.Bid(level).price);
        EXPECT_EQ(line["Bids"][at]["Size"], view.Bid(level).size);
        EXPECT_EQ(line["Asks"][at]["Price"], view.Ask(level).price);
        EXPECT_EQ(line["Asks"][at]["Size"], view.Ask(level).size);
    }
}

std::vector<Json> JsonLines(const std::string& out) {
    std::vector<Json> lines;
    for (const std::string& line : Lines(out)) {
        lines.push_back(Json::parse(line));
    }
    return lines;
}

TEST(Pcap, DatagramsOfText2pcapAreDecodedFieldByFieldAndOthersCounted) {
    LMWIRE_REQUIRE_PCAP_TOOLS("text2pcap");
    TempDir dir;
    const std::vector<Bytes> records = {Record(1), Record(2), Record(3), Record(4)};
    // One record, three records, then datagrams of 100 and 85 bytes.
    const std::string dump =
        Text2pcapDump("2025-01-02T03:04:05.123456", records[0]) +
        Text2pcapDump("2025-01-02T03:04:05.5", Concat({records[1], records[2], records[3]})) +
        Text2pcapDump("2025-01-02T03:04:06.000001", Bytes(100, 7)) +
        Text2pcapDump("2025-01-02T03:04:07.0", Bytes(85, 1)) +
        // Other traffic of the records' length: a DNS query (code 148) and zero padding.
        Text2pcapDump("2025-01-02T03:04:08.0", Concat({{0x12, 0x94}, Bytes(84, 0x41)})) +
        Text2pcapDump("2025-01-02T03:04:09.0", Bytes(172, 0));
    WriteText(dir.Path("dump.txt"), dump);
    for (const std::string format : {"pcap", "pcapng"}) {
        SCOPED_TRACE(format);
        const std::string pcap = dir.Path("capture." + format);
        ShellOk("text2pcap -q -F " + format + " -t '%Y-%m-%dT%H:%M:%S.%f' -4 10.1.2.3,239.1.1.7 " +
                "-u 40001,9100 " + dir.Path("dump.txt") + " " + pcap);
        const Result result = RunTool({"decode", "price-record", "--pcap", pcap, "--json"});
        ASSERT_EQ(result.status, 0) << result.err;
        const std::vector<Json> lines = JsonLines(result.out);
        ASSERT_EQ(lines.size(), 4u);
        const char* const times[] = {"2025-01-02T03:04:05.123456Z", "2025-01-02T03:04:05.500000Z",
                                     "2025-01-02T03:04:05.500000Z", "2025-01-02T03:04:05.500000Z"};
        for (std::size_t i = 0; i < lines.size(); ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(lines[i]["CaptureTime"], times[i]);
            EXPECT_EQ(lines[i]["Source"], "10.1.2.3");
            EXPECT_EQ(lines[i]["SourcePort"], 40001);
            EXPECT_EQ(lines[i]["Destination"], "239.1.1.7");
            EXPECT_EQ(lines[i]["DestinationPort"], 9100);
            ExpectRecord(lines[i], records[i]);
        }
        EXPECT_NE(result.err.find("2 datagrams decoded, 4 packets skipped: 2 length not a "
                                  "positive multiple of 86, 2 format code without a row"),
                  std::string::npos)
            << result.err;
    }
}

TEST(Pcap, Ipv6DatagramsAreChosenByPortWhenPortsAreNamed) {
    LMWIRE_REQUIRE_PCAP_TOOLS("text2pcap");
    TempDir dir;
    const Bytes record = Record(6);
    WriteText(dir.Path("dump.txt"), Text2pcapDump("2025-01-02T00:00:00.0", record));
    for (const int port : {9100, 9200, 9300}) {
        ShellOk("text2pcap -q -t '%Y-%m-%dT%H:%M:%S.%f' -6 2001:db8::5,ff15::1 -u 5000," +
                std::to_string(port) + " " + dir.Path("dump.txt") + " " +
                dir.Path(std::to_string(port) + ".pcapng"));
    }
    ShellOk("mergecap -a -w " + dir.Path("all.pcapng") + " " + dir.Path("9100.pcapng") + " " +
            dir.Path("9200.pcapng") + " " + dir.Path("9300.pcapng"));
    const std::string all = dir.Path("all.pcapng");
    const Result byLength = RunTool({"decode", "price-record", "--pcap", all});
    EXPECT_EQ(Lines(byLength.out).size(), 3u);
    const Result byPort = RunTool(
        {"decode", "price-record", "--pcap", all, "--port", "9300", "--port", "9100", "--csv"});
    ASSERT_EQ(byPort.status, 0) << byPort.err;
    const std::vector<std::string> lines = Lines(byPort.out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("capture_time,source,source_port,destination,destination_port,"
                             "price_type,",
                             0),
              0u);
    EXPECT_EQ(lines[1].rfind("2025-01-02T00:00:00.000000Z,2001:db8::5,5000,ff15::1,9100,6,", 0), 0u)
        << lines[1];
    EXPECT_NE(lines[2].find(",ff15::1,9300,"), std::string::npos) << lines[2];
    EXPECT_NE(byPort.err.find("1 other port"), std::string::npos) << byPort.err;
    const Result text = RunTool({"decode", "price-record", "--pcap", all, "--port", "9200"});
    EXPECT_EQ(text.out.rfind("CaptureTime=2025-01-02T00:00:00.000000Z Source=[2001:db8::5]:5000 "
                             "Destination=[ff15::1]:9200 PriceType=6 ",
                             0),
              0u)
        << text.out;
}

TEST(Pcap, TsharkReadsTheRecordsOfSynthAsUdpPayloads) {
    LMWIRE_REQUIRE_PCAP_TOOLS("tshark");
    TempDir dir;
    ASSERT_EQ(RunTool({"synth", "prices", "500", dir.Path("raw.bin"), "--seed", "3"}).status, 0);
    const Result synth =
        RunTool({"synth", "prices", "500", "--pcap", dir.Path("synth.pcap"), "--seed", "3",
                 "--source", "[2001:db8::7]:41000", "--destination", "[ff15::77]:9555"});
    ASSERT_EQ(synth.status, 0) << synth.err;
    ShellOk("tshark -r " + dir.Path("synth.pcap") +
            " -o udp.check_checksum:TRUE -T fields -e ipv6.src -e ipv6.dst -e udp.srcport " +
            "-e udp.dstport -e udp.checksum.status -e udp.payload > " + dir.Path("fields.txt"));
    const Bytes fields = ReadFile(dir.Path("fields.txt"));
    std::string payloads;
    std::size_t datagrams = 0;
    for (const std::string& line : Lines(std::string(fields.begin(), fields.end()))) {
        const std::string prefix = "2001:db8::7\tff15::77\t41000\t9555\t1\t";
        ASSERT_EQ(line.rfind(prefix, 0), 0u) << line;
        const std::string payload = line.substr(prefix.size());
        EXPECT_EQ(payload.size() % 172, 0u);
        EXPECT_LE(payload.size(), 172u * 5);
        payloads += payload;
        ++datagrams;
    }
    EXPECT_EQ(payloads, ToHex(ReadFile(dir.Path("raw.bin"))));
    EXPECT_GT(datagrams, 500u / 5);
    EXPECT_LT(datagrams, 500u / 2);

    // And back: the decoded lines of the pcap give the raw records.
    const Result json =
        RunTool({"decode", "price-record", "--pcap", dir.Path("synth.pcap"), "--json"});
    const Result back = RunTool({"encode", "price-record", "--from-jsonl", "-", "-"}, json.out);
    ASSERT_EQ(back.status, 0) << back.err;
    EXPECT_EQ(Bytes(back.out.begin(), back.out.end()), ReadFile(dir.Path("raw.bin")));
}

TEST(Pcap, ACaptureCutShortGivesEveryWholePacketThenTheSummaryThenTheCut) {
    LMWIRE_REQUIRE_PCAP_TOOLS("editcap");
    TempDir dir;
    ASSERT_EQ(RunTool({"synth", "prices", "1000", "--pcap", dir.Path("full.pcap")}).status, 0);
    ShellOk("editcap -F pcapng " + dir.Path("full.pcap") + " " + dir.Path("full.pcapng"));
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
        const std::string whole = std::to_string(times.size() - 1) + " whole packets (truncated";
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
    // The skip summary comes before the line that names the cut.
    const Result skipped =
        RunTool({"decode", "price-record", "--pcap", dir.Path("cut.pcap"), "--port", "1"});
    EXPECT_EQ(skipped.status, 2);
    const std::size_t summary = skipped.err.find("other port\n");
    ASSERT_NE(summary, std::string::npos) << skipped.err;
    EXPECT_NE(skipped.err.find("ends inside the packet", summary), std::string::npos)
        << skipped.err;
}

TEST(Pcap, ACaptureGivenAsRecordsIsRecognisedAndRefused) {
    LMWIRE_REQUIRE_PCAP_TOOLS("editcap");
    TempDir dir;
    const std::string pcap = dir.Path("s.pcap");
    ASSERT_EQ(RunTool({"synth", "prices", "20", "--pcap", pcap}).status, 0);
    ShellOk("editcap -F pcapng " + pcap + " " + dir.Path("s.pcapng"));
    ShellOk("editcap -F nsecpcap " + pcap + " " + dir.Path("s.nsec"));
    WriteText(dir.Path("s.txt"), "not a capture");
    for (const std::string name : {"s.pcap", "s.pcapng", "s.nsec"}) {
        for (const bool binary : {false, true}) {
            SCOPED_TRACE(name + (binary ? " binary" : " hex"));
            std::vector<std::string> args = {"decode", "price-record", dir.Path(name)};
            if (binary) {
                args.push_back("--binary");
            }
            const Result result = RunTool(args);
            EXPECT_EQ(result.status, 2);
            EXPECT_EQ(result.out, "");
            EXPECT_NE(result.err.find("this is a pcap capture: add --pcap"), std::string::npos)
                << result.err;
        }
    }
    const Result text = RunTool({"decode", "price-record", "--pcap", dir.Path("s.txt")}, "");
    EXPECT_NE(text.err.find("as a pcap or pcapng capture"), std::string::npos) << text.err;
    // Big-endian writers, on standard input.
    for (const std::string& magic :
         std::vector<std::string>{"\xA1\xB2\xC3\xD4", "\xA1\xB2\x3C\x4D",
                                  std::string("\x0A\x0D\x0D\x0A\0\0\0\x1C\x1A\x2B\x3C\x4D", 12)}) {
        const Result result =
            RunTool({"decode", "price-record", "--binary", "-"}, magic + std::string(160, '\0'));
        EXPECT_EQ(result.status, 2);
        EXPECT_NE(result.err.find("add --pcap"), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace lmwire_test
