#include "wire_types/accounts/CLMWireAccount.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using testing::FillRawAccountContract;
using testing::SameBlock;
using testing::StoreText;
using testing::Units;

void ExpectSameRecordWithOwnStrings(const WireAccountContract& copy,
                                    const WireAccountContract& source) {
    EXPECT_TRUE(SameBlock(&copy, &source, WireAccountContract::kFixedSize));
    EXPECT_TRUE(SameBlock(&copy.contract, &source.contract, WireContract::kFixedSize));
    EXPECT_EQ(Units(copy.contract.symbol), Units(source.contract.symbol));
    EXPECT_EQ(Units(copy.contract.name), Units(source.contract.name));
    EXPECT_NE(copy.contract.symbol, source.contract.symbol);
    EXPECT_NE(copy.contract.name, source.contract.name);
}

WireAccount RawAccount(long id, const std::u16string& name, const std::vector<long>& contractIDs) {
    WireAccount account;
    account.accountID = static_cast<std::int32_t>(id);
    StoreText(account.name, name);
    account.contracts.resize(contractIDs.size());
    for (std::size_t i = 0; i < contractIDs.size(); ++i) {
        FillRawAccountContract(account.contracts[i], contractIDs[i],
                               u"N" + std::u16string(1, static_cast<char16_t>(u'0' + i)));
    }
    return account;
}

TEST(CLMWireAccount, FromAnIdIsEmpty) {
    CLMWireAccount account(42);
    EXPECT_EQ(account.getAccountID(), 42);
    EXPECT_EQ(account.getName(), "");
    ASSERT_NE(account.getWireAccount()->name, nullptr);
    EXPECT_TRUE(account.getWireAccount()->contracts.empty());
    EXPECT_EQ(account.GetAccountContractCollection()->GetNumberOfContracts(), 0);
}

TEST(CLMWireAccount, HoldsThreeAccountContractsTwiceWithStringsOfItsOwn) {
    WireAccount raw = RawAccount(7, u"Main \u03A9", {30, 10, 20});
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getAccountID(), 7);
    EXPECT_EQ(account.getName(), "Main ?");
    EXPECT_EQ(Units(raw.name), u"Main \u03A9");

    WireAccount& own = *account.getWireAccount();
    ASSERT_EQ(own.contracts.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        ExpectSameRecordWithOwnStrings(own.contracts[i], raw.contracts[i]);
    }

    CLMWireAccountContractCollection* collection = account.GetAccountContractCollection();
    ASSERT_EQ(collection->GetNumberOfContracts(), 3);
    const std::vector<std::pair<long, std::string>> expected = {{10, "N1"}, {20, "N2"}, {30, "N0"}};
    for (int i = 0; i < 3; ++i) {
        CLMWireAccountContract* held = collection->GetAtIndex(i);
        EXPECT_EQ(held->getWireContract()->getContractID(), expected[i].first);
        EXPECT_EQ(held->getWireContract()->getName(), expected[i].second);
        for (const WireAccountContract& record : own.contracts) {
            EXPECT_NE(held->getRawWireContract()->contract.name, record.contract.name);
        }
    }

    own.contracts[0].contract.contractID = 999;
    EXPECT_EQ(collection->GetWireAccountContract(999L), nullptr);
}

TEST(CLMWireAccount, NullNameBecomesAnEmptyString) {
    WireAccount raw = RawAccount(1, u"", {});
    SysFreeString(raw.name);
    raw.name = nullptr;
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getName(), "");
    ASSERT_NE(account.getWireAccount()->name, nullptr);
    EXPECT_EQ(Units(account.getWireAccount()->name), u"");
}

TEST(CLMWireAccount, DuplicateContractIdsStayInTheRecordButNotInTheCollection) {
    WireAccount raw = RawAccount(1, u"A", {5, 5});
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getWireAccount()->contracts.size(), 2u);
    ASSERT_EQ(account.GetAccountContractCollection()->GetNumberOfContracts(), 1);
    EXPECT_EQ(account.GetAccountContractCollection()->GetAtIndex(0)->getWireContract()->getName(),
              "N0");
}

TEST(CLMWireAccount, SettersChangeTheOwnRecord) {
    CLMWireAccount account(1);
    account.setAccountID(0x100000003L);
    EXPECT_EQ(account.getAccountID(), 3);
    EXPECT_EQ(account.getWireAccount()->accountID, 3);
    account.setName("Desk");
    EXPECT_EQ(Units(account.getWireAccount()->name), u"Desk");
}

TEST(CLMWireAccount, CopyOutlivesItsSource) {
    WireAccount raw = RawAccount(9, u"Nine", {2, 1});
    auto source = std::make_unique<CLMWireAccount>(&raw);
    CLMWireAccount copy(*source);
    EXPECT_NE(copy.getWireAccount(), source->getWireAccount());
    EXPECT_NE(copy.GetAccountContractCollection(), source->GetAccountContractCollection());
    source.reset();

    EXPECT_EQ(copy.getName(), "Nine");
    ASSERT_EQ(copy.getWireAccount()->contracts.size(), 2u);
    ExpectSameRecordWithOwnStrings(copy.getWireAccount()->contracts[1], raw.contracts[1]);
    EXPECT_EQ(copy.GetAccountContractCollection()->GetNumberOfContracts(), 2);
    EXPECT_EQ(copy.GetAccountContractCollection()->GetAtIndex(0)->getWireContract()->getName(),
              "N1");
}

TEST(CLMWireAccount, AssignmentReplacesWithAnIndependentCopy) {
    WireAccount raw = RawAccount(9, u"Nine", {2, 1});
    CLMWireAccount target(5);
    {
        CLMWireAccount source(&raw);
        target = source;
        source.setName("changed");
    }
    EXPECT_EQ(target.getAccountID(), 9);
    EXPECT_EQ(target.getName(), "Nine");
    EXPECT_EQ(target.GetAccountContractCollection()->GetNumberOfContracts(), 2);

    CLMWireAccount& self = target;
    target = self;
    EXPECT_EQ(target.getName(), "Nine");
}

TEST(CLMWireAccount, RawRecordCopyOwnsItsStrings) {
    auto source = std::make_unique<WireAccount>(RawAccount(3, u"Three", {1}));
    WireAccount copy(*source);
    EXPECT_NE(copy.name, source->name);
    EXPECT_NE(copy.contracts[0].contract.name, source->contracts[0].contract.name);
    source.reset();
    EXPECT_EQ(Units(copy.name), u"Three");
    EXPECT_EQ(Units(copy.contracts[0].contract.name), u"N0");
}

TEST(CLMWireAccount, NullRecordIsRefused) {
    EXPECT_THROW(CLMWireAccount(static_cast<WireAccount*>(nullptr)), std::invalid_argument);
}

}  // namespace
}  // namespace Lumera
