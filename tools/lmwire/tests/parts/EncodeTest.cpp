// encode: bytes equal to the library's own encoding, and encode -> decode --json -> encode round
// trips that give back the fields and the bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "Parts.h"
// Not LMWireTypes.h, whose version macro the tool defines for itself.
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/PriceRecord.h"

namespace lmwire_test {
namespace {

using namespace Lumera;

std::string Compact(std::string hex) {
    hex.erase(std::remove_if(hex.begin(), hex.end(), [](char c) { return std::isspace(c); }),
              hex.end());
    return hex;
}

std::vector<std::string> Args(const std::string& kind, const std::vector<std::string>& fields) {
    std::vector<std::string> args = {"encode", kind};
    args.insert(args.end(), fields.begin(), fields.end());
    return args;
}

TEST(Encode, BytesEqualTheLibraryEncoding) {
    LogonResponsePacket response(errInvalidLogon);
    response.SetPort(9100);
    TCPLogonReconnectPacket tcp;
    tcp.SetAPIName("api");
    tcp.SetUserID("Z\xFCrich");
    tcp.SetGateKeeperSessionID(std::string(254, 's'));
    tcp.SetPriceLevel(plDepth);
    tcp.SetAccountNumber(-5);
    const struct {
        std::vector<std::string> args;
        Bytes expected;
    } cases[] = {
        {Args("logon-response", {"ErrorCode=1", "Port=9100"}), Encoded(response)},
        {Args("tcp-logon-reconnect",
              {"ApiName=api", "UserID=Z\u00FCrich", "PriceLevel=1",
               "GateKeeperSessionID=" + std::string(254, 's'), "AccountNumber=-5"}),
         Encoded(tcp)},
        {Args("start-log-file-send",
              {"UserID=ann", "AccountNumber=7", "FileSize=1024", "LogFile=x.log"}),
         Encoded(StartLogFileSend("ann", 7, 1024, "x.log"))},
        {Args("price-subscription", {"First=1", "Second=2", "Text=ESZ6"}),
         Encoded(CLMWirePriceSubscriptionPacket(1, 2, "ESZ6"))},
        {Args("udp-logon", {"PacketType=1", "GateKeeperSessionID=gk"}),
         Encoded(UDPLogOnPacket("gk", udpLogOn))},
        {Args("hole-punch-delay", {"Delay=+250"}), Encoded(WireHolePunchDelayPacket(250))},
        {Args("hole-punch-delay", {"Delay=-2"}), Encoded(WireHolePunchDelayPacket(-2))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const Outcome result = Tool(c.args);
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(Compact(result.out), ToHex(c.expected));
        std::vector<std::string> binary = c.args;
        binary.push_back("--binary");
        EXPECT_EQ(Tool(binary).out, std::string(c.expected.begin(), c.expected.end()));
    }
}

struct RoundTrip {
    std::string kind;
    std::vector<std::string> fields;
    Json expected;  // fields that decode must give back (the others are 0 or empty)
};

std::vector<RoundTrip> RoundTrips() {
    return {
        {"udp-logon",
         {"PacketType=-3", "GateKeeperSessionID=" + std::string(254, 'g')},
         {{"PacketType", -3}, {"GateKeeperSessionID", std::string(254, 'g')}}},
        {"tcp-logon-reconnect",
         {"UserID=Z\u00FCrich \u20AC", "SessionType=2", "AccountNumber=2147483647"},
         {{"ApiName", ""},
          {"UserID", "Z\u00FCrich \u20AC"},
          {"SessionType", 2},
          {"AccountNumber", 2147483647}}},
        {"price-protocol", {"PriceProtocol=-2147483648"}, {{"PriceProtocol", -2147483648LL}}},
        {"start-log-file-send",
         {"UserID=" + std::string(24, 'u'), "LogFile=" + std::string(254, 'f'), "FileSize=-1"},
         {{"AccountNumber", 0},
          {"FileSize", -1},
          {"UserID", std::string(24, 'u')},
          {"LogFile", std::string(254, 'f')}}},
        {"price-subscription", {"Text=" + std::string(99, 't')}, {{"Text", std::string(99, 't')}}},
        {"account-data",
         {"Account=42", "AccountInfo=5:2500.5,-3:0.001,2:-1e300"},
         Json::parse(R"({"Account": 42, "NumEntries": 3, "AccountInfo": [{"Kind": -3,
             "Value": 0.001}, {"Kind": 2, "Value": -1e300}, {"Kind": 5, "Value": 2500.5}]})")},
        {"account-data", {}, {{"Account", 0}, {"NumEntries", 0}, {"AccountInfo", Json::array()}}},
        {"account-contract",
         {"ContractID=1001", "Month=12", "Year=2026", "ExchangeID=-7", "priceFormatCode=25",
          "contractType=1", "TickValue=12.5", "Currency=1", "Symbol=ES", "Name=ESZ6", "Position=-3",
          "Pnl=-12.25", "PreviousSettle=24046"},
         Json::parse(R"({"ContractID": 1001, "Month": 12, "Year": 2026, "ExchangeID": -7,
             "priceFormatCode": 25, "contractType": 1, "TickValue": 12.5, "Currency": 1,
             "Symbol": "ES", "Name": "ESZ6", "Position": -3, "Pnl": -12.25,
             "PreviousSettle": 24046, "OpenPrice": 0})")},
        // Levels not given stand at the last price with no size.
        {"price-record",
         {"PriceFormatCode=9", "LastPrice=1234", "LastSize=65535", "LumeraID=7",
          R"(Bids=[{"Price":1233,"Size":10},{"Price":1362,"Size":1}])", "Asks=1235:9,1106:65535"},
         Json::parse(R"({"LastSize": 65535, "LumeraID": 7, "LastPriceText": "9.205", "Bids": [
             {"Price": 1233, "Size": 10}, {"Price": 1362, "Size": 1}, {"Price": 1234, "Size": 0},
             {"Price": 1234, "Size": 0}, {"Price": 1234, "Size": 0}, {"Price": 1234, "Size": 0},
             {"Price": 1234, "Size": 0}, {"Price": 1234, "Size": 0}, {"Price": 1234, "Size": 0},
             {"Price": 1234, "Size": 0}]})")},
        // Depth prices wrap in 32 bits, as the record reads them.
        {"price-record",
         {"LastPrice=-2147483648", "Bids=2147483647:1", "Asks=2147483520:2"},
         {{"LastPrice", -2147483648LL}}},
    };
}

