#include "wire_types/support/FieldTables.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/support/FieldValues.h"
#include "wire_types/support/detail/Bytes.h"
#include "wire_types/support/detail/FlatForm.h"
#include "wire_types/support/detail/WireStrings.h"

namespace {

using namespace Lumera;
using Bytes = std::vector<unsigned char>;
using Values = std::map<std::string, std::string>;

// What Tiles must refuse: a gap, an overlap, a fixed field after a text, bytes left over.
constexpr WireField kOne[] = {detail::Int32Field("A", 0)};
constexpr WireField kGap[] = {detail::Int32Field("A", 0), detail::Int32Field("B", 5)};
constexpr WireField kOverlap[] = {detail::Int32Field("A", 0), detail::Int32Field("B", 3)};
constexpr WireField kAfterText[] = {detail::FlatTextField("T"), detail::Int32Field("A", 0)};
static_assert(!detail::Tiles(detail::Table("gap", 9, kGap)) &&
              !detail::Tiles(detail::Table("overlap", 7, kOverlap)) &&
              !detail::Tiles(detail::Table("after text", 4, kAfterText)) &&
              detail::Tiles(detail::Table("one", 4, kOne)) &&
              !detail::Tiles(detail::Table("left over", 8, kOne)));

// Spelled at compile time, as a generator may.
constexpr bool SpelledAs(const WireField& field, Spelling spelling, int level, const char* want) {
    char out[32] = {};
    const char* end = SpellTo(out, out + sizeof out, field, spelling, level);
    const char* at = out;
    for (; end != nullptr && at != end && *want != '\0'; ++at, ++want) {
        if (*at != *want) {
            return false;
        }
    }
    return end != nullptr && at == end && *want == '\0';
}
static_assert(SpelledAs(PriceRecordLayout::kFieldList[10], Spelling::Wireshark, 9,
                        "lmwire.bid_size_9"));

// Every value field of a table (reserved bytes left out, nested records walked in), spelled.
void Spellings(const FieldTable& table, Spelling spelling, int level, std::string& out) {
    for (const WireField& field : table) {
        if (field.kind == FieldKind::Reserved) {
            continue;
        }
        if (field.nested != nullptr) {
            Spellings(*field.nested, spelling, level, out);
            continue;
        }
        if (!out.empty()) {
            out += ' ';
        }
        out += Spell(field, spelling, level);
    }
}

// The names today's front ends use (the tool's JSON keys, the Python attributes and dtype, the
// CSV columns, the dissector's filter names), on the tables whose names need the spelling rules.
TEST(FieldTables, SpellingsAreThoseOfEveryFrontEnd) {
    struct Case {
        const FieldTable& table;
        Spelling spelling;
        int level;
        const char* names;
    };
    const Case cases[] = {
        {PriceRecordLayout::kFields, Spelling::Json, 3,
         "PriceType PriceFormatCode LastSize LumeraID LastPrice TotalVolume TimeStamp High Low "
         "Bids[3].Price Bids[3].Size Asks[3].Price Asks[3].Size"},
        {PriceRecordLayout::kFields, Spelling::Snake, kAllLevels,
         "price_type price_format_code last_size lumera_id last_price total_volume time_stamp "
         "high low bid_price bid_size ask_price ask_size"},
        {PriceRecordLayout::kFields, Spelling::Wireshark, 12,  // no such level: all of them
         "lmwire.price_type lmwire.price_format_code lmwire.last_size lmwire.lumera_id "
         "lmwire.last_price lmwire.total_volume lmwire.time_stamp lmwire.high lmwire.low "
         "lmwire.bid.price lmwire.bid.size lmwire.ask.price lmwire.ask.size"},
        {WireAccountContractLayout::kFields, Spelling::Snake, kAllLevels,
         "max_lot_size position_limit position pnl pnl_in_ticks overnight_position "
         "previous_close previous_settle open_price month year exchange_id contract_type "
         "price_format_code contract_id tick_value currency symbol name"},
    };
    for (const Case& c : cases) {
        std::string names;
        Spellings(c.table, c.spelling, c.level, names);
        EXPECT_EQ(names, c.names) << c.table.name << " spelling " << static_cast<int>(c.spelling)
                                  << " level " << c.level;
    }

    // Names of values the front ends derive, and acronyms.
    const std::pair<const char*, const char*> derived[] = {
        {"LastPriceText", "lmwire.last_price_text"},
        {"TimeStampUTC", "lmwire.time_stamp_utc"},
        {"BestBidText", "lmwire.best_bid_text"},
        {"APIOrderID", "lmwire.api_order_id"},
        {"DestinationPort", "lmwire.destination_port"}};
    for (const auto& [name, filter] : derived) {
        EXPECT_EQ(Spell(name, Spelling::Wireshark), filter);
        EXPECT_EQ(Spell(name, Spelling::Json), name);
    }

    char out[10];
    EXPECT_EQ(SpellTo(out, out + 9, "LastPrice", Spelling::Snake), nullptr);
    EXPECT_EQ(SpellTo(out, out + 10, "LastPrice", Spelling::Snake), out + 10);
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Byte-exact reads and writes: sign extension, byte order, zeros after a text.
TEST(FieldTables, ValuesAreLittleEndianAndTextsZeroFilled) {
    const unsigned char bytes[] = {0x01, 0x02, 0x03, 0x84, 0xFE, 0x7F};
    const WireField int32 = detail::Int32Field("A", 0);
    const WireField u16 = detail::Field("U", 4, 2, FieldKind::Unsigned);
    const WireField depth = detail::DepthPriceField("D", 3, 3, -1);
    EXPECT_EQ(ReadInteger(int32, bytes), -0x7BFCFDFF);
    EXPECT_EQ(ReadInteger(u16, bytes), 0x7FFE);
    EXPECT_EQ(ReadInteger(depth, bytes, 1), -2);
    EXPECT_EQ(LevelPrice(depth, bytes, 1000, 1), 1002);
    unsigned char out[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    WriteInteger(int32, out, -0x7BFCFDFF);
    EXPECT_EQ(Bytes(out, out + 4), Bytes(bytes, bytes + 4));

    const WireField text = detail::TextField("T", 1, 4);
    EXPECT_FALSE(WriteText(text, out, "abcd") || WriteText(text, out, std::string_view("a\0b", 3)));
    EXPECT_TRUE(WriteText(text, out, "ab"));
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{0x01, 'a', 'b', 0, 0, 0xAA}));
    EXPECT_TRUE(WriteText(text, out, "abc"));
    EXPECT_EQ(ReadText(text, out), "abc");
    out[4] = 'd';  // no zero byte: the text runs to the field's end
    EXPECT_EQ(ReadText(text, out), "abcd");
}

// Reads a layout at bytes[start] as a front end does, by its table alone: the fixed part by the
// offsets, then each part that follows it; writing each value read over other bytes must give
// back the field's bytes. Returns the offset just past the layout.
std::size_t Walk(const FieldTable& table, const Bytes& bytes, std::size_t start,
                 const std::string& prefix, Values& values) {
    if (start + table.fixedSize > bytes.size()) {
        ADD_FAILURE() << table.name << " runs past the bytes";
        return bytes.size() + 1;
    }
    const unsigned char* block = bytes.data() + start;
    std::size_t at = start + table.fixedSize;
    for (const WireField& field : table) {
        const std::string name = prefix + field.name;
        Bytes again(start + table.fixedSize, 0xAA);
        std::string read;
        switch (field.kind) {
            case FieldKind::Reserved:
                continue;
            case FieldKind::FlatText:
                values[name] = reinterpret_cast<const char*>(bytes.data() + at);
                at += values[name].size() + 1;
                continue;
            case FieldKind::Record:
                at = Walk(*field.nested, bytes, at, name + ".", values);
                continue;
            case FieldKind::Records: {
                const auto count = detail::LoadLittleEndian<std::int32_t>(&bytes.at(at));
                at += 4;
                for (std::int32_t i = 0; i < count; ++i) {
                    at = Walk(*field.nested, bytes, at, name + "[" + std::to_string(i) + "].",
                              values);
                }
                continue;
            }
            case FieldKind::Double:
            case FieldKind::OleDate:
                read = Number(ReadDouble(field, block));
                WriteDouble(field, again.data() + start, ReadDouble(field, block));
                break;
            case FieldKind::Text:
                read = std::string(ReadText(field, block));
                EXPECT_TRUE(WriteText(field, again.data() + start, read)) << name;
                break;
            default:
                for (int level = 0; level < field.count; ++level) {
                    const std::int64_t value = ReadInteger(field, block, level);
                    EXPECT_TRUE(value >= RangeOf(field).min && value <= RangeOf(field).max);
                    read += (level == 0 ? "" : " ") +
                            std::to_string(field.kind == FieldKind::DepthPrice
                                               ? LevelPrice(field, block, 1000, level) - 1000
                                               : value);
                    WriteInteger(field, again.data() + start, value, level);
                }
        }
        // A depth side's two rows share its name: its prices, then its sizes.
        std::string& value = values[name];
        value += (value.empty() ? "" : " ") + read;
        EXPECT_EQ(
            Bytes(again.begin() + static_cast<std::ptrdiff_t>(start + field.offset),
                  again.begin() + static_cast<std::ptrdiff_t>(start + field.offset + field.size)),
            Bytes(block + field.offset, block + field.offset + field.size))
            << name;
    }
    return at;
}

template <class Packet>
Bytes Encoded(const Packet& packet) {
    long length = 0;
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode(&length));
    return Bytes(buffer.get(), buffer.get() + length);
}

