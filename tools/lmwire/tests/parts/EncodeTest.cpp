// encode of what decode does not show (fields not given, signs, short forms of lists, depth that
// wraps in 32 bits), round trips through decode --json that give back the fields and the bytes.
// Every kind's bytes against the library's own are the decode table's.

#include <gtest/gtest.h>

#include "Parts.h"

namespace lmwire_test {
namespace {

TEST(Encode, RoundTripsThroughDecodeJson) {
    const struct {
        std::string kind;
        std::vector<std::string> fields;
        Json expected;  // fields, by JSON pointer, that decode must give back
    } trips[] = {
        {"hole-punch-delay", {"Delay=+250"}, {{"/Delay", 250}}},
        {"price-protocol", {"PriceProtocol=-2147483648"}, {{"/PriceProtocol", -2147483648LL}}},
        {"start-log-file-send",
         {"UserID=" + std::string(24, 'u'), "LogFile=" + std::string(254, 'f'), "FileSize=-1"},
         {{"/AccountNumber", 0}, {"/FileSize", -1}, {"/LogFile", std::string(254, 'f')}}},
        {"account-data",
         {"Account=42", "AccountInfo=5:2500.5,-3:0.001,2:-1e300"},
         {{"/NumEntries", 3}, {"/AccountInfo/0/Kind", -3}, {"/AccountInfo/1/Value", -1e300}}},
        {"account-data", {}, {{"/NumEntries", 0}, {"/AccountInfo", Json::array()}}},
        // Levels not given stand at the last price with no size.
        {"price-record",
         {"PriceFormatCode=9", "LastPrice=1234", "LastSize=65535", "LumeraID=7",
          R"(Bids=[{"Price":1233,"Size":10},{"Price":1362,"Size":1}])", "Asks=1235:9,1106:65535"},
         {{"/LastSize", 65535},
          {"/LumeraID", 7},
          {"/LastPriceText", "9.205"},
          {"/Bids/1", {{"Price", 1362}, {"Size", 1}}},
          {"/Bids/2", {{"Price", 1234}, {"Size", 0}}},
          {"/Asks/1/Price", 1106},
          {"/Asks/9", {{"Price", 1234}, {"Size", 0}}}}},
        // Depth prices wrap in 32 bits, as the record reads them.
        {"price-record",
         {"LastPrice=-2147483648", "Bids=2147483647:1", "Asks=2147483520:2"},
         {{"/LastPrice", -2147483648LL}}},
    };
    for (const auto& trip : trips) {
        SCOPED_TRACE(trip.kind + " " + (trip.fields.empty() ? "" : trip.fields[0]));
        std::vector<std::string> args = {"encode", trip.kind};
        args.insert(args.end(), trip.fields.begin(), trip.fields.end());
        const Outcome encoded = Tool(args);
        ASSERT_EQ(encoded.status, 0) << encoded.err;
        const Outcome decoded = Tool({"decode", trip.kind, "--json"}, encoded.out);
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        const Json fields = Json::parse(decoded.out);
        for (const auto& field : trip.expected.items()) {
            EXPECT_EQ(fields.at(Json::json_pointer(field.key())), field.value()) << field.key();
        }
        EXPECT_EQ(Encode(trip.kind, fields, false), encoded.out);
    }
}

}  // namespace
}  // namespace lmwire_test
