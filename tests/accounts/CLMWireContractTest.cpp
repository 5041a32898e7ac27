#include "wire_types/accounts/CLMWireContract.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using testing::FillPattern;
using testing::StoreText;
using testing::Units;

const auto kCode6 = static_cast<enumPriceFormatCode>(6);
const auto kCode14 = static_cast<enumPriceFormatCode>(14);

TEST(CLMWireContract, DefaultHoldsZerosAndNullTextsAndItsCopyToo) {
    CLMWireContract contract;
    const std::vector<unsigned char> zeros(WireContract::kFixedSize, 0);
    EXPECT_EQ(std::memcmp(contract.getWireContract(), zeros.data(), zeros.size()), 0);
    EXPECT_EQ(contract.getName(), "");
    CLMWireContract copy(contract);
    EXPECT_EQ(copy.getWireContract()->symbol, nullptr);
    EXPECT_EQ(copy.getWireContract()->name, nullptr);
}

TEST(CLMWireContract, CopiesTheWholeBlockAndLeavesTheSourceAlone) {
    WireContract source;
    FillPattern(&source, WireContract::kFixedSize, 40);
    StoreText(source.name, u"E-mini");
    CLMWireContract contract(&source);
    EXPECT_EQ(std::memcmp(contract.getWireContract(), &source, WireContract::kFixedSize), 0);
    EXPECT_EQ(contract.getContractID(), source.contractID);
    EXPECT_NE(contract.getWireContract()->name, source.name);
    contract.setName("changed");
    contract.getWireContract()->contractID = 77;
    EXPECT_EQ(contract.getContractID(), 77);
    EXPECT_EQ(Units(source.name), u"E-mini");
    EXPECT_NE(source.contractID, 77);
}

TEST(CLMWireContract, TextsOfTheCopyFollowTheCodePage) {
    struct Case {
        std::u16string source;  // "<null>" for a null field
        std::string text;
        std::u16string stored;
    };
    const std::vector<Case> cases = {
        {u"<null>", "", u""},
        {std::u16string(u"AB\0CD", 5), "AB", u"AB"},
        {u"\u20AC\u00E9", "\x80\xE9", u"\u20AC\u00E9"},
        {u"A\u03A9B", "A?B", u"A?B"},
        {u"\U0001F600", "??", u"??"},
    };
    for (const Case& c : cases) {
        WireContract source;
        StoreText(source.symbol, c.source);
        if (c.source == u"<null>") {
            SysFreeString(source.symbol);
            source.symbol = nullptr;
        }
        CLMWireContract contract(&source);
        EXPECT_EQ(contract.getSymbol(), c.text);
        EXPECT_EQ(Units(contract.getWireContract()->symbol), c.stored);
    }
}

TEST(CLMWireContract, Setters) {
    CLMWireContract contract;
    EXPECT_EQ(contract.setTickValue(12.5), 12.5);
    EXPECT_EQ(contract.getTickValue(), 12.5);
    contract.setContractID(0x100000005L);
    EXPECT_EQ(contract.getWireContract()->contractID, 5);
    contract.setSymbol(std::string("AB\0C", 4));
    EXPECT_EQ(Units(contract.getWireContract()->symbol), u"AB");
    EXPECT_THROW(CLMWireContract(static_cast<WireContract*>(nullptr)), std::invalid_argument);
}

TEST(CLMWireContract, PriceMembersAndTheLagOfParsing) {
    WireContract raw;
    raw.priceFormatCode = kCode6;
    CLMWireContract contract(&raw);
    EXPECT_EQ(contract.PriceFromTicks(1234), "38.18");
    EXPECT_DOUBLE_EQ(contract.TicksToDecimal(1234), 38.5625);
    EXPECT_EQ(contract.DecimalToTicks(38.5625), 1234);
    EXPECT_EQ(contract.DisplayToTicks("38.18"), 1221);
    EXPECT_EQ(contract.GetNumberOfDecimalPlaces(), 2);

    void (*refreshes[])(CLMWireContract&) = {
        [](CLMWireContract& c) { EXPECT_EQ(c.GetPriceFormatCodeDivisor(), 100); },
        [](CLMWireContract& c) { EXPECT_EQ(c.PriceFromTicks(1234), "12.34"); },
        [](CLMWireContract& c) { EXPECT_EQ(c.TicksToDecimal(1234), 12.34); },
        [](CLMWireContract& c) { EXPECT_EQ(c.GetNumberOfDecimalPlaces(), 2); },
    };
    for (auto refresh : refreshes) {
        CLMWireContract lagging(&raw);
        lagging.setpriceFormatCode(kCode14);
        EXPECT_EQ(lagging.DecimalToTicks(12.34), 394);
        EXPECT_EQ(lagging.DisplayToTicks("12.34"), 394);
        refresh(lagging);
        EXPECT_EQ(lagging.DecimalToTicks(12.34), 1234);
        EXPECT_EQ(lagging.DisplayToTicks("12.34"), 1234);
    }
}

TEST(CLMWireContract, CopyAndAssignmentOutliveTheSourceWithItsConverterState) {
    WireContract raw;
    raw.priceFormatCode = kCode6;
    FillPattern(raw.reserved3, sizeof raw.reserved3, 9);
    StoreText(raw.name, u"ABH3");
    auto source = std::make_unique<CLMWireContract>(&raw);
    source->setpriceFormatCode(kCode14);
    CLMWireContract copy(*source);
    CLMWireContract assigned;
    assigned = *source;
    CLMWireContract& self = assigned;
    assigned = self;
    source.reset();

    for (CLMWireContract* contract : {&copy, &assigned}) {
        EXPECT_EQ(contract->getName(), "ABH3");
        EXPECT_EQ(std::memcmp(contract->getWireContract()->reserved3, raw.reserved3, 8), 0);
        EXPECT_EQ(contract->DecimalToTicks(12.34), 394);
        EXPECT_EQ(contract->GetPriceFormatCodeDivisor(), 100);
    }
    EXPECT_NE(copy.getWireContract()->name, assigned.getWireContract()->name);
}

}  // namespace
}  // namespace Lumera
