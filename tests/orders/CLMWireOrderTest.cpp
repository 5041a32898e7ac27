#include "wire_types/orders/CLMWireOrder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "OleText.h"
#include "accounts/AccountsTestSupport.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {
namespace {

std::int32_t Int32At(WireOrder* record, std::size_t offset) {
    std::int32_t value = 0;
    std::memcpy(&value, reinterpret_cast<unsigned char*>(record) + offset, sizeof value);
    return value;
}

using testing::Units;

// Each accessor reaches its own field and keeps the low 32 bits of a wider argument.
TEST(CLMWireOrder, LongFieldsStoreAtTheirOffsetAndKeepLow32Bits) {
    using Setter = void (CLMWireOrder::*)(long);
    using Getter = long (CLMWireOrder::*)() const;
    using O = CLMWireOrder;
    // clang-format off
    const std::tuple<Setter, Getter, std::size_t> fields[] = {
        {&O::setFillQty, &O::getFilledQty, 24}, {&O::setFillPrice, &O::getFillPrice, 28},
        {&O::setPrice, &O::getPrice, 40}, {&O::setQty, &O::getQty, 56},
        {&O::setOriginalQuantity, &O::getOriginalQuantity, 64}, {&O::setOrderID, &O::getOrderID, 68},
        {&O::setOriginalOrderID, &O::getOriginalOrderID, 72}, {&O::setStopPrice, &O::getStopPrice, 84},
        {&O::setRemainingQuantity, &O::getRemainingQuantity, 80}, {&O::setFillID, &O::getFillID, 88}};
    // clang-format on
    for (const auto& [set, get, offset] : fields) {
        CLMWireOrder order;
        for (long value : {std::numeric_limits<long>::min(), std::numeric_limits<long>::max(),
                           static_cast<long>(0x1'8000'0005LL)}) {
            (order.*set)(value);
            EXPECT_EQ((order.*get)(), static_cast<std::int32_t>(value)) << offset;
            EXPECT_EQ(Int32At(order.getWireOrder(), offset), static_cast<std::int32_t>(value));
        }
    }
}

TEST(CLMWireOrder, DefaultsAndNarrowFieldsReachTheirFields) {
    const double before = detail::CurrentOleDate();
    CLMWireOrder order;
    WireOrder* record = order.getWireOrder();
    EXPECT_GE(record->TimeCreated, before);
    EXPECT_LE(record->TimeCreated, detail::CurrentOleDate());
    EXPECT_EQ((std::vector{Int32At(record, 0), Int32At(record, 16), Int32At(record, 20)}),
              std::vector<std::int32_t>(3, 1));  // status, type, restrictions
    order.setAccountID(-42);
    EXPECT_EQ(Int32At(record, 92), -42);
    // The symbol is the contract's full name, not its symbol.
    order.setVeyID("vey");
    order.setExchangeOrderNumber("ex");
    order.setSymbol("caf\xE9");
    EXPECT_EQ(Units(record->VeyID) + Units(record->ExchangeOrderNumber), OLESTR("veyex"));
    EXPECT_EQ(Units(record->Contract.name) + Units(record->Contract.symbol), OLESTR("caf\u00E9"));
    EXPECT_EQ(order.getVeyID() + order.getExchangeOrderNumber() + order.getSymbol(),
              "veyexcaf\xE9");
    order.setIsBuy(true);
    EXPECT_EQ(record->IsBuy, 1);
    record->IsBuy = 2;  // true only for 1
    EXPECT_FALSE(order.getIsBuy());
    order.setExchangeID(70000);
    EXPECT_EQ(order.getExchangeID(), 4464);
    EXPECT_EQ(record->Contract.exchangeID, 4464);

    order.setAPIOrderID(-7);
    double stored = 0.0;
    std::memcpy(&stored, record->Contract.reserved3, sizeof stored);
    EXPECT_EQ(stored, -7.0);
    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    for (const auto& [raw, expected] : std::vector<std::pair<double, int>>{
             {-12.9, -12}, {std::nan(""), 0}, {1e12, kMax}, {-1e12, kMin}}) {
        std::memcpy(record->Contract.reserved3, &raw, sizeof raw);
        EXPECT_EQ(order.getAPIOrderID(), expected) << raw;
    }
    constexpr double kUnixEpoch = 25569.0;  // 1970-01-01 as days since 1899-12-30
    record->FillTime = kUnixEpoch + 1.0;
    record->TimeSent = kUnixEpoch + 1234567890.4 / 86400.0;
    EXPECT_EQ(order.getFillTime(), 86400);
    EXPECT_EQ(order.getTimeSent(), 1234567890);
}

// An order built from a record goes through the flat form (fixed bytes whole, texts as Windows-1252
// up to a NUL, a null text empty); copies are exact (the allocation sweep compares them).
TEST(CLMWireOrder, OrdersFromRecordsFollowTheFlatForm) {
    WireOrder source;
    testing::FillPattern(&source, WireOrder::kFixedSize, 7);
    testing::FillPattern(&source.Contract, WireContract::kFixedSize, 9);
    const OLECHAR units[] = {u'a', 0x03A9, 0xD800, 0x0080, 0x20AC, 0x00E9, 0, u'z'};
    for (BSTR* field : {&source.VeyID, &source.ExchangeOrderNumber, &source.Contract.symbol,
                        &source.Contract.name}) {
        testing::StoreText(*field, OleString(units, 8));
    }
    detail::FreeWireText(source.reservedText);  // null
    CLMWireOrder order(&source);
    const WireOrder& record = *order.getWireOrder();
    EXPECT_EQ(std::memcmp(&record, &source, WireOrder::kFixedSize), 0);
    EXPECT_EQ(std::memcmp(&record.Contract, &source.Contract, WireContract::kFixedSize), 0);
    for (BSTR text :
         {record.VeyID, record.ExchangeOrderNumber, record.Contract.symbol, record.Contract.name}) {
        EXPECT_EQ(Units(text), OLESTR("a???\u20AC\u00E9"));
    }
    EXPECT_EQ(Units(record.reservedText), OLESTR(""));
    EXPECT_EQ(order.getVeyID(), "a???\x80\xE9");
    EXPECT_EQ(order.ToString(), "");
    EXPECT_THROW(CLMWireOrder(static_cast<WireOrder*>(nullptr)), std::invalid_argument);
}

TEST(CLMWireOrder, PriceMembersReadTheOrdersCodeOnEveryCall) {
    CLMWireOrder order;
    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(14));
    EXPECT_EQ(order.DisplayToTicks("12.34"), 1234);
    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(6));
    EXPECT_EQ(order.DecimalToTicks(38.5625), 1234);
    EXPECT_EQ(order.PriceFromTicks(1234), "38.18");
    EXPECT_DOUBLE_EQ(order.TicksToDecimal(1234), 38.5625);
    EXPECT_EQ(order.GetPriceFormatCodeDivisor(), 32);
}

}  // namespace
}  // namespace Lumera
