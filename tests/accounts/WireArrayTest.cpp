#include "wire_types/accounts/WireArray.h"

#include <gtest/gtest.h>

#include <memory>

#include "accounts/AccountsTestSupport.h"
#include "wire_types/accounts/CLMWireAccountContract.h"

namespace Lumera {
namespace {

using testing::FillRaw;
using testing::SameRecordOwnStrings;
using testing::Units;

TEST(WireArray, GrowingCopiesRecordsWithTheirPaddingAndFreshTexts) {
    auto records = std::make_unique<WireArray<WireAccountContract>>(1);
    FillRaw((*records)[0], 5, u"ABH3");
    const WireAccountContract expected((*records)[0]);
    const std::size_t capacity = records->capacity();
    while (records->capacity() == capacity) {
        records->emplace_back();
    }
    EXPECT_TRUE(SameRecordOwnStrings((*records)[0], expected));
    EXPECT_EQ(records->back().contract.contractID, 0);
    EXPECT_EQ(Units(records->back().contract.name), u"");

    const WireArray<WireAccountContract> copy(*records);
    records.reset();
    EXPECT_TRUE(SameRecordOwnStrings(copy[0], expected));
}

}  // namespace
}  // namespace Lumera
