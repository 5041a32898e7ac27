#include "wire_types/support/FieldTables.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <iomanip>
#include <map>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/orders/CLMWireOrder.h"
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

// JSON keys, CSV columns and Python names, the dissector's filter names.
TEST(FieldTables, SpellingsAreThoseOfEveryFrontEnd) {
    const WireField* price = PriceRecordLayout::kFieldList;
    constexpr Spelling J = Spelling::Json, S = Spelling::Snake, W = Spelling::Wireshark;
    const struct {
        const WireField& field;
        Spelling spelling;
        int level;
        const char* name;
    } cases[] = {
        {price[3], W, 0, "lmwire.lumera_id"},   {price[9], J, 3, "Bids[3].Price"},
        {price[12], J, 9, "Asks[9].Size"},      {price[9], J, kAllLevels, "Bids"},
        {price[10], S, kAllLevels, "bid_size"}, {price[11], S, 3, "ask_price_3"},
        {price[9], W, 10, "lmwire.bid.price"},  // no such level: all of them
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Spell(c.field, c.spelling, c.level), c.name);
    }
    EXPECT_EQ(Spell("TimeStampUTC", W), "lmwire.time_stamp_utc");
    EXPECT_EQ(Spell("APIOrderID", S), "api_order_id");
    EXPECT_EQ(Spell("APIOrderID", J), "APIOrderID");
    char out[10];
    EXPECT_EQ(SpellTo(out, out + 9, "LastPrice", S), nullptr);
    EXPECT_EQ(SpellTo(out, out + 10, "LastPrice", S), out + 10);
}

// Zeros after a text, none a reader would cut short, and one without a zero runs to the end.
TEST(FieldTables, ValuesAreLittleEndianAndTextsZeroFilled) {
    const WireField text = detail::TextField("T", 1, 4);
    unsigned char out[6] = {0xAA, 0xAA, 0xAA, 0xAA, 0xAA, 0xAA};
    EXPECT_FALSE(WriteText(text, out, "abcd") || WriteText(text, out, std::string_view("a\0b", 3)));
    EXPECT_TRUE(WriteText(text, out, "ab"));
    EXPECT_EQ(Bytes(out, out + 6), (Bytes{0xAA, 'a', 'b', 0, 0, 0xAA}));
    out[3] = 'c';
    out[4] = 'd';
    EXPECT_EQ(ReadText(text, out), "abcd");
}

std::string Str(const std::string& text) {
    return text;
}
template <class T>
std::string Str(T value) {
    std::ostringstream out;
    out << std::setprecision(17) << +value;
    return out.str();
}

// Reads a layout at bytes[start] by its table alone, as a front end does, and writes each value
// back over other bytes, which must give the field's bytes. Returns the offset past the layout.
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
        Bytes again(table.fixedSize, 0xAA);
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
                read = Str(ReadDouble(field, block));
                WriteDouble(field, again.data(), ReadDouble(field, block));
                break;
            case FieldKind::Text:
                read = std::string(ReadText(field, block));
                EXPECT_TRUE(WriteText(field, again.data(), read)) << name;
                break;
            default:  // integers; the depth of price records is the tool's decoder's to walk
                read = std::to_string(ReadInteger(field, block, 0));
                WriteInteger(field, again.data(), ReadInteger(field, block, 0), 0);
        }
        values[name] = read;
        EXPECT_EQ(Bytes(again.data() + field.offset, again.data() + field.offset + field.size),
                  Bytes(block + field.offset, block + field.offset + field.size))
            << name;
    }
    return at;
}

template <class Record>
Bytes Flat(Record& record) {
    Bytes bytes(static_cast<std::size_t>(detail::FlatFormSize(record)));
    long offset = 0;
    detail::WriteFlatForm(record, offset, bytes.data());
    return bytes;
}

// A value under its field's name: ASKED(packet, Get, Port) is packet.GetPort(), HELD(o, Qty) o.Qty.
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

// Distinct bytes over a fixed block, none above 0x7E: no double is a NaN, whose bits a 32-bit
// build may not keep.
void Fill(void* block, std::size_t size, unsigned seed) {
    auto* bytes = static_cast<unsigned char*>(block);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(1 + (seed + 37 * i) % 0x7E);
    }
}

struct ValuesCase {
    const FieldTable& table;
    Bytes bytes;
    Values expected;  // from the getters (or the raw record's members)
};

// The raw records' flat forms; the tool's decoder walks the packets, price record, account data.
std::vector<ValuesCase> ValuesCases() {
    std::vector<ValuesCase> cases;
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
    account.contracts.assign(2, raw);
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

TEST(FieldTables, ReadingByTheTableGivesWhatTheClassHolds) {
    for (const ValuesCase& c : ValuesCases()) {
        Values got;
        EXPECT_EQ(Walk(c.table, c.bytes, 0, "", got), c.bytes.size()) << c.table.name;
        EXPECT_EQ(got, c.expected) << c.table.name;
    }
}

}  // namespace