template <class Record>
Bytes Flat(Record& record) {
    Bytes bytes(static_cast<std::size_t>(detail::FlatFormSize(record)));
    long offset = 0;
    detail::WriteFlatForm(record, offset, bytes.data());
    return bytes;
}

template <class T>
std::string Str(T value) {
    return std::to_string(static_cast<long long>(value));
}
std::string Str(double value) {
    return Number(value);
}
std::string Str(const std::string& text) {
    return text;
}

// A value under its field's name: ASKED(packet, Get, Port) asks packet.GetPort(), HELD(order,
// Qty) reads order.Qty.
#define ASKED(object, get, name) \
    { #name, Str(object.get##name()) }
#define HELD(record, name) \
    { #name, Str(record.name) }

Values Prefixed(const Values& values, const std::string& prefix) {
    Values out;
    for (const auto& [name, value] : values) {
        out[prefix + name] = value;
    }
    return out;
}

// Distinct bytes over a record's fixed block, as a peer might send them; by default none above
// 0x7E, so no double among them is a NaN (whose bits a 32-bit build may not keep).
void Fill(void* block, std::size_t size, unsigned seed, unsigned top = 0x7E) {
    auto* bytes = static_cast<unsigned char*>(block);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(1 + (seed + 37 * i) % top);
    }
}

struct ValuesCase {
    const FieldTable& table;
    Bytes bytes;
    Values expected;  // from the class's getters (or the raw record's members)
    const FieldTable* entries = nullptr;
};

std::vector<ValuesCase> ValuesCases() {
    std::vector<ValuesCase> cases;

    LogonResponsePacket response(static_cast<enumErrors>(3));
    response.SetPort(-70000);
    cases.push_back({LogonResponsePacketLayout::kFields,
                     Encoded(response),
                     {ASKED(response, Get, ErrorCode), {"Port", "-70000"}}});

    const UDPLogOnPacket udp("session-\xe9", static_cast<UDPPacketTypes>(2));
    cases.push_back({UDPLogOnPacketLayout::kFields,
                     Encoded(udp),
                     {ASKED(udp, Get, PacketType), ASKED(udp, Get, GateKeeperSessionID)}});

    TCPLogonReconnectPacket tcp;
    tcp.SetAPIName("api");
    tcp.SetApiVersion("1.2");
    tcp.SetUserID("trader");
    tcp.SetGateKeeperSessionID(std::string(254, 'g'));
    tcp.SetPriceProtocol(static_cast<enumPricingProtocol>(2));
    tcp.SetPriceLevel(static_cast<enumPriceLevel>(3));
    tcp.SetSessionType(static_cast<SessionType>(4));
    tcp.SetAccountNumber(-5);
    cases.push_back({TCPLogonReconnectPacketLayout::kFields,
                     Encoded(tcp),
                     {ASKED(tcp, Get, ApiName), ASKED(tcp, Get, ApiVersion),
                      ASKED(tcp, Get, UserID), ASKED(tcp, Get, GateKeeperSessionID),
                      ASKED(tcp, Get, PriceProtocol), ASKED(tcp, Get, PriceLevel),
                      ASKED(tcp, Get, SessionType), ASKED(tcp, Get, AccountNumber)}});

    const WirePriceProtocolPacket protocol(static_cast<enumPricingProtocol>(7));
    cases.push_back({WirePriceProtocolPacketLayout::kFields,
                     Encoded(protocol),
                     {ASKED(protocol, Get, PriceProtocol)}});

    const WireHolePunchDelayPacket delay(-250);
    cases.push_back(
        {WireHolePunchDelayPacketLayout::kFields, Encoded(delay), {ASKED(delay, Get, Delay)}});

    const StartLogFileSend log("user", 12, 345678, "logs/today.txt");
    cases.push_back({StartLogFileSendLayout::kFields,
                     Encoded(log),
                     {ASKED(log, Get, AccountNumber), ASKED(log, Get, FileSize),
                      ASKED(log, Get, UserID), ASKED(log, Get, LogFile)}});

    const CLMWirePriceSubscriptionPacket subscription(1, -2, "ESZ6");
    cases.push_back({CLMWirePriceSubscriptionPacketLayout::kFields,
                     Encoded(subscription),
                     {ASKED(subscription, Get, First), ASKED(subscription, Get, Second),
                      ASKED(subscription, Get, Text)}});

    std::array<unsigned char, PriceRecordLayout::kSize> record;
    Fill(record.data(), record.size(), 4, 0xFF);
    const PriceRecordView view(record.data());
    Values recordValues{ASKED(view, , PriceType), ASKED(view, , PriceFormatCode),
                        ASKED(view, , LastSize),  ASKED(view, , LumeraID),
                        ASKED(view, , LastPrice), ASKED(view, , TotalVolume),
                        ASKED(view, , TimeStamp), ASKED(view, , High),
                        ASKED(view, , Low)};
    for (const char* side : {"Bid", "Ask"}) {
        std::string prices, sizes;
        for (int level = 0; level < PriceRecordLayout::kLevels; ++level) {
            const PriceLevel at = side[0] == 'B' ? view.Bid(level) : view.Ask(level);
            prices += (level == 0 ? "" : " ") + Str(at.price - view.LastPrice());
            sizes += " " + Str(at.size);
        }
        recordValues[side] = prices + sizes;
    }
    cases.push_back(
        {PriceRecordLayout::kFields, Bytes(record.begin(), record.end()), recordValues});

    WireAccountDataPacket data(42);
    data.AddInfo(static_cast<enumAccountDataTypes>(5), -812.25);
    data.AddInfo(static_cast<enumAccountDataTypes>(-1), 0.1);
    const std::unique_ptr<unsigned char[]> dataWire(data.Encode());
    Values dataValues{ASKED(data, Get, Account), {"NumEntries", Str(data.NumEntries())}};
    int entry = 0;
    for (const auto& [kind, value] : data.GetEntries()) {
        const std::string at = "AccountInfo[" + Str(entry++) + "].";
        dataValues[at + "Kind"] = Str(kind);
        dataValues[at + "Value"] = Number(value);
    }
    cases.push_back({WireAccountDataPacketLayout::kHeaderFields,
                     Bytes(dataWire.get(), dataWire.get() + 8 + 12 * data.NumEntries()), dataValues,
                     &WireAccountDataPacketLayout::kEntryFields});

    // The raw records' flat forms, as the flat-form visitor writes them.
    WireAccountContract raw;
    Fill(&raw, WireAccountContract::kFixedSize, 1);
    Fill(&raw.contract, WireContract::kFixedSize, 2);
    detail::SetWireText(raw.contract.symbol, "ESZ6");
    detail::SetWireText(raw.contract.name, "E-mini S&P \xe9");
    CLMWireAccountContract accountContract(&raw);
    CLMWireContract& contract = *accountContract.getWireContract();
    const Values contractValues{
        ASKED(contract, get, Month),           ASKED(contract, get, Year),
        ASKED(contract, get, ExchangeID),      ASKED(contract, get, contractType),
        ASKED(contract, get, priceFormatCode), ASKED(contract, get, ContractID),
        ASKED(contract, get, TickValue),       ASKED(contract, get, Currency),
        ASKED(contract, get, Symbol),          ASKED(contract, get, Name)};
    Values accountContractValues = Prefixed(contractValues, "WireContract.");
    accountContractValues.insert(
        {ASKED(accountContract, get, MaxLotSize), ASKED(accountContract, get, PositionLimit),
         ASKED(accountContract, get, Position), ASKED(accountContract, get, Pnl),
         ASKED(accountContract, get, PnlInTicks), ASKED(accountContract, get, OvernightPosition),
         ASKED(accountContract, get, PreviousClose), ASKED(accountContract, get, PreviousSettle),
         ASKED(accountContract, get, OpenPrice)});
    cases.push_back({WireAccountContractLayout::kFields, Flat(raw), accountContractValues});

    WireAccount account;
    account.accountID = -8;
    detail::SetWireText(account.name, "house");
    account.contracts.push_back(raw);
    account.contracts.push_back(raw);
    Values accountValues = Prefixed(accountContractValues, "AccountContractCollection[0].");
    accountValues.merge(Prefixed(accountContractValues, "AccountContractCollection[1]."));
    accountValues.insert({{"AccountID", "-8"}, {"Name", "house"}});
    cases.push_back({WireAccountLayout::kFields, Flat(account), accountValues});

    WireOrder order;
    Fill(&order, WireOrder::kFixedSize, 3);
    detail::SetWireText(order.VeyID, "V-1");
    detail::SetWireText(order.ExchangeOrderNumber, "X42");
    order.Contract = raw.contract;
    Values orderValues = Prefixed(contractValues, "Contract.");
    orderValues.insert({HELD(order, OrderStatus), HELD(order, TimeCreated), HELD(order, OrderType),
                        HELD(order, Restrictions), HELD(order, FilledQty), HELD(order, FillPrice),
                        HELD(order, FillTime), HELD(order, Price), HELD(order, IsBuy),
                        HELD(order, TimeSent), HELD(order, Qty), HELD(order, OriginalQuantity),
                        HELD(order, OrderID), HELD(order, OriginalOrderID),
                        HELD(order, RemainingQuantity), HELD(order, StopPrice), HELD(order, FillID),
                        HELD(order, AccountID)});
    orderValues.insert({{"VeyID", "V-1"}, {"ExchangeOrderNumber", "X42"}, {"reservedText", ""}});
    cases.push_back({WireOrderLayout::kFields, Flat(order), orderValues});
    return cases;
}

// Each layout's bytes, as its class writes them, read back by the table alone.
TEST(FieldTables, ReadingByTheTableGivesWhatTheClassHolds) {
    for (const ValuesCase& c : ValuesCases()) {
        Values got;
        std::size_t end = Walk(c.table, c.bytes, 0, "", got);
        if (c.entries != nullptr) {  // the account data packet's entries follow its header
            const int count = std::stoi(got.at("NumEntries"));
            for (int i = 0; i < count; ++i) {
                end = Walk(*c.entries, c.bytes, end, "AccountInfo[" + Str(i) + "].", got);
            }
        }
        EXPECT_EQ(end, c.bytes.size()) << c.table.name;
        EXPECT_EQ(got, c.expected) << c.table.name;
    }
}

}  // namespace
