// synth writes a capture; decode reads it back one line per record.

#include <gtest/gtest.h>

#include "RunTool.h"
#include "wire_types/price/CWirePrice.h"

namespace lmwire_test {
namespace {

constexpr int kRecords = 3000;

TEST(Capture, SynthThenDecodeGivesOneRecordPerLineMatchingTheLibrary) {
    TempDir dir;
    const std::string file = SynthPrices(dir, kRecords);
    Bytes bytes = ReadFile(file);
    ASSERT_EQ(bytes.size(), 86u * kRecords);

    const Result json = RunTool({"decode", "price-record", "--binary", "--json", file});
    ASSERT_EQ(json.status, 0) << json.err;
    const std::vector<std::string> lines = Lines(json.out);
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kRecords));
    std::set<long> contracts;
    for (int i = 0; i < kRecords; ++i) {
        Lumera::CWirePrice price(bytes.data() + 86 * i);
        const Json record = Json::parse(lines[i]);
        ASSERT_EQ(record["LastPrice"], price.GetLastPrice()) << i;
        ASSERT_EQ(record["LumeraID"], price.GetLumeraID()) << i;
        ASSERT_EQ(record["TotalVolume"], price.GetTotalVolume()) << i;
        ASSERT_EQ(record["LastPriceText"], price.PriceFromTicks(price.GetLastPrice())) << i;
        long bid = 0, bidSize = 0, ask = 0, askSize = 0;
        price.GetBid(9, &bid, &bidSize);
        price.GetAsk(0, &ask, &askSize);
        ASSERT_EQ(record["Bids"][9]["Price"], bid) << i;
        ASSERT_EQ(record["Asks"][0]["Size"], askSize) << i;
        // A market: depth on both sides of the last price, with size.
        ASSERT_LT(bid, price.GetLastPrice());
        ASSERT_GT(ask, price.GetLastPrice());
        ASSERT_GT(askSize, 0);
        contracts.insert(price.GetLumeraID());
    }
    EXPECT_GE(contracts.size(), 3u);

    const Result text = RunTool({"decode", "price-record", "--binary", file});
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(Lines(text.out).size(), static_cast<std::size_t>(kRecords));
    // Hex input and standard input give the same lines as a binary file.
    bytes.resize(86 * 5);
    const Result hex = RunTool({"decode", "price-record"}, ToHex(bytes));
    const std::vector<std::string> textLines = Lines(text.out);
    EXPECT_EQ(Lines(hex.out), std::vector<std::string>(textLines.begin(), textLines.begin() + 5));
}

TEST(Capture, SameSeedSameRecordsOtherSeedOtherRecords) {
    TempDir dir;
    ASSERT_EQ(RunTool({"synth", "prices", "200", dir.Path("a")}).status, 0);
    ASSERT_EQ(RunTool({"synth", "prices", "200", dir.Path("b")}).status, 0);
    ASSERT_EQ(RunTool({"synth", "prices", "200", dir.Path("c"), "--seed", "2"}).status, 0);
    EXPECT_EQ(ReadFile(dir.Path("a")), ReadFile(dir.Path("b")));
    EXPECT_NE(ReadFile(dir.Path("a")), ReadFile(dir.Path("c")));
    ASSERT_EQ(RunTool({"synth", "prices", "0", dir.Path("empty")}).status, 0);
    const Result empty = RunTool({"decode", "price-record", "--binary", dir.Path("empty")});
    EXPECT_EQ(empty.status, 0);
    EXPECT_EQ(empty.out, "");
}

TEST(Capture, ALengthThatIsNotWholeRecordsIsRefusedBeforeAnyOutput) {
    TempDir dir;
    const std::string file = SynthPrices(dir, 100);
    Bytes bytes = ReadFile(file);
    bytes.pop_back();
    WriteFile(file, bytes);
    for (const bool json : {false, true}) {
        std::vector<std::string> args = {"decode", "price-record", "--binary", file};
        if (json) {
            args.push_back("--json");
        }
        const Result result = RunTool(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_NE(result.err.find("8599 bytes is not a whole number of 86-byte records"),
                  std::string::npos)
            << result.err;
    }
    // Standard input redirected from a file is measured first too.
    const Result redirected =
        RunTool({"decode", "price-record", "--binary"}, std::string(bytes.begin(), bytes.end()));
    EXPECT_EQ(redirected.status, 2);
    EXPECT_EQ(redirected.out, "");
}

}  // namespace
}  // namespace lmwire_test
