// The Wireshark dissector, run by tshark: the fields of the records in synth's pcap, under the
// filter names the library spells, are those that lmwire decodes, and the display texts of every
// price format, negative prices included, are the library's (which lmwire's are too).

#include <gtest/gtest.h>

#include <map>

#include "RunTool.h"
#include "wire_types/price/Price.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire_test {
namespace {

const std::string kDissector = LMWIRE_DISSECTOR;

// The display filter name of a canonical name, as the dissector registers it.
std::string Filter(const char* name) {
    return Lumera::Spell(name, Lumera::Spelling::Wireshark);
}

// Every occurrence of each field (by filter name), in packet order, as tshark shows them with
// the dissector.
std::map<std::string, std::vector<std::string>> Dissected(const TempDir& dir,
                                                          const std::string& pcap,
                                                          const std::vector<std::string>& fields,
                                                          const std::string& options = "") {
    std::string command = "tshark -X lua_script:" + kDissector + " " + options + " -r " + pcap +
                          " -Y lmwire -T fields -E occurrence=a -E aggregator='|'";
    for (const std::string& field : fields) {
        command += " -e " + field;
    }
    const std::string out = dir.Path("fields.txt");
    EXPECT_EQ(Shell(command + " > " + out), 0) << command;
    std::map<std::string, std::vector<std::string>> values;
    for (const std::string& line : Lines(ReadText(out))) {
        const std::vector<std::string> columns = Lines(line + '\t', '\t');
        EXPECT_EQ(columns.size(), fields.size()) << line;
        for (std::size_t i = 0; i < fields.size() && i < columns.size(); ++i) {
            for (const std::string& value : Lines(columns[i] + '|', '|')) {
                values[fields[i]].push_back(value);
            }
        }
    }
    return values;
}

// The numbers of the packets that tshark shows through a display filter, with the tree shown
// (-T fields) or not (a summary line per packet, its number first).
std::vector<std::string> PacketsThrough(const TempDir& dir, const std::string& pcap,
                                        const std::string& filter, bool shown) {
    const std::string out = dir.Path("filtered.txt");
    EXPECT_EQ(Shell("tshark -X lua_script:" + kDissector + " -r " + pcap + " -Y '" + filter + "'" +
                    (shown ? " -T fields -e frame.number" : "") + " > " + out),
              0);
    std::vector<std::string> numbers;
    for (const std::string& line : Lines(ReadText(out))) {
        const std::size_t first = line.find_first_not_of(' ');
        numbers.push_back(line.substr(first, line.find(' ', first) - first));
    }
    return numbers;
}

// A pcap of UDP datagrams from port 4000 to `port`, one per text2pcap packet of `dump`: its path.
std::string Text2pcap(const TempDir& dir, const std::string& dump, int port) {
    return Text2pcap(dir, dump, "-4 10.0.0.1,10.0.0.2 -u 4000," + std::to_string(port));
}

// synth's pcap of IPv6 datagrams of whole records, from and to the ports asked for, checksums
// that tshark finds good: their payloads are the raw records of the seed, the dissector's fields
// are those that lmwire decodes, and the decoded lines encode back to the raw records.
TEST(Dissector, FieldsOfSynthRecordsAreThoseLmwireDecodes) {
    LMWIRE_REQUIRE_PCAP_TOOLS("tshark");
    TempDir dir;
    const std::string pcap = dir.Path("synth.pcap"), raw = dir.Path("raw.bin");
    ASSERT_EQ(RunTool({"synth", "prices", "300", raw, "--seed", "9"}).status, 0);
    ASSERT_EQ(RunTool({"synth", "prices", "300", "--pcap", pcap, "--seed", "9", "--source",
                       "[2001:db8::7]:41000", "--destination", "[ff15::77]:9555"})
                  .status,
              0);
    const Result decoded = RunTool({"decode", "price-record", "--pcap", pcap, "--json"});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    // Scalars by their JSON key; depth fields by side and level, all levels in one field too.
    std::vector<std::string> scalars = {"LastPriceText"};
    std::vector<const Lumera::WireField*> depth;
    std::vector<std::string> fields = {Filter("LastPriceText")};
    for (const Lumera::WireField& field : Lumera::PriceRecordLayout::kFields) {
        if (field.count == 1) {
            scalars.push_back(field.name);
            fields.push_back(Filter(field.name));
            continue;
        }
        depth.push_back(&field);
        fields.push_back(Spell(field, Lumera::Spelling::Wireshark));
        for (int level = 0; level < field.count; ++level) {
            fields.push_back(Spell(field, Lumera::Spelling::Wireshark, level));
        }
    }
    std::vector<std::string> all = {
        "ipv6.src", "ipv6.dst", "udp.srcport", "udp.dstport", "udp.checksum.status", "udp.payload"};
    all.insert(all.end(), fields.begin(), fields.end());
    auto shown = Dissected(dir, pcap, all, "-o udp.check_checksum:TRUE");
    std::string payloads;
    for (const std::string& payload : shown["udp.payload"]) {
        EXPECT_EQ(payload.size() % 172, 0u);
        EXPECT_LE(payload.size(), 172u * 5);
        payloads += payload;
    }
    EXPECT_EQ(payloads, ToHex(ReadFile(raw)));
    const std::size_t datagrams = shown["udp.payload"].size();
    EXPECT_GT(datagrams, 300u / 5);
    EXPECT_LT(datagrams, 300u / 2);
    const std::pair<const char*, const char*> columns[] = {{"ipv6.src", "2001:db8::7"},
                                                           {"ipv6.dst", "ff15::77"},
                                                           {"udp.srcport", "41000"},
                                                           {"udp.dstport", "9555"},
                                                           {"udp.checksum.status", "1"}};
    for (const auto& [column, value] : columns) {
        EXPECT_EQ(shown[column], std::vector<std::string>(datagrams, value)) << column;
    }
    // The capture's columns in each form, IPv6 addresses bracketed in the text line.
    const std::string text = RunTool({"decode", "price-record", "--pcap", pcap}).out;
    EXPECT_NE(text.find("Z Source=[2001:db8::7]:41000 Destination=[ff15::77]:9555 PriceType="),
              std::string::npos);
    const std::string csv = RunTool({"decode", "price-record", "--pcap", pcap, "--csv"}).out;
    EXPECT_EQ(csv.rfind("capture_time,source,source_port,destination,destination_port,price_", 0),
              0u);
    EXPECT_NE(csv.find("Z,2001:db8::7,41000,ff15::77,9555,"), std::string::npos);
    EXPECT_NE(decoded.out.find("Z\",\"Source\":\"2001:db8::7\",\"SourcePort\":41000,"
                               "\"Destination\":\"ff15::77\",\"DestinationPort\":9555,"),
              std::string::npos);
    const Result back = RunTool({"encode", "price-record", "--from-jsonl", "-", "-"}, decoded.out);
    EXPECT_EQ(Bytes(back.out.begin(), back.out.end()), ReadFile(raw)) << back.err;
    const std::vector<std::string> lines = Lines(decoded.out);
    ASSERT_EQ(lines.size(), 300u);
    for (const std::string& field : fields) {
        // A field of all levels (lmwire.bid.price) occurs ten times a record.
        ASSERT_EQ(shown[field].size(), field.find('.', 7) == std::string::npos ? 300u : 3000u)
            << field;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(i);
        const Json record = Json::parse(lines[i]);
        for (const std::string& field : scalars) {
            const Json& value = record[field];
            EXPECT_EQ(shown[Filter(field.c_str())][i],
                      value.is_string() ? value.get<std::string>() : value.dump())
                << field;
        }
        for (const Lumera::WireField* field : depth) {
            const char* part = field->kind == Lumera::FieldKind::DepthPrice ? "Price" : "Size";
            for (int level = 0; level < field->count; ++level) {
                const std::string value =
                    record[Spell(*field, Lumera::Spelling::Json)][level][part].dump();
                EXPECT_EQ(shown[Spell(*field, Lumera::Spelling::Wireshark, level)][i], value);
                EXPECT_EQ(shown[Spell(*field, Lumera::Spelling::Wireshark)][i * 10 + level], value);
            }
        }
    }
    // A filter takes the same packets whether the tree is shown or not, where the dissector adds
    // fewer marks, and the hidden fields of any level only when a filter names them.
    const std::pair<std::string, std::string> levels[] = {
        {"lmwire.ask_size_4", "lmwire.ask.size"}, {"lmwire.bid_price_3", "lmwire.bid.price"}};
    for (const auto& [level, any] : levels) {
        for (const std::string& field : {level, any}) {
            const std::string filter = field + " == " + shown[level][7];
            SCOPED_TRACE(filter);
            const std::vector<std::string> packets = PacketsThrough(dir, pcap, filter, false);
            EXPECT_FALSE(packets.empty());
            EXPECT_EQ(packets, PacketsThrough(dir, pcap, filter, true));
        }
    }
}

TEST(Dissector, DisplayTextsOfEveryFormatAreTheLibrarys) {
    LMWIRE_REQUIRE_PCAP_TOOLS("tshark", "text2pcap");
    TempDir dir;
    const std::vector<std::int32_t> prices = {
        0,     1,  2,  3,     4,     7,     31,      127,    128,       1234,      1235,
        99999, -1, -3, -1234, -1235, 12345, 7654321, -99999, INT32_MAX, INT32_MIN, -INT32_MAX};
    std::vector<std::pair<int, std::int32_t>> shownPrices;
    std::string dump;
    Bytes datagram;
    for (int code = 0; code <= 64; ++code) {
        for (const std::int32_t price : prices) {
            const auto bytes = Lumera::PriceRecordBuilder()
                                   .PriceFormatCode(static_cast<std::uint8_t>(code))
                                   .LastPrice(price)
                                   .Bytes();
            datagram.insert(datagram.end(), bytes.begin(), bytes.end());
            shownPrices.emplace_back(code, price);
            if (datagram.size() == 86 * 8) {
                dump += Text2pcapDump("2025-01-01T00:00:00.0", datagram);
                datagram.clear();
            }
        }
    }
    dump += Text2pcapDump("2025-01-01T00:00:00.0", datagram);
    const std::string pcap = Text2pcap(dir, dump, 9100);
    // Codes without a row too: the port takes them, the heuristic would not.
    auto shown = Dissected(dir, pcap, {"lmwire.last_price", "lmwire.last_price_text"},
                           "-o lmwire.ports:9100");
    ASSERT_EQ(shown["lmwire.last_price_text"].size(), shownPrices.size());
    for (std::size_t i = 0; i < shownPrices.size(); ++i) {
        const auto [code, price] = shownPrices[i];
        SCOPED_TRACE("code " + std::to_string(code) + ", " + std::to_string(price) + " ticks");
        EXPECT_EQ(shown["lmwire.last_price"][i], std::to_string(price));
        EXPECT_EQ(shown["lmwire.last_price_text"][i], Lumera::price::Display(code, price));
    }
}

// The heuristic wants format codes and whole records; the port preference takes any datagram.
TEST(Dissector, TheHeuristicAndThePortPreferenceAndWhatTheSnapLengthCut) {
    LMWIRE_REQUIRE_PCAP_TOOLS("tshark", "text2pcap", "editcap");
    TempDir dir;
    Bytes records(86 * 3, 0);
    records[1] = 14;
    records[86 + 1] = 5;
    records[2 * 86 + 1] = 20;
    Bytes dns(86, 0x41);
    dns[1] = 148;
    // Records, then a query of the records' length, zero padding and a datagram of no whole number
    // of records, none of them taken but by the port.
    const std::string pcap = Text2pcap(dir,
                                       Text2pcapDump("2025-01-01T00:00:00.0", records) +
                                           Text2pcapDump("2025-01-01T00:00:01.0", dns) +
                                           Text2pcapDump("2025-01-01T00:00:02.0", Bytes(172, 0)) +
                                           Text2pcapDump("2025-01-01T00:00:03.0", Bytes(96, 0)),
                                       9177);
    const std::string code = "lmwire.price_format_code";
    EXPECT_EQ(Dissected(dir, pcap, {code})[code], (std::vector<std::string>{"14", "5", "20"}));
    const auto byPort =
        Dissected(dir, pcap, {code, "lmwire.trailing"}, "-o lmwire.ports:9100,9177");
    EXPECT_EQ(byPort.at(code), (std::vector<std::string>{"14", "5", "20", "148", "0", "0", "0"}));
    EXPECT_EQ(byPort.at("lmwire.trailing"), (std::vector<std::string>{"", "", "", "10"}));
    // Cut inside the third record: the two whole ones are shown and the rest counted.
    const std::string cut = dir.Path("cut.pcap");
    ASSERT_EQ(Shell("editcap -s 250 " + pcap + " " + cut), 0);
    auto shown = Dissected(dir, cut, {code, "lmwire.truncated"});
    EXPECT_EQ(shown[code], (std::vector<std::string>{"14", "5"}));
    EXPECT_EQ(shown["lmwire.truncated"], (std::vector<std::string>{"86"}));
    const Result tool = RunTool({"decode", "price-record", "--pcap", cut});
    EXPECT_EQ(Lines(tool.out).size(), 2u);
    EXPECT_NE(tool.err.find("1 truncated by the snap length"), std::string::npos) << tool.err;
}

}  // namespace
}  // namespace lmwire_test
