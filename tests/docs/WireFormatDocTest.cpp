// docs/wire-format.md is written for people implementing a peer: each of its tables must say what
// the code does, offset for offset. An offset table (after `<!-- layout NAME -->`) is compared
// with the layout constants of its packet or record, and must cover every byte; a flat-form table
// (after `<!-- flat-form NAME -->`) is compared with the parts that the record's own flat-form
// description visits.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <fstream>
#include <ostream>
#include <string>
#include <vector>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/price/PriceRecord.h"

namespace Lumera {
namespace {

using Cells = std::vector<std::string>;

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    return first == std::string::npos ? ""
                                      : text.substr(first, text.find_last_not_of(' ') + 1 - first);
}

// The body rows of the table that follows the line holding `marker`, split into cells; empty
// when the marker or its table is missing.
std::vector<Cells> TableAfter(const std::string& marker) {
    std::ifstream file(LMWIRE_WIRE_FORMAT_DOC);
    std::vector<Cells> rows;
    std::string line;
    bool found = false;
    bool inTable = false;
    while (std::getline(file, line)) {
        if (!found) {
            found = line.find(marker) != std::string::npos;
            continue;
        }
        if (line.empty() || line[0] != '|') {
            if (inTable) {
                break;
            }
            continue;
        }
        inTable = true;
        Cells cells;
        std::size_t from = 1;
        for (std::size_t bar = line.find('|', from); bar != std::string::npos;
             bar = line.find('|', from)) {
            cells.push_back(Trimmed(line.substr(from, bar - from)));
            from = bar + 1;
        }
        rows.push_back(cells);
    }
    // The heading and its rule.
    rows.erase(rows.begin(),
               rows.begin() + static_cast<std::ptrdiff_t>(std::min<std::size_t>(2, rows.size())));
    return rows;
}

// One row of an offset table: where, how long, and the name in the last column's first
// `code span` (a getter or a member; empty for a pad).
struct Field {
    std::size_t offset;
    std::size_t size;
    std::string name;
    bool operator==(const Field& other) const {
        return offset == other.offset && size == other.size && name == other.name;
    }
};

void PrintTo(const Field& field, std::ostream* out) {
    *out << "{" << field.offset << ", " << field.size << ", \"" << field.name << "\"}";
}

std::vector<Field> OffsetTable(const std::string& name) {
    std::vector<Field> fields;
    for (const Cells& cells : TableAfter("<!-- layout " + name + " -->")) {
        EXPECT_GE(cells.size(), 3u) << name;
        if (cells.size() < 3) {
            continue;
        }
        const std::string& last = cells.back();
        const std::size_t tick = last.find('`');
        std::string field;
        if (tick != std::string::npos) {
            const std::size_t end = last.find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_", tick + 1);
            field = last.substr(tick + 1, end - tick - 1);
        }
        fields.push_back({std::stoul(cells[0]), std::stoul(cells[1]), field});
    }
    return fields;
}

// The documented table is exactly `expected`, and its fields cover the `size` bytes back to back.
void ExpectTable(const std::string& name, std::size_t size, const std::vector<Field>& expected) {
    SCOPED_TRACE(name);
#if defined(_WIN32)
    if (!std::ifstream(LMWIRE_WIRE_FORMAT_DOC)) {
        GTEST_SKIP() << "the source tree is not reachable from the emulated Windows";
    }
#endif
    const std::vector<Field> documented = OffsetTable(name);
    EXPECT_EQ(documented, expected);
    std::size_t next = 0;
    for (const Field& field : documented) {
        EXPECT_EQ(field.offset, next) << field.name << ": fields lie back to back";
        next = field.offset + field.size;
    }
    EXPECT_EQ(next, size);
}

constexpr std::size_t kInt32 = 4;

TEST(WireFormatDocument, LogonPacketTablesMatchTheLayouts) {
    {
        using L = LogonResponsePacketLayout;
        ExpectTable("logon-response", L::kSize,
                    {{L::kErrorCode, kInt32, "GetErrorCode"}, {L::kPort, kInt32, "GetPort"}});
    }
    {
        using L = UDPLogOnPacketLayout;
        ExpectTable(
            "udp-logon", L::kSize,
            {{L::kPacketType, kInt32, "GetPacketType"},
             {L::kGateKeeperSessionID, L::kGateKeeperSessionIDCapacity, "GetGateKeeperSessionID"},
             {L::kPad, L::kSize - L::kPad, ""}});
    }
    using L = TCPLogonReconnectPacketLayout;
    ExpectTable(
        "tcp-logon-reconnect", L::kSize,
        {{L::kApiName, L::kApiNameCapacity, "GetApiName"},
         {L::kApiVersion, L::kApiVersionCapacity, "GetApiVersion"},
         {L::kUserID, L::kUserIDCapacity, "GetUserID"},
         {L::kGateKeeperSessionID, L::kGateKeeperSessionIDCapacity, "GetGateKeeperSessionID"},
         {L::kPad, L::kPriceProtocol - L::kPad, ""},
         {L::kPriceProtocol, kInt32, "GetPriceProtocol"},
         {L::kPriceLevel, kInt32, "GetPriceLevel"},
         {L::kSessionType, kInt32, "GetSessionType"},
         {L::kAccountNumber, kInt32, "GetAccountNumber"}});
}

TEST(WireFormatDocument, ControlPacketTablesMatchTheLayouts) {
    ExpectTable("price-protocol", WirePriceProtocolPacketLayout::kSize,
                {{WirePriceProtocolPacketLayout::kPriceProtocol, kInt32, "GetPriceProtocol"}});
    ExpectTable("hole-punch-delay", WireHolePunchDelayPacketLayout::kSize,
                {{WireHolePunchDelayPacketLayout::kDelay, kInt32, "GetDelay"}});
    {
        using L = StartLogFileSendLayout;
        ExpectTable("start-log-file-send", L::kSize,
                    {{L::kAccountNumber, kInt32, "GetAccountNumber"},
                     {L::kFileSize, kInt32, "GetFileSize"},
                     {L::kUserID, L::kUserIDCapacity, "GetUserID"},
                     {L::kLogFile, L::kLogFileCapacity, "GetLogFile"}});
    }
    using L = CLMWirePriceSubscriptionPacketLayout;
    ExpectTable("price-subscription", L::kSize,
                {{L::kFirst, kInt32, "GetFirst"},
                 {L::kSecond, kInt32, "GetSecond"},
                 {L::kText, L::kTextCapacity, "GetText"}});
}

TEST(WireFormatDocument, AccountDataTablesMatchTheLayout) {
    using L = WireAccountDataPacketLayout;
    ExpectTable("account-data-header", L::kHeaderSize,
                {{L::kAccount, kInt32, "GetAccount"}, {L::kCount, kInt32, "NumEntries"}});
    ExpectTable("account-data-entry", L::kEntrySize,
                {{L::kEntryKind, kInt32, "GetEntries"},
                 {L::kEntryValue, sizeof(double), "FindAccountInfo"}});
}

TEST(WireFormatDocument, PriceRecordTableMatchesTheLayout) {
    using L = PriceRecordLayout;
    constexpr std::size_t kLevels = L::kLevels;
    ExpectTable("price-record", L::kSize,
                {{L::kPriceType, 1, "PriceType"},
                 {L::kPriceFormatCode, 1, "PriceFormatCode"},
                 {L::kLastSize, 2, "LastSize"},
                 {L::kLumeraID, 2, "LumeraID"},
                 {L::kLastPrice, kInt32, "LastPrice"},
                 {L::kTotalVolume, kInt32, "TotalVolume"},
                 {L::kTimeStamp, kInt32, "TimeStamp"},
                 {L::kHigh, kInt32, "High"},
                 {L::kLow, kInt32, "Low"},
                 {L::kBidOffsets, kLevels, "Bid"},
                 {L::kBidSizes, 2 * kLevels, "Bid"},
                 {L::kAskOffsets, kLevels, "Ask"},
                 {L::kAskSizes, 2 * kLevels, "Ask"}});
}

// A member of the raw record R at the constant of its layout L, as wide as the member is.
#define MEMBER(constant, member)                \
    Field {                                     \
        L::constant, sizeof(R::member), #member \
    }

TEST(WireFormatDocument, RawRecordBlockTablesMatchTheLayouts) {
    {
        using R = WireContract;
        using L = WireContractLayout;
        ExpectTable("contract", L::kFixedSize,
                    {MEMBER(kMonth, month), MEMBER(kYear, year), MEMBER(kReserved1, reserved1),
                     MEMBER(kExchangeID, exchangeID), MEMBER(kPadding1, padding1),
                     MEMBER(kContractType, contractType), MEMBER(kPriceFormatCode, priceFormatCode),
                     MEMBER(kReserved2, reserved2), MEMBER(kReserved3, reserved3),
                     MEMBER(kContractID, contractID), MEMBER(kPadding2, padding2),
                     MEMBER(kTickValue, tickValue), MEMBER(kCurrency, currency)});
    }
    {
        using R = WireAccountContract;
        using L = WireAccountContractLayout;
        ExpectTable("account-contract", L::kFixedSize,
                    {MEMBER(kMaxLotSize, maxLotSize), MEMBER(kPositionLimit, positionLimit),
                     MEMBER(kPosition, position), MEMBER(kPadding1, padding1), MEMBER(kPnl, pnl),
                     MEMBER(kPnlInTicks, pnlInTicks), MEMBER(kOvernightPosition, overnightPosition),
                     MEMBER(kPreviousClose, previousClose), MEMBER(kPreviousSettle, previousSettle),
                     MEMBER(kOpenPrice, openPrice), MEMBER(kPadding2, padding2)});
    }
    using R = WireOrder;
    using L = WireOrderLayout;
    ExpectTable("order", L::kFixedSize,
                {MEMBER(kOrderStatus, OrderStatus),
                 MEMBER(kReserved1, reserved1),
                 MEMBER(kTimeCreated, TimeCreated),
                 MEMBER(kOrderType, OrderType),
                 MEMBER(kRestrictions, Restrictions),
                 MEMBER(kFilledQty, FilledQty),
                 MEMBER(kFillPrice, FillPrice),
                 MEMBER(kFillTime, FillTime),
                 MEMBER(kPrice, Price),
                 MEMBER(kIsBuy, IsBuy),
                 MEMBER(kTimeSent, TimeSent),
                 MEMBER(kQty, Qty),
                 MEMBER(kReserved2, reserved2),
                 MEMBER(kOriginalQuantity, OriginalQuantity),
                 MEMBER(kOrderID, OrderID),
                 MEMBER(kOriginalOrderID, OriginalOrderID),
                 MEMBER(kReserved3, reserved3),
                 MEMBER(kRemainingQuantity, RemainingQuantity),
                 MEMBER(kStopPrice, StopPrice),
                 MEMBER(kFillID, FillID),
                 MEMBER(kAccountID, AccountID)});
}

#undef MEMBER

// Names the parts of a flat form in the document's words: a fixed block by its size, "text",
// "array".
class FlatParts {
  public:
    void Block(const void*, std::size_t size) { parts_.push_back(std::to_string(size)); }
    void Text(BSTR&) { parts_.push_back("text"); }
    template <class Items>
    void Array(Items&) {
        parts_.push_back("array");
    }
    const std::vector<std::string>& parts() const { return parts_; }

  private:
    std::vector<std::string> parts_;
};

template <class Record>
void ExpectFlatForm(const std::string& name) {
    SCOPED_TRACE(name);
#if defined(_WIN32)
    if (!std::ifstream(LMWIRE_WIRE_FORMAT_DOC)) {
        GTEST_SKIP() << "the source tree is not reachable from the emulated Windows";
    }
#endif
    Record record;
    FlatParts visited;
    record.VisitFlatForm(visited);
    std::vector<std::string> documented;
    for (const Cells& cells : TableAfter("<!-- flat-form " + name + " -->")) {
        documented.push_back(cells.empty() ? "" : cells[0]);
    }
    EXPECT_EQ(documented, visited.parts());
}

TEST(WireFormatDocument, FlatFormTablesMatchTheRecords) {
    ExpectFlatForm<WireContract>("contract");
    ExpectFlatForm<WireAccountContract>("account-contract");
    ExpectFlatForm<WireAccount>("account");
    ExpectFlatForm<WireOrder>("order");
}

}  // namespace
}  // namespace Lumera
