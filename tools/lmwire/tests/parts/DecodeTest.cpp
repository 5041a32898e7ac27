// decode of bytes built with the library, compared field by field with the library's getters, and
// encode of the decoded fields back to the same bytes.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "Parts.h"
// Not LMWireTypes.h, whose version macro the tool defines for itself.
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/Price.h"
#include "wire_types/price/PriceRecord.h"

namespace lmwire_test {
namespace {

using namespace Lumera;

struct DecodeCase {
    std::string kind;
    Bytes bytes;
    Json expected;  // all the fields, or null for none
};

void Put32(Bytes& bytes, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// Written by offset here, independently of the tool's own writer.
Bytes PriceRecordBytes() {
    Bytes bytes(86, 0);
    bytes[0] = 3;
    bytes[1] = 9;
    bytes[2] = 0xFF;  // last size 65535: must not read as -1
    bytes[3] = 0xFF;
    bytes[4] = 0x39;  // Lumera id 12345
    bytes[5] = 0x30;
    Put32(bytes, 6, 1234);
    Put32(bytes, 10, 987654);
    Put32(bytes, 14, 1764003600);
    Put32(bytes, 18, 1300);
    Put32(bytes, 22, 1100);
    for (int i = 0; i < 10; ++i) {
        bytes[26 + i] = static_cast<unsigned char>(i == 9 ? 0x80 : i + 1);  // level 9: -128
        bytes[36 + 2 * i] = static_cast<unsigned char>(10 * (i + 1));
        bytes[56 + i] = static_cast<unsigned char>(i == 9 ? 0x7F : i + 2);
        bytes[66 + 2 * i + 1] = static_cast<unsigned char>(i);  // sizes of 256 * i
    }
    return bytes;
}

std::vector<DecodeCase> Cases() {
    std::vector<DecodeCase> cases;

    LogonResponsePacket response(errAlreadyLoggedOn);
    response.SetPort(-9100);
    cases.push_back({"logon-response",
                     Encoded(response),
                     {{"ErrorCode", response.GetErrorCode()}, {"Port", response.GetPort()}}});

    UDPLogOnPacket udp(std::string(254, 'g'), udpPrice);
    cases.push_back({"udp-logon",
                     Encoded(udp),
                     {{"PacketType", 2}, {"GateKeeperSessionID", udp.GetGateKeeperSessionID()}}});

    TCPLogonReconnectPacket tcp;
    tcp.SetAPIName("api");
    tcp.SetApiVersion("2.1");
    tcp.SetUserID("Z\xFCrich \x80");  // Windows-1252: u with umlaut, euro sign
    tcp.SetGateKeeperSessionID("");
    tcp.SetPriceProtocol(ppUdp);
    tcp.SetPriceLevel(plDepth);
    tcp.SetSessionType(static_cast<SessionType>(-7));
    tcp.SetAccountNumber(2147483647);
    cases.push_back({"tcp-logon-reconnect",
                     Encoded(tcp),
                     {{"ApiName", tcp.GetApiName()},
                      {"ApiVersion", tcp.GetApiVersion()},
                      {"UserID", "Z\u00FCrich \u20AC"},
                      {"GateKeeperSessionID", ""},
                      {"PriceProtocol", tcp.GetPriceProtocol()},
                      {"PriceLevel", tcp.GetPriceLevel()},
                      {"SessionType", tcp.GetSessionType()},
                      {"AccountNumber", tcp.GetAccountNumber()}}});

    WirePriceProtocolPacket protocol(ppTcp);
    cases.push_back(
        {"price-protocol", Encoded(protocol), {{"PriceProtocol", protocol.GetPriceProtocol()}}});

    WireHolePunchDelayPacket delay(-250);
    cases.push_back({"hole-punch-delay", Encoded(delay), {{"Delay", delay.GetDelay()}}});

    // The expected fields are what these two were built from, not what their getters say.
    cases.push_back({"start-log-file-send",
                     Encoded(StartLogFileSend(std::string(24, 'u'), 7, 1024, "C:\\logs\\a.log")),
                     {{"AccountNumber", 7},
                      {"FileSize", 1024},
                      {"UserID", std::string(24, 'u')},
                      {"LogFile", "C:\\logs\\a.log"}}});
    cases.push_back({"price-subscription",
                     Encoded(CLMWirePriceSubscriptionPacket(1, -2, std::string(99, 't'))),
                     {{"First", 1}, {"Second", -2}, {"Text", std::string(99, 't')}}});

    WireAccountDataPacket figures(42);
    figures.AddInfo(adtBuyingPower, 2500.5);
    figures.AddInfo(static_cast<enumAccountDataTypes>(-3), 1e-3);
    figures.AddInfo(adtMargin, -0.0);
    {
        unsigned char* wire = figures.Encode();
        const Bytes bytes(wire, wire + 8 + 12 * figures.NumEntries());
        delete[] wire;
        cases.push_back(
            {"account-data",
             bytes,
             {{"Account", 42},
              {"NumEntries", figures.NumEntries()},
              {"AccountInfo",
               {{{"Kind", -3},
                 {"Value", figures.GetAccountInfo(static_cast<enumAccountDataTypes>(-3))}},
                {{"Kind", 2}, {"Value", figures.GetAccountInfo(adtMargin)}},
                {{"Kind", 5}, {"Value", figures.GetAccountInfo(adtBuyingPower)}}}}}});
    }
    CLMWireAccountContract accountContract(1001, 7, 12, 2026, static_cast<enumPriceFormatCode>(25),
                                           "ES", "ESZ6");
    accountContract.setPosition(-3);
    accountContract.setPnl(-12.25);
    accountContract.setPreviousSettle(24046);
    accountContract.getRawWireContract()->contract.tickValue = 12.5;
    accountContract.getRawWireContract()->contract.currency = curUSD;
    Bytes flat(static_cast<std::size_t>(accountContract.GetSize()));
    long offset = 0;
    accountContract.toPacket(offset, flat.data());
    cases.push_back({"account-contract", flat, Json::parse(R"({"MaxLotSize": 0, "PositionLimit": 0,
        "Position": -3, "Pnl": -12.25, "PnlInTicks": 0, "OvernightPosition": 0, "PreviousClose": 0,
        "PreviousSettle": 24046, "OpenPrice": 0, "Month": 12, "Year": 2026, "ExchangeID": 7,
        "contractType": 0, "priceFormatCode": 25, "ContractID": 1001, "TickValue": 12.5,
        "Currency": 1, "Symbol": "ES", "Name": "ESZ6"})")});

    // Its fields are the text line's below.
    cases.push_back({"price-record", PriceRecordBytes(), nullptr});
    return cases;
}

// Hex and binary alike; and the decoded fields, given to encode, give the library's bytes again.
TEST(Decode, EveryKindMatchesTheLibraryFieldByFieldAndEncodesBack) {
    for (const DecodeCase& c : Cases()) {
        SCOPED_TRACE(c.kind);
        const Outcome result = Tool({"decode", c.kind, "--json"}, ToHex(c.bytes));
        ASSERT_EQ(result.status, 0) << result.err;
        EXPECT_EQ(result.err, "");
        const std::vector<std::string> lines = Lines(result.out);
        ASSERT_EQ(lines.size(), 1u);
        const Json decoded = Json::parse(lines[0]);
        ASSERT_EQ(decoded.size(), c.expected.is_null() ? decoded.size() : c.expected.size())
            << decoded.dump();
        for (const auto& field : c.expected.items()) {
            ASSERT_TRUE(decoded.contains(field.key())) << field.key();
            EXPECT_EQ(decoded[field.key()], field.value()) << field.key();
        }
        const Outcome binary = Tool({"decode", c.kind, "--binary", "--json"},
                                    std::string(c.bytes.begin(), c.bytes.end()));
        ASSERT_EQ(binary.status, 0) << binary.err;
        EXPECT_EQ(binary.out, result.out);
        EXPECT_EQ(Encode(c.kind, decoded, true), std::string(c.bytes.begin(), c.bytes.end()));
    }
}

TEST(Decode, PriceRecordTextLineCarriesEveryField) {
    EXPECT_EQ(Tool({"decode", "price-record"}, ToHex(PriceRecordBytes())).out,
              "PriceType=3 PriceFormatCode=9 LastSize=65535 LumeraID=12345 LastPrice=1234 "
              "TotalVolume=987654 TimeStamp=1764003600 High=1300 Low=1100 Bids=1233:10,1232:20,"
              "1231:30,1230:40,1229:50,1228:60,1227:70,1226:80,1225:90,1362:100 Asks=1236:0,"
              "1237:256,1238:512,1239:768,1240:1024,1241:1280,1242:1536,1243:1792,1244:2048,"
              "1361:2304 LastPriceText=\"9.205\"\n");
}

// Every display text is the one-sign display that the dissector and the Python package show,
// in JSON, text (--partial changes nothing in a whole capture) and CSV, for every code and
// sign; a code without a format shows no text.
TEST(Decode, CaptureDisplayTextsAreTheOneSignDisplayForEveryCodeAndSign) {
    const std::vector<std::int32_t> prices = {0, 1234, -1, -1234, 2147483647, -2147483647 - 1};
    Bytes capture;
    std::vector<std::string> json, text, csv;  // what each line ends with
    for (int code = 0; code <= 64; ++code) {
        for (const std::int32_t price : prices) {
            const std::int32_t bid = price == prices.back() ? price : price - 1;
            const std::int32_t ask = price == prices[4] ? price : price + 1;
            const auto record = PriceRecordBuilder()
                                    .PriceFormatCode(static_cast<std::uint8_t>(code))
                                    .LastPrice(price)
                                    .Bid(0, bid, 1)
                                    .Ask(0, ask, 1)
                                    .Bytes();
            capture.insert(capture.end(), record.begin(), record.end());
            const std::string last = price::Display(code, price);
            json.push_back("\"LastPriceText\":\"" + last + "\"}");
            text.push_back(" LastPriceText=\"" + last + "\"");
            csv.push_back("," + last + "," + price::Display(code, bid) + "," +
                          price::Display(code, ask));
        }
    }
    csv.insert(csv.begin(), "best_ask_text");
    for (const auto& [format, ends] :
         {std::pair{"--json", json}, {"--partial", text}, {"--csv", csv}}) {
        const std::vector<std::string> lines =
            Lines(Tool({"decode", "price-record", format}, ToHex(capture)).out);
        ASSERT_EQ(lines.size(), ends.size()) << format;
        for (std::size_t i = 0; i < lines.size(); ++i) {
            const std::string& end = ends[i];
            EXPECT_EQ(lines[i].substr(lines[i].size() - std::min(end.size(), lines[i].size())),
                      end);
        }
    }
}

}  // namespace
}  // namespace lmwire_test
