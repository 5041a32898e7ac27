#include "wire_types/orders/CLMWireOrder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "OleText.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {
namespace {

std::int32_t Int32At(WireOrder* record, std::size_t offset) {
    std::int32_t value = 0;
    std::memcpy(&value, reinterpret_cast<unsigned char*>(record) + offset, sizeof value);
    return value;
}

OleString Units(BSTR text) {
    return text == nullptr ? OLESTR("") : OleString(text);
}

// Each accessor reaches its own field and keeps the low 32 bits of a wider argument.
TEST(CLMWireOrder, LongFieldsStoreAtTheirOffsetAndKeepLow32Bits) {
    using Setter = void (CLMWireOrder::*)(long);
    using Getter = long (CLMWireOrder::*)() const;
    const std::tuple<Setter, Getter, std::size_t> fields[] = {
        {&CLMWireOrder::setFillQty, &CLMWireOrder::getFilledQty, 24},
        {&CLMWireOrder::setFillPrice, &CLMWireOrder::getFillPrice, 28},
        {&CLMWireOrder::setPrice, &CLMWireOrder::getPrice, 40},
        {&CLMWireOrder::setQty, &CLMWireOrder::getQty, 56},
        {&CLMWireOrder::setOriginalQuantity, &CLMWireOrder::getOriginalQuantity, 64},
        {&CLMWireOrder::setOrderID, &CLMWireOrder::getOrderID, 68},
        {&CLMWireOrder::setOriginalOrderID, &CLMWireOrder::getOriginalOrderID, 72},
        {&CLMWireOrder::setRemainingQuantity, &CLMWireOrder::getRemainingQuantity, 80},
        {&CLMWireOrder::setStopPrice, &CLMWireOrder::getStopPrice, 84},
        {&CLMWireOrder::setFillID, &CLMWireOrder::getFillID, 88}};
    // The extremes of long, and where long is wider than 32 bits a value beyond them.
    std::vector<long> values = {-98765L, std::numeric_limits<long>::min(),
                                std::numeric_limits<long>::max()};
    if (sizeof(long) > sizeof(std::int32_t)) {
        values.push_back(static_cast<long>(0x1'8000'0005LL));
    }
    for (const auto& [set, get, offset] : fields) {
        SCOPED_TRACE(offset);
        CLMWireOrder order;
        for (long value : values) {
            (order.*set)(value);
            const auto expected = static_cast<std::int32_t>(value);
            EXPECT_EQ((order.*get)(), expected);
            EXPECT_EQ(Int32At(order.getWireOrder(), offset), expected);
        }
    }
}

TEST(CLMWireOrder, DefaultsAndNarrowFieldsReachTheirFields) {
    const double before = detail::CurrentOleDate();
    CLMWireOrder order;
    WireOrder* record = order.getWireOrder();
    EXPECT_GE(record->TimeCreated, before);
    EXPECT_LE(record->TimeCreated, detail::CurrentOleDate());
    for (BSTR text : {record->VeyID, record->ExchangeOrderNumber, record->reservedText,
                      record->Contract.symbol, record->Contract.name}) {
        ASSERT_NE(text, nullptr);
        EXPECT_EQ(SysStringLen(text), 0u);
    }
    // Status, type and restrictions start at 1.
    for (std::size_t offset : {0, 16, 20}) {
        EXPECT_EQ(Int32At(record, offset), 1) << offset;
    }
    order.setAccountID(-42);
    EXPECT_EQ(Int32At(record, 92), -42);
    // Texts go to their own fields; the symbol is the contract's full name, not its symbol.
    order.setVeyID("vey");
    order.setExchangeOrderNumber("ex");
    order.setSymbol("caf\xE9");
    EXPECT_EQ(Units(record->VeyID), OLESTR("vey"));
    EXPECT_EQ(Units(record->Contract.name), OLESTR("caf\u00E9"));
    EXPECT_EQ(Units(record->Contract.symbol), OLESTR(""));
    EXPECT_EQ(order.getVeyID() + order.getExchangeOrderNumber() + order.getSymbol(),
              "veyexcaf\xE9");

    order.setIsBuy(true);
    EXPECT_EQ(record->IsBuy, 1);
    record->IsBuy = 2;  // true only for 1
    EXPECT_FALSE(order.getIsBuy());

    for (const auto& [in, out] : {std::pair{70000, 4464}, {32768, -32768}, {65535, -1}}) {
        order.setExchangeID(in);
        EXPECT_EQ(order.getExchangeID(), out) << in;
        EXPECT_EQ(record->Contract.exchangeID, out);
    }
}

TEST(CLMWireOrder, ApiOrderIdAndTimesConvertTheirDoubles) {
    CLMWireOrder order;
    order.setAPIOrderID(-7);
    double stored = 0.0;
    std::memcpy(&stored, order.getWireOrder()->Contract.reserved3, sizeof stored);
    EXPECT_EQ(stored, -7.0);

    constexpr int kMin = std::numeric_limits<int>::min();
    constexpr int kMax = std::numeric_limits<int>::max();
    const std::pair<double, int> cases[] = {
        {12.9, 12}, {-12.9, -12}, {std::nan(""), 0}, {1e12, kMax}, {-1e12, kMin}};
    for (const auto& [raw, expected] : cases) {
        std::memcpy(order.getWireOrder()->Contract.reserved3, &raw, sizeof raw);
        EXPECT_EQ(order.getAPIOrderID(), expected) << raw;
    }
    constexpr double kUnixEpoch = 25569.0;  // 1970-01-01 as days since 1899-12-30
    order.getWireOrder()->FillTime = kUnixEpoch + 1.0;
    order.getWireOrder()->TimeSent = kUnixEpoch + 1234567890.4 / 86400.0;
    EXPECT_EQ(order.getFillTime(), 86400);
    EXPECT_EQ(order.getTimeSent(), 1234567890);
}

// A source with every fixed byte, the contract and the texts set, as the receiving side fills one.
void FillSource(WireOrder& source) {
    for (auto [block, size] : {std::pair<void*, std::size_t>{&source, WireOrder::kFixedSize},
                               {&source.Contract, WireContract::kFixedSize}}) {
        for (std::size_t i = 0; i < size; ++i) {
            static_cast<unsigned char*>(block)[i] = static_cast<unsigned char>(i * 7 + size);
        }
    }
    detail::SetWireText(source.VeyID, "vey");
    detail::FreeWireText(source.reservedText);  // null: becomes an empty text in a copy
    detail::SetWireText(source.Contract.symbol, "ES");
    detail::SetWireText(source.Contract.name, "ESZ4");
}

TEST(CLMWireOrder, CopiesOfRecordsAndOrdersAreDeep) {
    auto source = std::make_unique<WireOrder>();
    FillSource(*source);
    WireOrder reference(*source);
    WireOrder assignedRecord;
    assignedRecord = *source;
    CLMWireOrder order(source.get());
    CLMWireOrder copy(order);
    CLMWireOrder assigned;
    assigned = order;

    // Change and then release the sources: the copies are not touched.
    detail::SetWireText(source->VeyID, "changed");
    detail::SetWireText(source->Contract.name, "changed");
    source.reset();
    order.setVeyID("changed");
    for (WireOrder* other : {&assignedRecord, copy.getWireOrder(), assigned.getWireOrder()}) {
        EXPECT_EQ(std::memcmp(other, &reference, WireOrder::kFixedSize), 0);
        EXPECT_EQ(std::memcmp(&other->Contract, &reference.Contract, WireContract::kFixedSize), 0);
        EXPECT_EQ(Units(other->VeyID), OLESTR("vey"));
        EXPECT_EQ(Units(other->Contract.symbol), OLESTR("ES"));
        EXPECT_EQ(Units(other->Contract.name), OLESTR("ESZ4"));
        ASSERT_NE(other->reservedText, nullptr);
    }
    EXPECT_EQ(order.ToString(), "");
    EXPECT_THROW(CLMWireOrder(static_cast<WireOrder*>(nullptr)), std::invalid_argument);
}

// Each of the five texts of a record, with a unit outside Windows-1252 (a Greek letter, a lone
// surrogate, the unit 0x80 that Windows-1252 spells otherwise), one it can express beyond ASCII
// (the euro sign) and an embedded NUL.
TEST(CLMWireOrder, RecordsFollowTheFlatFormAndObjectCopiesAreExact) {
    const OLECHAR units[] = {u'a', 0x03A9, 0xD800, 0x0080, 0x20AC, 0x00E9, 0, u'z'};
    const OleString exact = OLESTR("a\u03A9\xD800\x0080\u20AC\u00E9");
    const OleString flat = OLESTR("a???\u20AC\u00E9");
    WireOrder source;
    BSTR* fields[] = {&source.VeyID, &source.ExchangeOrderNumber, &source.reservedText,
                      &source.Contract.symbol, &source.Contract.name};
    for (BSTR* field : fields) {
        detail::FreeWireText(*field);
        *field = SysAllocStringLen(units, sizeof units / sizeof units[0]);
    }
    const auto textsOf = [](WireOrder& record) {
        return std::vector<OleString>{Units(record.VeyID), Units(record.ExchangeOrderNumber),
                                      Units(record.reservedText), Units(record.Contract.symbol),
                                      Units(record.Contract.name)};
    };
    const std::vector<OleString> exactTexts(5, exact), flatTexts(5, flat);

    CLMWireOrder fromRecord(&source);
    EXPECT_EQ(textsOf(*fromRecord.getWireOrder()), flatTexts);
    WireOrder recordCopy(source);
    EXPECT_EQ(textsOf(recordCopy), exactTexts);

    CLMWireOrder order;
    *order.getWireOrder() = source;
    EXPECT_EQ(textsOf(*order.getWireOrder()), exactTexts);
    CLMWireOrder copy(order);
    CLMWireOrder assigned;
    assigned = order;
    EXPECT_EQ(textsOf(*copy.getWireOrder()), exactTexts);
    EXPECT_EQ(textsOf(*assigned.getWireOrder()), exactTexts);
    EXPECT_EQ(order.getVeyID(), "a???\x80\xE9");

    // A null text becomes an empty one, in a record copy as through the flat form.
    detail::FreeWireText(source.ExchangeOrderNumber);
    detail::FreeWireText(source.Contract.name);
    CLMWireOrder fromNulls(&source);
    WireOrder copyOfNulls(source);
    for (WireOrder* record : {fromNulls.getWireOrder(), &copyOfNulls}) {
        ASSERT_NE(record->ExchangeOrderNumber, nullptr);
        ASSERT_NE(record->Contract.name, nullptr);
        EXPECT_EQ(SysStringLen(record->Contract.name), 0u);
    }
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