// The decoded JSON as NAME=VALUE arguments again, leaving out what encode cannot set.
std::vector<std::string> AsAssignments(const Json& decoded) {
    std::vector<std::string> fields;
    for (const auto& item : decoded.items()) {
        if (item.key() == "NumEntries" || item.key() == "LastPriceText") {
            continue;
        }
        fields.push_back(
            item.key() + "=" +
            (item.value().is_string() ? item.value().get<std::string>() : item.value().dump()));
    }
    return fields;
}

TEST(Encode, RoundTripsThroughDecodeJson) {
    for (const RoundTrip& trip : RoundTrips()) {
        SCOPED_TRACE(trip.kind + " " + (trip.fields.empty() ? "" : trip.fields[0]));
        const Outcome encoded = Tool(Args(trip.kind, trip.fields));
        ASSERT_EQ(encoded.status, 0) << encoded.err;
        const Outcome decoded = Tool({"decode", trip.kind, "--json"}, encoded.out);
        ASSERT_EQ(decoded.status, 0) << decoded.err;
        const Json fields = Json::parse(decoded.out);
        for (const auto& field : trip.expected.items()) {
            EXPECT_EQ(fields.at(field.key()), field.value()) << field.key();
        }
        const Outcome again = Tool(Args(trip.kind, AsAssignments(fields)));
        ASSERT_EQ(again.status, 0) << again.err;
        EXPECT_EQ(again.out, encoded.out);
    }
}

}  // namespace
}  // namespace lmwire_test
