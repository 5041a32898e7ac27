#include "wire_types/accounts/WireArray.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "accounts/AccountsTestSupport.h"
#include "wire_types/accounts/CLMWireAccountContract.h"

namespace Lumera {
namespace {

using testing::FillRawAccountContract;
using testing::SameBlock;
using testing::Units;

TEST(WireArray, GrownElementsAreFreshRecords) {
    WireArray<WireAccountContract> records(2);
    records.resize(3);
    const std::vector<unsigned char> zeros(WireContract::kFixedSize, 0);
    for (const WireAccountContract& record : records) {
        EXPECT_TRUE(SameBlock(&record, zeros.data(), WireAccountContract::kFixedSize));
        EXPECT_TRUE(SameBlock(&record.contract, zeros.data(), WireContract::kFixedSize));
        ASSERT_NE(record.contract.symbol, nullptr);
        ASSERT_NE(record.contract.name, nullptr);
        EXPECT_EQ(Units(record.contract.name), u"");
    }
}

TEST(WireArray, ReallocationKeepsPaddingBytesAndTexts) {
    WireArray<WireAccountContract> records(1);
    FillRawAccountContract(records[0], 5, u"ABH3");
    WireAccountContract expected(records[0]);
    const std::size_t capacity = records.capacity();
    while (records.capacity() == capacity) {
        records.emplace_back();
    }
    EXPECT_TRUE(SameBlock(&records[0], &expected, WireAccountContract::kFixedSize));
    EXPECT_TRUE(SameBlock(&records[0].contract, &expected.contract, WireContract::kFixedSize));
    EXPECT_EQ(Units(records[0].contract.name), u"ABH3");
    EXPECT_EQ(Units(records[0].contract.symbol), u"SABH3");
    records.resize(1);
    EXPECT_EQ(Units(records[0].contract.name), u"ABH3");
}

TEST(WireArray, CopyOwnsStringsOfItsOwn) {
    auto source = std::make_unique<WireArray<WireAccountContract>>(2);
    FillRawAccountContract((*source)[0], 1, u"ONE");
    FillRawAccountContract((*source)[1], 2, u"TWO");
    WireArray<WireAccountContract> copy(*source);
    ASSERT_EQ(copy.size(), 2u);
    EXPECT_NE(copy[0].contract.name, (*source)[0].contract.name);
    EXPECT_TRUE(SameBlock(&copy[1], &(*source)[1], WireAccountContract::kFixedSize));
    source.reset();
    EXPECT_EQ(Units(copy[0].contract.name), u"ONE");
    EXPECT_EQ(Units(copy[1].contract.name), u"TWO");
}

}  // namespace
}  // namespace Lumera
