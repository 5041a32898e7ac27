// split and the decode of a dataset, through the program: a dataset decodes as its source does,
// partition by partition, and its filters leave out whole partitions; bad input is one line and
// status 2.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <regex>
#include <set>

#include "RunTool.h"

namespace lmwire_test {
namespace {

using ::testing::HasSubstr;

// Skips unless this lmwire was built with the capture component.
#define REQUIRE_SPLIT()                                                       \
    if (RunTool({"split", "--help"}).out.find("--tz") == std::string::npos) { \
        GTEST_SKIP() << "lmwire was built without the capture component";     \
    }

// The decoded lines of a source as a dataset orders them: by UTC date of their TimeStamp (in
// seconds, after 1970) and LumeraID, in arrival order within each.
std::vector<std::string> ByPartition(const std::vector<std::string>& lines) {
    std::vector<std::pair<std::pair<long, long>, std::string>> keyed;
    for (const std::string& line : lines) {
        const Json record = Json::parse(line);
        keyed.push_back(
            {{record["TimeStamp"].get<long>() / 86400, record["LumeraID"].get<long>()}, line});
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> sorted;
    for (const auto& entry : keyed) {
        sorted.push_back(entry.second);
    }
    return sorted;
}

// Six contracts over three days, as raw records, zstd-compressed raw records and a pcap.
TEST(Dataset, SplitThenDecodeIsTheSourceByPartition) {
    REQUIRE_SPLIT();
    TempDir dir;
    const std::vector<std::string> market = {"--contracts", "6", "--days", "3"};
    const auto synth = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"synth", "prices", "3000"});
        args.insert(args.end(), market.begin(), market.end());
        const Result made = RunTool(args);
        ASSERT_EQ(made.status, 0) << made.err;
    };
    synth({dir.Path("raw")});
    synth({dir.Path("raw.zst"), "--compress", "3"});
    synth({"--pcap", dir.Path("pcap")});
    const std::vector<std::string> source =
        Lines(RunTool({"decode", "price-record", "--json", dir.Path("raw")}).out);
    ASSERT_EQ(source.size(), 3000u);
    const std::vector<std::string> expected = ByPartition(source);
    for (const std::string input : {"raw", "raw.zst", "pcap"}) {
        SCOPED_TRACE(input);
        const std::string dataset = dir.Path(input + ".d");
        const Result split = RunTool(
            {"split", dir.Path(input), "--to", dataset, "--part-size", std::to_string(86 * 100)});
        ASSERT_EQ(split.status, 0) << split.err;
        // Parts of 100 records at most: more than the 18 partitions.
        std::smatch summary;
        ASSERT_TRUE(std::regex_match(split.out, summary,
                                     std::regex("3000 records, ([0-9]+) parts, [0-9]+ bytes "
                                                "written to .*\\.d \\(\\1 parts in all\\)\n")))
            << split.out;
        const std::string manifest = ReadText(dataset + "/manifest.json");
        std::size_t parts = 0;
        for (std::size_t at = 0; (at = manifest.find("\"path\"", at)) != std::string::npos; ++at) {
            ++parts;
        }
        EXPECT_EQ(std::to_string(parts), summary[1].str());
        // Every contract on each of the three days.
        std::set<std::string> partitions;
        for (std::size_t at = 0; (at = manifest.find("\"path\":\"", at)) != std::string::npos;
             ++at) {
            partitions.insert(manifest.substr(at + 8, manifest.find("/part-", at) - at - 8));
        }
        EXPECT_EQ(partitions.size(), 18u);
        EXPECT_EQ(*partitions.begin(), "date=2025-11-24/lumera_id=1");
        EXPECT_EQ(*partitions.rbegin(), "date=2025-11-26/lumera_id=6");
        EXPECT_GT(parts, 18u);
        const Result decoded = RunTool({"decode", "price-record", "--json", dataset});
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        EXPECT_EQ(Lines(decoded.out), expected);
    }
    // Filters: whole partitions left out, the rest as they were.
    const std::string dataset = dir.Path("raw.d");
    const struct {
        std::vector<std::string> filters;
        std::function<bool(const Json&)> keeps;
    } filters[] = {
        {{"--lumera-id", "2", "--lumera-id", "5"},
         [](const Json& r) { return r["LumeraID"] == 2 || r["LumeraID"] == 5; }},
        {{"--date-from", "2025-11-25"}, [](const Json& r) { return r["TimeStamp"] >= 1764028800; }},
        {{"--date-to", "2025-11-25", "--date-from", "2025-11-25", "--lumera-id", "6"},
         [](const Json& r) {
             return r["TimeStamp"] >= 1764028800 && r["TimeStamp"] < 1764115200 &&
                    r["LumeraID"] == 6;
         }},
    };
    for (const auto& row : filters) {
        SCOPED_TRACE(::testing::PrintToString(row.filters));
        std::vector<std::string> args = {"decode", "price-record", "--json", dataset};
        args.insert(args.end(), row.filters.begin(), row.filters.end());
        std::vector<std::string> kept;
        std::copy_if(expected.begin(), expected.end(), std::back_inserter(kept),
                     [&](const std::string& line) { return row.keeps(Json::parse(line)); });
        ASSERT_FALSE(kept.empty());
        EXPECT_EQ(Lines(RunTool(args).out), kept);
    }
}

