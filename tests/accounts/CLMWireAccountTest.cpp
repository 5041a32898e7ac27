#include "wire_types/accounts/CLMWireAccount.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using testing::FillRaw;
using testing::SameRecordOwnStrings;
using testing::StoreText;
using testing::Units;

WireAccount Raw(long id, const std::u16string& name, const std::vector<long>& contractIDs) {
    WireAccount account;
    account.accountID = static_cast<std::int32_t>(id);
    StoreText(account.name, name);
    account.contracts.resize(contractIDs.size());
    for (std::size_t i = 0; i < contractIDs.size(); ++i) {
        FillRaw(account.contracts[i], contractIDs[i], u"N" + std::u16string(1, u'0' + i));
    }
    return account;
}

TEST(CLMWireAccount, FromAnIdIsEmpty) {
    CLMWireAccount account(42);
    EXPECT_EQ(account.getAccountID(), 42);
    EXPECT_EQ(account.getName(), "");
    EXPECT_EQ(account.GetAccountContractCollection()->GetNumberOfContracts(), 0);
    account.setAccountID(0x100000003L);
    EXPECT_EQ(account.getWireAccount()->accountID, 3);
    EXPECT_THROW(CLMWireAccount(static_cast<WireAccount*>(nullptr)), std::invalid_argument);
}

TEST(CLMWireAccount, HoldsThreeAccountContractsTwiceWithStringsOfItsOwn) {
    WireAccount raw = Raw(7, u"Main \u03A9", {30, 10, 20});
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getName(), "Main ?");
    EXPECT_EQ(Units(raw.name), u"Main \u03A9");

    WireAccount& own = *account.getWireAccount();
    ASSERT_EQ(own.contracts.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_TRUE(SameRecordOwnStrings(own.contracts[i], raw.contracts[i])) << i;
    }
    CLMWireAccountContractCollection* collection = account.GetAccountContractCollection();
    ASSERT_EQ(collection->GetNumberOfContracts(), 3);
    const char* names[] = {"N1", "N2", "N0"};
    for (int i = 0; i < 3; ++i) {
        CLMWireAccountContract* held = collection->GetAtIndex(i);
        EXPECT_EQ(held->getWireContract()->getName(), names[i]);
        EXPECT_TRUE(SameRecordOwnStrings(*held->getRawWireContract(), own.contracts[(i + 1) % 3]));
    }
}

TEST(CLMWireAccount, NullNameAndDuplicateIds) {
    WireAccount raw = Raw(1, u"", {5, 5});
    SysFreeString(raw.name);
    raw.name = nullptr;
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getName(), "");
    EXPECT_EQ(Units(account.getWireAccount()->name), u"");
    EXPECT_EQ(account.getWireAccount()->contracts.size(), 2u);
    ASSERT_EQ(account.GetAccountContractCollection()->GetNumberOfContracts(), 1);
    EXPECT_EQ(account.GetAccountContractCollection()->GetAtIndex(0)->getWireContract()->getName(),
              "N0");
}

TEST(CLMWireAccount, CopyAndAssignmentOutliveTheSource) {
    WireAccount raw = Raw(9, u"Nine", {2, 1});
    auto source = std::make_unique<CLMWireAccount>(&raw);
    CLMWireAccount copy(*source);
    CLMWireAccount assigned(5);
    assigned = *source;
    EXPECT_NE(copy.GetAccountContractCollection(), source->GetAccountContractCollection());
    source.reset();
    for (CLMWireAccount* account : {&copy, &assigned}) {
        EXPECT_EQ(account->getName(), "Nine");
        ASSERT_EQ(account->getWireAccount()->contracts.size(), 2u);
        EXPECT_TRUE(
            SameRecordOwnStrings(account->getWireAccount()->contracts[1], raw.contracts[1]));
        EXPECT_EQ(
            account->GetAccountContractCollection()->GetAtIndex(0)->getWireContract()->getName(),
            "N1");
    }
}

}  // namespace
}  // namespace Lumera
