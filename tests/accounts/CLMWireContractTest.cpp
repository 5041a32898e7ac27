#include "wire_types/accounts/CLMWireContract.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using testing::FillPattern;
using testing::SameBlock;
using testing::StoreText;
using testing::Units;

TEST(CLMWireContract, DefaultHoldsZerosAndNullTexts) {
    CLMWireContract contract;
    EXPECT_EQ(contract.getMonth(), 0);
    EXPECT_EQ(contract.getYear(), 0);
    EXPECT_EQ(contract.getExchangeID(), 0);
    EXPECT_EQ(contract.getcontractType(), 0);
    EXPECT_EQ(contract.getpriceFormatCode(), 0);
    EXPECT_EQ(contract.getContractID(), 0);
    EXPECT_EQ(contract.getTickValue(), 0.0);
    EXPECT_EQ(contract.getCurrency(), 0);
    EXPECT_EQ(contract.getSymbol(), "");
    EXPECT_EQ(contract.getName(), "");
    EXPECT_EQ(contract.getWireContract()->symbol, nullptr);
    EXPECT_EQ(contract.getWireContract()->name, nullptr);
    const std::vector<unsigned char> zeros(WireContract::kFixedSize, 0);
    EXPECT_TRUE(SameBlock(contract.getWireContract(), zeros.data(), zeros.size()));
}

TEST(CLMWireContract, CopiesEveryByteOfTheBlockAndLeavesTheSourceAlone) {
    WireContract source;
    FillPattern(&source, WireContract::kFixedSize, 40);
    StoreText(source.symbol, u"ESH3");
    StoreText(source.name, u"E-mini S&P");
    WireContract before(source);

    CLMWireContract contract(&source);
    WireContract* copy = contract.getWireContract();
    EXPECT_TRUE(SameBlock(copy, &source, WireContract::kFixedSize));
    EXPECT_EQ(contract.getContractID(), source.contractID);
    EXPECT_EQ(contract.getExchangeID(), source.exchangeID);
    EXPECT_EQ(contract.getSymbol(), "ESH3");
    EXPECT_EQ(contract.getName(), "E-mini S&P");
    EXPECT_NE(copy->symbol, source.symbol);
    EXPECT_NE(copy->name, source.name);

    contract.setName("changed");
    contract.setContractID(1);
    EXPECT_TRUE(SameBlock(&before, &source, WireContract::kFixedSize));
    EXPECT_EQ(Units(source.name), u"E-mini S&P");
}

