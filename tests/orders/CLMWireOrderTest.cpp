#include "wire_types/orders/CLMWireOrder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "wire_types/support/WireStrings.h"

namespace Lumera {
namespace {

std::int32_t Int32At(WireOrder* record, std::size_t offset) {
    std::int32_t value = 0;
    std::memcpy(&value, reinterpret_cast<unsigned char*>(record) + offset, sizeof value);
    return value;
}

double OleDate(int year, int month, int day, int hour, int minute, int second) {
    SYSTEMTIME time{};
    time.wYear = static_cast<std::uint16_t>(year);
    time.wMonth = static_cast<std::uint16_t>(month);
    time.wDay = static_cast<std::uint16_t>(day);
    time.wHour = static_cast<std::uint16_t>(hour);
    time.wMinute = static_cast<std::uint16_t>(minute);
    time.wSecond = static_cast<std::uint16_t>(second);
    double date = 0.0;
    EXPECT_NE(SystemTimeToVariantTime(&time, &date), 0);
    return date;
}

std::u16string Units(BSTR text) {
    return text == nullptr ? u"" : std::u16string(text);
}

TEST(CLMWireOrder, DefaultOrderHoldsTheRecordDefaults) {
    const double before = CurrentOleDate();
    CLMWireOrder order;
    const double after = CurrentOleDate();

    EXPECT_EQ(order.getOrderStatus(), 1);
    EXPECT_EQ(order.getOrderType(), 1);
    EXPECT_EQ(order.getRestrictions(), 1);
    EXPECT_EQ(order.getQty(), 0);
    EXPECT_EQ(order.getPrice(), 0);
    EXPECT_EQ(order.getOrderID(), 0);
    EXPECT_EQ(order.getFillID(), 0);
    EXPECT_EQ(order.getExchangeID(), 0);
    EXPECT_EQ(order.getPriceFormatCode(), 0);
    EXPECT_FALSE(order.getIsBuy());
    EXPECT_EQ(order.getAPIOrderID(), 0);
    EXPECT_EQ(order.getVeyID(), "");
    EXPECT_EQ(order.getExchangeOrderNumber(), "");
    EXPECT_EQ(order.getSymbol(), "");

    WireOrder* record = order.getWireOrder();
    EXPECT_GE(record->TimeCreated, before);
    EXPECT_LE(record->TimeCreated, after);
    EXPECT_EQ(record->FillTime, 0.0);
    EXPECT_EQ(record->TimeSent, 0.0);
    for (BSTR text : {record->VeyID, record->ExchangeOrderNumber, record->reservedText,
                      record->Contract.symbol, record->Contract.name}) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(SysStringLen(text), 0u);
    }
}

struct LongField {
    const char* name;
    void (CLMWireOrder::*set)(long);
    long (CLMWireOrder::*get)() const;
    std::size_t offset;
};

void PrintTo(const LongField& field, std::ostream* out) {
    *out << field.name;
}

class LongFields : public ::testing::TestWithParam<LongField> {};

// Each accessor reaches its own field and keeps the low 32 bits of a wider argument.
TEST_P(LongFields, StoreAtTheirOffsetAndKeepLow32Bits) {
    const LongField& field = GetParam();
    CLMWireOrder order;
    for (long value : {123456L, -98765L, 0x1'0000'0005L, 0x8000'0000L}) {
        (order.*field.set)(value);
        const auto expected = static_cast<std::int32_t>(value);
        EXPECT_EQ((order.*field.get)(), expected) << field.name << " " << value;
        EXPECT_EQ(Int32At(order.getWireOrder(), field.offset), expected) << field.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    CLMWireOrder, LongFields,
    ::testing::Values(
        LongField{"FilledQty", &CLMWireOrder::setFillQty, &CLMWireOrder::getFilledQty, 24},
        LongField{"FillPrice", &CLMWireOrder::setFillPrice, &CLMWireOrder::getFillPrice, 28},
        LongField{"Price", &CLMWireOrder::setPrice, &CLMWireOrder::getPrice, 40},
        LongField{"Qty", &CLMWireOrder::setQty, &CLMWireOrder::getQty, 56},
        LongField{"OriginalQuantity", &CLMWireOrder::setOriginalQuantity,
                  &CLMWireOrder::getOriginalQuantity, 64},
        LongField{"OrderID", &CLMWireOrder::setOrderID, &CLMWireOrder::getOrderID, 68},
        LongField{"OriginalOrderID", &CLMWireOrder::setOriginalOrderID,
                  &CLMWireOrder::getOriginalOrderID, 72},
        LongField{"RemainingQuantity", &CLMWireOrder::setRemainingQuantity,
                  &CLMWireOrder::getRemainingQuantity, 80},
        LongField{"StopPrice", &CLMWireOrder::setStopPrice, &CLMWireOrder::getStopPrice, 84},
        LongField{"FillID", &CLMWireOrder::setFillID, &CLMWireOrder::getFillID, 88}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CLMWireOrder, EnumerationAndIntFieldsReachTheirFields) {
    CLMWireOrder order;
    order.setOrderStatus(static_cast<enumOrderStatus>(77));
    order.setOrderType(otStopLimit);
    order.setRestrictions(orFillOrKill);
    order.setAccountID(-42);
    order.setContractID(9001);
    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(14));

    WireOrder* record = order.getWireOrder();
    EXPECT_EQ(Int32At(record, 0), 77);
    EXPECT_EQ(Int32At(record, 16), otStopLimit);
    EXPECT_EQ(Int32At(record, 20), orFillOrKill);
    EXPECT_EQ(Int32At(record, 92), -42);
    EXPECT_EQ(record->Contract.contractID, 9001);
    EXPECT_EQ(record->Contract.priceFormatCode, 14);
    EXPECT_EQ(order.getOrderStatus(), 77);
    EXPECT_EQ(order.getAccountID(), -42);
    EXPECT_EQ(order.getContractID(), 9001);
}

TEST(CLMWireOrder, IsBuyIsTrueOnlyForOne) {
    CLMWireOrder order;
    order.setIsBuy(true);
    EXPECT_TRUE(order.getIsBuy());
    EXPECT_EQ(order.getWireOrder()->IsBuy, 1);
    order.getWireOrder()->IsBuy = 2;
    EXPECT_FALSE(order.getIsBuy());
    order.getWireOrder()->IsBuy = -1;
    EXPECT_FALSE(order.getIsBuy());
    order.setIsBuy(false);
    EXPECT_EQ(order.getWireOrder()->IsBuy, 0);
}

TEST(CLMWireOrder, ExchangeIdKeepsSixteenBitsSignExtended) {
    CLMWireOrder order;
    const std::vector<std::pair<int, int>> cases = {
        {70000, 4464}, {-5, -5}, {32767, 32767}, {32768, -32768}, {65535, -1}};
    for (const auto& [in, out] : cases) {
        order.setExchangeID(in);
        EXPECT_EQ(order.getExchangeID(), out) << in;
        EXPECT_EQ(order.getWireOrder()->Contract.exchangeID, out);
    }
}

TEST(CLMWireOrder, ApiOrderIdIsTheContractsReservedDoubleTruncated) {
    CLMWireOrder order;
    order.setAPIOrderID(-7);
    EXPECT_EQ(order.getAPIOrderID(), -7);
    double stored = 0.0;
    std::memcpy(&stored, order.getWireOrder()->Contract.reserved3, sizeof stored);
    EXPECT_EQ(stored, -7.0);

    for (int value : {std::numeric_limits<int>::min(), std::numeric_limits<int>::max()}) {
        order.setAPIOrderID(value);
        EXPECT_EQ(order.getAPIOrderID(), value);
    }

    const std::vector<std::pair<double, int>> cases = {
        {12.9, 12},
        {-12.9, -12},
        {-0.5, 0},
        {std::nan(""), 0},
        {1e12, std::numeric_limits<int>::max()},
        {-1e12, std::numeric_limits<int>::min()},
        {std::numeric_limits<double>::infinity(), std::numeric_limits<int>::max()},
        {2147483647.9, std::numeric_limits<int>::max()},
        {-2147483648.9, std::numeric_limits<int>::min()}};
    for (const auto& [raw, expected] : cases) {
        std::memcpy(order.getWireOrder()->Contract.reserved3, &raw, sizeof raw);
        EXPECT_EQ(order.getAPIOrderID(), expected) << raw;
    }
}

TEST(CLMWireOrder, TextsConvertThroughTheAnsiCodePage) {
    CLMWireOrder order;
    order.setVeyID("ABC");
    order.setExchangeOrderNumber("EX-42");
    order.setSymbol("caf\xE9 \x80");
    EXPECT_EQ(order.getVeyID(), "ABC");
    EXPECT_EQ(order.getExchangeOrderNumber(), "EX-42");
    EXPECT_EQ(order.getSymbol(), "caf\xE9 \x80");

    WireOrder* record = order.getWireOrder();
    EXPECT_EQ(Units(record->VeyID), u"ABC");
    EXPECT_EQ(Units(record->ExchangeOrderNumber), u"EX-42");
    // The symbol is the contract's full name; its short symbol is left alone.
    EXPECT_EQ(Units(record->Contract.name), u"caf\u00E9 \u20AC");
    EXPECT_EQ(Units(record->Contract.symbol), u"");

    order.setVeyID(std::string("AB\0CD", 5));
    EXPECT_EQ(order.getVeyID(), "AB");
    order.setSymbol("");
    EXPECT_EQ(order.getSymbol(), "");
    ASSERT_NE(record->Contract.name, nullptr);
}

TEST(CLMWireOrder, TimesAreWholeSecondsSince1970) {
    CLMWireOrder order;
    WireOrder* record = order.getWireOrder();
    record->FillTime = OleDate(1970, 1, 2, 0, 0, 0);
    record->TimeSent = OleDate(2009, 2, 13, 23, 31, 30) + 0.4 / 86400.0;
    EXPECT_EQ(order.getFillTime(), 86400);
    EXPECT_EQ(order.getTimeSent(), 1234567890);

    record->FillTime = OleDate(2038, 1, 19, 3, 14, 7);
    EXPECT_EQ(order.getFillTime(), 2147483647L);
    record->TimeSent = UnixTimeToOleDate(0.0);
    EXPECT_EQ(order.getTimeSent(), 0);
}

// A source with every field, reserved bytes and texts set, as the receiving side fills one.
void FillSource(WireOrder& source) {
    auto* bytes = reinterpret_cast<unsigned char*>(&source);
    for (std::size_t i = 0; i < WireOrder::kFixedSize; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 7 + 3);
    }
    source.OrderStatus = osWorking;
    source.OrderID = 555;
    auto* contract = reinterpret_cast<unsigned char*>(&source.Contract);
    for (std::size_t i = 0; i < WireContract::kFixedSize; ++i) {
        contract[i] = static_cast<unsigned char>(200 - i);
    }
    SetWireText(source.VeyID, "vey");
    SetWireText(source.ExchangeOrderNumber, "exch");
    FreeWireText(source.reservedText);  // null: becomes an empty text in a copy
    SetWireText(source.Contract.symbol, "ES");
    SetWireText(source.Contract.name, "ESZ4");
}

TEST(CLMWireOrder, CopiesItsSourceRecordDeeply) {
    auto source = std::make_unique<WireOrder>();
    FillSource(*source);
    WireOrder reference(*source);

    CLMWireOrder order(source.get());
    WireOrder* copy = order.getWireOrder();
    ASSERT_NE(copy, source.get());
    EXPECT_NE(copy->VeyID, source->VeyID);
    EXPECT_NE(copy->Contract.name, source->Contract.name);

    // Change and then release the source: the order is not touched.
    source->OrderID = 1;
    SetWireText(source->VeyID, "changed");
    SetWireText(source->Contract.name, "changed");
    source.reset();

    EXPECT_EQ(std::memcmp(copy, &reference, WireOrder::kFixedSize), 0);
    EXPECT_EQ(std::memcmp(&copy->Contract, &reference.Contract, WireContract::kFixedSize), 0);
    EXPECT_EQ(order.getOrderID(), 555);
    EXPECT_EQ(order.getVeyID(), "vey");
    EXPECT_EQ(order.getExchangeOrderNumber(), "exch");
    EXPECT_EQ(order.getSymbol(), "ESZ4");
    EXPECT_EQ(Units(copy->Contract.symbol), u"ES");
    ASSERT_NE(copy->reservedText, nullptr);
    EXPECT_EQ(SysStringLen(copy->reservedText), 0u);
}

TEST(CLMWireOrder, NullSourceIsRefused) {
    EXPECT_THROW(CLMWireOrder(static_cast<WireOrder*>(nullptr)), std::invalid_argument);
}

TEST(CLMWireOrder, CopiesAndAssignmentsOwnTheirRecords) {
    WireOrder source;
    FillSource(source);
    CLMWireOrder original(&source);
    original.setPriceFormatCode(static_cast<enumPriceFormatCode>(6));

    CLMWireOrder copy(original);
    CLMWireOrder assigned;
    assigned.setVeyID("old");
    assigned = original;
    for (CLMWireOrder* other : {&copy, &assigned}) {
        ASSERT_NE(other->getWireOrder(), original.getWireOrder());
        EXPECT_NE(other->getWireOrder()->VeyID, original.getWireOrder()->VeyID);
        EXPECT_EQ(
            std::memcmp(other->getWireOrder(), original.getWireOrder(), WireOrder::kFixedSize), 0);
        EXPECT_EQ(other->getVeyID(), "vey");
        EXPECT_EQ(other->getSymbol(), "ESZ4");
        EXPECT_EQ(other->PriceFromTicks(1234), "38.18");
    }

    original.setVeyID("changed");
    original.setOrderID(1);
    EXPECT_EQ(copy.getVeyID(), "vey");
    EXPECT_EQ(assigned.getOrderID(), 555);

    CLMWireOrder& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.getVeyID(), "vey");
}

TEST(WireOrder, CopyAndAssignmentAreDeep) {
    WireOrder source;
    FillSource(source);
    WireOrder copy(source);
    WireOrder assigned;
    assigned = source;
    for (WireOrder* other : {&copy, &assigned}) {
        EXPECT_NE(other->VeyID, source.VeyID);
        EXPECT_EQ(Units(other->VeyID), u"vey");
        EXPECT_EQ(Units(other->Contract.name), u"ESZ4");
        EXPECT_EQ(std::memcmp(other, &source, WireOrder::kFixedSize), 0);
    }
}

TEST(CLMWireOrder, PriceMembersReadTheOrdersCodeOnEveryCall) {
    CLMWireOrder order;
    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(14));
    EXPECT_EQ(order.DisplayToTicks("12.34"), 1234);
    EXPECT_EQ(order.GetPriceFormatCodeDivisor(), 100);

    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(6));
    EXPECT_EQ(order.DecimalToTicks(38.5625), 1234);
    EXPECT_EQ(order.PriceFromTicks(1234), "38.18");
    EXPECT_EQ(order.GetPriceFormatCodeDivisor(), 32);
    EXPECT_DOUBLE_EQ(order.TicksToDecimal(1234), 38.5625);
    EXPECT_EQ(order.DisplayToTicks("38.18"), 1221);

    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(14));
    EXPECT_EQ(order.DecimalToTicks(12.34), 1234);
}

TEST(CLMWireOrder, PriceMembersWithoutCodeGiveNeutralResults) {
    CLMWireOrder order;
    EXPECT_EQ(order.PriceFromTicks(5), "");
    EXPECT_DOUBLE_EQ(order.TicksToDecimal(5), 5.0);
    EXPECT_EQ(order.GetPriceFormatCodeDivisor(), 0);
    EXPECT_EQ(order.DecimalToTicks(1.5), 0);
    EXPECT_EQ(order.DisplayToTicks("1.5"), 0);
}

TEST(CLMWireOrder, ToStringIsEmptyForAPopulatedOrder) {
    WireOrder source;
    FillSource(source);
    CLMWireOrder order(&source);
    EXPECT_EQ(order.ToString(), "");
}

}  // namespace
}  // namespace Lumera