TEST(Dataset, BadInputIsOneLineAndStatusTwo) {
    REQUIRE_SPLIT();
    TempDir dir;
    const std::string raw = SynthPrices(dir, 50);
    const std::string dataset = dir.Path("d");
    ASSERT_EQ(RunTool({"split", raw, "--to", dataset, "--part-size", "860"}).status, 0);
    WriteFile(dir.Path("cut"), Bytes(100, 1));
    const std::string manifest = ReadText(dataset + "/manifest.json");
    const std::size_t first = manifest.find("date=");
    const std::string part = manifest.substr(first, manifest.find('"', first) - first);
    const struct {
        std::vector<std::string> args;
        const char* error;
    } rows[] = {
        {{"decode", "price-record", raw, "--lumera-id", "1"},
         "--date-from, --date-to and --lumera-id choose the partitions of a dataset directory; "},
        {{"decode", "price-record", "--date-to", "2025-01-01"}, "; standard input is not one"},
        {{"decode", "price-record", dataset, "--date-from", "2025-1-1"},
         "--date-from '2025-1-1': not a date YYYY-MM-DD"},
        {{"decode", "price-record", dir.Path("")},
         "is a directory, not a dataset (no manifest.json)"},
        {{"split", raw, "--to", dir.Path("z"), "--tz", "Mars/Olympus"},
         "unknown time zone Mars/Olympus"},
        {{"split", raw, "--to", dir.Path("z"), "--time-unit", "m"}, "--time-unit 'm': not s, ms"},
        {{"split", raw, "--to", dataset, "--time-unit", "ms"},
         "is a dataset of time unit s in UTC, not of ms in UTC"},
        {{"split", raw, "--to", dir.Path("z"), "--part-size", "85"}, "less than one record"},
        {{"split", dir.Path("cut"), "--to", dir.Path("z")},
         "the capture ends inside a record after 1 whole ones"},
        {{"split", raw, dir.Path("none"), "--to", dir.Path("z")}, "cannot open"},
        {{"split", raw, "--to", dir.Path("z"), "--port", "9100"}, "--port chooses the datagrams"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(::testing::PrintToString(row.args));
        const Result result = RunTool(row.args);
        EXPECT_EQ(result.status, 2);
        EXPECT_THAT(result.err, HasSubstr(row.error));
        EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
        EXPECT_EQ(result.out, "");
    }
    // Nothing was made where split refused, nor changed where it appended nothing.
    EXPECT_NE(Shell("test -e " + dir.Path("z")), 0);
    EXPECT_EQ(ReadText(dataset + "/manifest.json"), manifest);
    // A part gone: named, and nothing decoded.
    std::remove((dataset + "/" + part).c_str());
    const Result gone = RunTool({"decode", "price-record", dataset});
    EXPECT_EQ(gone.status, 2);
    EXPECT_EQ(gone.err,
              "lmwire: part " + dataset + "/" + part + " is missing: No such file or directory\n");
    EXPECT_EQ(gone.out, "");
}

}  // namespace
}  // namespace lmwire_test