TEST(CLMWireContract, TextsOfTheCopyFollowTheFlatForm) {
    struct Case {
        const char* what;
        bool null;
        std::u16string source;
        std::string text;
        std::u16string stored;
    };
    const std::vector<Case> cases = {
        {"null", true, u"", "", u""},
        {"empty", false, u"", "", u""},
        {"cut at a zero unit", false, std::u16string(u"AB\0CD", 5), "AB", u"AB"},
        {"code page characters", false, u"\u20AC\u00E9", "\x80\xE9", u"\u20AC\u00E9"},
        {"outside the code page", false, u"A\u03A9B", "A?B", u"A?B"},
        {"surrogate pair", false, u"\U0001F600", "??", u"??"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WireContract source;
        if (c.null) {
            SysFreeString(source.name);
            source.name = nullptr;
        } else {
            StoreText(source.name, c.source);
        }
        CLMWireContract contract(&source);
        EXPECT_EQ(contract.getName(), c.text);
        ASSERT_NE(contract.getWireContract()->name, nullptr);
        EXPECT_EQ(Units(contract.getWireContract()->name), c.stored);
    }
}

TEST(CLMWireContract, SettersStoreIntoTheOwnRecord) {
    CLMWireContract contract;
    WireContract* record = contract.getWireContract();
    contract.setMonth(3);
    contract.setYear(2013);
    contract.setExchangeID(-7);
    contract.setContractType(ctOption);
    contract.setpriceFormatCode(static_cast<enumPriceFormatCode>(14));
    contract.setCurrency(curEUR);
    EXPECT_EQ(contract.setTickValue(12.5), 12.5);
    contract.setSymbol(std::string("AB\0C", 4));
    contract.setName("Name");

    EXPECT_EQ(record, contract.getWireContract());
    EXPECT_EQ(record->month, 3);
    EXPECT_EQ(record->year, 2013);
    EXPECT_EQ(record->exchangeID, -7);
    EXPECT_EQ(contract.getcontractType(), ctOption);
    EXPECT_EQ(record->priceFormatCode, 14);
    EXPECT_EQ(contract.getCurrency(), curEUR);
    EXPECT_EQ(contract.getTickValue(), 12.5);
    EXPECT_EQ(contract.getSymbol(), "AB");
    EXPECT_EQ(Units(record->name), u"Name");

    contract.setContractID(0x100000005L);
    EXPECT_EQ(contract.getContractID(), 5);
    contract.setContractID(-2);
    EXPECT_EQ(record->contractID, -2);

    record->contractID = 77;
    EXPECT_EQ(contract.getContractID(), 77);
}

WireContract RawWithCode(int code) {
    WireContract raw;
    raw.priceFormatCode = static_cast<enumPriceFormatCode>(code);
    return raw;
}

TEST(CLMWireContract, PriceMembersUseTheContractsFormat) {
    WireContract raw = RawWithCode(6);
    CLMWireContract contract(&raw);
    EXPECT_EQ(contract.PriceFromTicks(1234), "38.18");
    EXPECT_EQ(contract.GetPriceFormatCodeDivisor(), 32);
    EXPECT_DOUBLE_EQ(contract.TicksToDecimal(1234), 38.5625);
    EXPECT_EQ(contract.DecimalToTicks(38.5625), 1234);
    EXPECT_EQ(contract.DisplayToTicks("38.18"), 1221);
    EXPECT_EQ(contract.GetNumberOfDecimalPlaces(), 2);
}

TEST(CLMWireContract, ParsingFollowsANewCodeOnlyAfterAnotherPriceMemberRan) {
    struct Refresh {
        const char* what;
        void (*run)(CLMWireContract&);
    };
    const std::vector<Refresh> refreshes = {
        {"divisor", [](CLMWireContract& c) { c.GetPriceFormatCodeDivisor(); }},
        {"display", [](CLMWireContract& c) { c.PriceFromTicks(1); }},
        {"decimal", [](CLMWireContract& c) { c.TicksToDecimal(1); }},
        {"places", [](CLMWireContract& c) { c.GetNumberOfDecimalPlaces(); }},
    };
    for (const Refresh& refresh : refreshes) {
        SCOPED_TRACE(refresh.what);
        WireContract raw = RawWithCode(6);
        CLMWireContract contract(&raw);
        contract.setpriceFormatCode(static_cast<enumPriceFormatCode>(14));
        EXPECT_EQ(contract.DecimalToTicks(12.34), 394);
        EXPECT_EQ(contract.DisplayToTicks("12.34"), 394);
        refresh.run(contract);
        EXPECT_EQ(contract.DecimalToTicks(12.34), 1234);
        EXPECT_EQ(contract.DisplayToTicks("12.34"), 1234);
    }
}

TEST(CLMWireContract, WithoutAFormatPricesAreNeutral) {
    CLMWireContract contract;
    EXPECT_EQ(contract.PriceFromTicks(5), "");
    EXPECT_EQ(contract.TicksToDecimal(5), 5.0);
    EXPECT_EQ(contract.GetPriceFormatCodeDivisor(), 0);
    EXPECT_EQ(contract.DecimalToTicks(1.5), 0);
    EXPECT_EQ(contract.DisplayToTicks("1.5"), 0);
    EXPECT_EQ(contract.GetNumberOfDecimalPlaces(), 0);
}

TEST(CLMWireContract, CopyOutlivesItsSourceWithTheSameConverterState) {
    WireContract raw = RawWithCode(6);
    FillPattern(raw.reserved3, sizeof raw.reserved3, 9);
    StoreText(raw.name, u"ABH3");
    auto source = std::make_unique<CLMWireContract>(&raw);
    source->setpriceFormatCode(static_cast<enumPriceFormatCode>(14));

    CLMWireContract copy(*source);
    EXPECT_NE(copy.getWireContract(), source->getWireContract());
    EXPECT_NE(copy.getWireContract()->name, source->getWireContract()->name);
    source.reset();

    EXPECT_EQ(copy.getName(), "ABH3");
    EXPECT_EQ(copy.getSymbol(), "");
    EXPECT_TRUE(SameBlock(copy.getWireContract()->reserved3, raw.reserved3, 8));
    EXPECT_EQ(copy.DecimalToTicks(12.34), 394);
    EXPECT_EQ(copy.GetPriceFormatCodeDivisor(), 100);
    EXPECT_EQ(copy.DecimalToTicks(12.34), 1234);
}

TEST(CLMWireContract, CopyOfADefaultContractKeepsNullTexts) {
    CLMWireContract source;
    CLMWireContract copy(source);
    EXPECT_EQ(copy.getWireContract()->symbol, nullptr);
    EXPECT_EQ(copy.getWireContract()->name, nullptr);
}

TEST(CLMWireContract, AssignmentReplacesWithAnIndependentCopy) {
    WireContract raw = RawWithCode(6);
    StoreText(raw.name, u"first");
    CLMWireContract target(&raw);
    auto source = std::make_unique<CLMWireContract>();
    source->setName("second");
    source->setContractID(2);

    target = *source;
    source->setName("changed");
    source.reset();
    EXPECT_EQ(target.getName(), "second");
    EXPECT_EQ(target.getContractID(), 2);
    EXPECT_EQ(target.DecimalToTicks(1.0), 0);

    WireContract* before = target.getWireContract();
    CLMWireContract& self = target;
    target = self;
    EXPECT_EQ(target.getWireContract(), before);
    EXPECT_EQ(target.getName(), "second");
}

TEST(CLMWireContract, NullRecordIsRefused) {
    EXPECT_THROW(CLMWireContract(static_cast<WireContract*>(nullptr)), std::invalid_argument);
}

}  // namespace
}  // namespace Lumera
