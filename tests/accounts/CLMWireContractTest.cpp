#include <gtest/gtest.h>
#include <cstdint>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "OleText.h"
#include "WideLong.h"
#include "accounts/AccountsTestSupport.h"
#include "wire_types/accounts/CLMWireAccountContractCollection.h"

namespace Lumera {
namespace {

using testing::FillPattern;
using testing::FillRaw;
using testing::SameRecordOwnStrings;
using testing::StoreText;
using testing::Units;

const auto kCode6 = static_cast<enumPriceFormatCode>(6);
const auto kCode14 = static_cast<enumPriceFormatCode>(14);

// The whole fixed block travels, padding included; the text becomes a string of its own.
TEST(CLMWireContract, CopiesTheRecordAndItsTextsThroughTheCodePage) {
    struct Case {
        OleString source;  // "<null>": a null field
        std::string text;
        OleString stored;
    };
    const std::vector<Case> cases = {
        {OLESTR("<null>"), "", OLESTR("")},  // as a default contract holds
        {OleString(OLESTR("AB\0CD"), 5), "AB", OLESTR("AB")},
        {OLESTR("\u20AC\u00E9"), "\x80\xE9", OLESTR("\u20AC\u00E9")},
        {OLESTR("A\u03A9B"), "A?B", OLESTR("A?B")},
        {OLESTR("\U0001F600"), "??", OLESTR("??")},
    };
    for (const Case& c : cases) {
        WireContract source;
        FillPattern(&source, WireContract::kFixedSize, 40);
        StoreText(source.symbol, c.source);
        if (c.source == OLESTR("<null>")) {
            SysFreeString(source.symbol);
            source.symbol = nullptr;
        }
        CLMWireContract contract(&source);
        EXPECT_EQ(std::memcmp(contract.getWireContract(), &source, WireContract::kFixedSize), 0);
        EXPECT_EQ(contract.getSymbol(), c.text);
        EXPECT_EQ(Units(contract.getWireContract()->symbol), c.stored);
        EXPECT_NE(contract.getWireContract()->symbol, source.symbol);
    }
}

TEST(CLMWireContract, PriceMembersAndTheLagOfParsing) {
    WireContract raw;
    raw.priceFormatCode = kCode6;
    CLMWireContract contract(&raw);
    EXPECT_EQ(contract.DecimalToTicks(38.5625), 1234);
    EXPECT_EQ(contract.DisplayToTicks("38.18"), 1221);

    // Parsing lags a change of code until a member that formats refreshes the converter; copies
    // keep the lag.
    CLMWireContract lagging(&raw);
    lagging.setpriceFormatCode(kCode14);
    CLMWireContract copy(lagging);
    CLMWireContract assigned;
    assigned = lagging;
    for (CLMWireContract* c : {&lagging, &copy, &assigned}) {
        EXPECT_EQ(c->DisplayToTicks("12.34"), 394);
        EXPECT_EQ(c->PriceFromTicks(1234), "12.34");
        EXPECT_EQ(c->DecimalToTicks(12.34), 1234);
    }
}

// The flat form read back (the checked reader given exactly its bytes) goes into the record only;
// RefreshWireContract rebuilds the contract object callers hold; the collection's entry stays.
TEST(CLMWireAccountContract, FlatFormReadsBackIntoTheRecordAndRefreshRebuildsTheContract) {
    WireAccountContract raw;
    FillRaw(raw, 42, OLESTR("S&P\u03A9"));
    raw.contract.priceFormatCode = kCode14;
    CLMWireAccountContract writer(&raw);
    ASSERT_EQ(writer.GetSize(), 108 + 6 + 5);
    std::vector<unsigned char> buffer(10 + 119 + 4, 0xCC);
    long offset = 10;
    writer.toPacket(offset, buffer.data());
    EXPECT_EQ(offset, 129);
    EXPECT_EQ(std::memcmp(buffer.data() + 10, &raw, 48), 0);
    EXPECT_EQ(std::memcmp(buffer.data() + 58, &raw.contract, 60), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 118, 11),
              std::string("SS&P?\0S&P?\0", 11));
    EXPECT_EQ(buffer[9], 0xCC);
    EXPECT_EQ(buffer[129], 0xCC);

    for (const bool checked : {false, true}) {
        CLMWireAccountContractCollection collection;
        auto* reader = new CLMWireAccountContract(7, 1, 6, 2013, kCode6, "OLD", "OLD");
        collection.AddAccountContract(reader);
        CLMWireContract* held = reader->getWireContract();
        ASSERT_EQ(held->DecimalToTicks(12.34), 394);
        offset = 10;
        if (checked) {
            reader->fromPacket(offset, buffer.data(), 129);
        } else {
            reader->fromPacket(offset, buffer.data());
        }
        EXPECT_EQ(offset, 129);
        EXPECT_TRUE(SameRecordOwnStrings(reader->GetRecord(), writer.GetRecord()));
        EXPECT_EQ(&reader->GetRecord(), reader->getRawWireContract());
        EXPECT_EQ(held->getName(), "OLD");

        reader->RefreshWireContract();
        EXPECT_EQ(reader->getWireContract(), held);
        CLMWireContract fresh(&raw.contract);
        EXPECT_EQ(
            std::memcmp(held->getWireContract(), fresh.getWireContract(), WireContract::kFixedSize),
            0);
        EXPECT_EQ(held->getName(), "S&P?");
        EXPECT_EQ(held->DecimalToTicks(12.34), 1234);
        EXPECT_NE(held->getWireContract()->name, reader->getRawWireContract()->contract.name);
        EXPECT_EQ(collection.GetWireAccountContract(7L), reader);
        EXPECT_EQ(collection.GetWireAccountContract(42L), nullptr);
        EXPECT_EQ(collection.GetWireAccountContract(std::string("S&P?")), reader);
    }
}

TEST(WireArray, GrowingAndCopyingKeepRecordsWithTheirPaddingAndFreshTexts) {
    auto records = std::make_unique<WireArray<WireAccountContract>>(1);
    FillRaw((*records)[0], 5, OLESTR("ABH3"));
    const WireAccountContract expected((*records)[0]);
    const std::size_t capacity = records->capacity();
    while (records->capacity() == capacity) {
        records->emplace_back();
    }
    EXPECT_TRUE(SameRecordOwnStrings((*records)[0], expected));

    const WireArray<WireAccountContract> copy(*records);
    records.reset();
    EXPECT_TRUE(SameRecordOwnStrings(copy[0], expected));
}

}  // namespace
}  // namespace Lumera
