#include "wire_types/accounts/CLMWireAccounts.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using testing::FillRawAccountContract;
using testing::StoreText;

WireArray<WireAccount> RawAccounts(const std::vector<std::pair<long, std::u16string>>& entries) {
    WireArray<WireAccount> records(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        records[i].accountID = static_cast<std::int32_t>(entries[i].first);
        StoreText(records[i].name, entries[i].second);
        records[i].contracts.resize(1);
        FillRawAccountContract(records[i].contracts[0], entries[i].first * 10, entries[i].second);
    }
    return records;
}

long IdOf(CLMWireAccount* account) {
    return account == nullptr ? -1 : account->getAccountID();
}

TEST(CLMWireAccounts, EmptyFindsNothing) {
    WireArray<WireAccount> none;
    CLMWireAccounts accounts(&none);
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 0);
    EXPECT_EQ(accounts.GetAtIndex(0), nullptr);
    EXPECT_EQ(accounts.getAccount(0), nullptr);
    EXPECT_EQ(CLMWireAccounts().GetAtIndex(-1), nullptr);
}

TEST(CLMWireAccounts, KeepsAccountIdOrderAndTheFirstOfADuplicate) {
    auto records = RawAccounts({{30, u"C"}, {10, u"A"}, {20, u"B"}, {20, u"B2"}});
    CLMWireAccounts accounts(&records);
    ASSERT_EQ(accounts.GetNumberOfAccounts(), 3);
    const std::vector<std::pair<int, long>> positions = {
        {-1, 10}, {0, 10}, {1, 20}, {2, 30}, {3, -1}};
    for (const auto& [index, id] : positions) {
        EXPECT_EQ(IdOf(accounts.GetAtIndex(index)), id) << "index " << index;
    }
    EXPECT_EQ(accounts.getAccount(20)->getName(), "B");
    EXPECT_EQ(accounts.getAccount(99), nullptr);
    CLMWireAccountContractCollection* contracts =
        accounts.getAccount(30)->GetAccountContractCollection();
    ASSERT_EQ(contracts->GetNumberOfContracts(), 1);
    EXPECT_EQ(contracts->GetWireAccountContract(300L)->getWireContract()->getName(), "C");
}

TEST(CLMWireAccounts, AddingAHeldIdLeavesTheArgumentWithTheCaller) {
    CLMWireAccounts accounts;
    auto* held = new CLMWireAccount(4);
    accounts.AddAccount(held);
    auto duplicate = std::make_unique<CLMWireAccount>(4);
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 1);
    EXPECT_EQ(accounts.getAccount(4), held);

    held->setAccountID(8);
    EXPECT_EQ(accounts.getAccount(4), held);
    EXPECT_EQ(accounts.getAccount(8), nullptr);

    EXPECT_THROW(accounts.AddAccount(nullptr), std::invalid_argument);
    EXPECT_THROW(CLMWireAccounts(static_cast<WireArray<WireAccount>*>(nullptr)),
                 std::invalid_argument);
}

TEST(CLMWireAccounts, RemoveAllLeavesAUsableCollection) {
    auto records = RawAccounts({{1, u"A"}, {2, u"B"}});
    CLMWireAccounts accounts(&records);
    accounts.RemoveAll();
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 0);
    EXPECT_EQ(accounts.getAccount(1), nullptr);
    EXPECT_EQ(accounts.GetAtIndex(0), nullptr);
    auto* again = new CLMWireAccount(1);
    accounts.AddAccount(again);
    EXPECT_EQ(accounts.getAccount(1), again);
}

TEST(CLMWireAccounts, CopyOutlivesItsSource) {
    auto records = RawAccounts({{2, u"B"}, {1, u"A"}});
    auto source = std::make_unique<CLMWireAccounts>(&records);
    CLMWireAccounts copy(*source);
    EXPECT_NE(copy.getAccount(1), source->getAccount(1));
    source.reset();
    ASSERT_EQ(copy.GetNumberOfAccounts(), 2);
    EXPECT_EQ(copy.GetAtIndex(0)->getName(), "A");
    EXPECT_EQ(copy.getAccount(2)
                  ->GetAccountContractCollection()
                  ->GetWireAccountContract(20L)
                  ->getWireContract()
                  ->getName(),
              "B");
}

TEST(CLMWireAccounts, AssignmentReplacesTheAccounts) {
    auto records = RawAccounts({{2, u"B"}, {1, u"A"}});
    CLMWireAccounts target;
    target.AddAccount(new CLMWireAccount(9));
    {
        CLMWireAccounts source(&records);
        target = source;
        EXPECT_NE(target.getAccount(1), source.getAccount(1));
    }
    EXPECT_EQ(target.GetNumberOfAccounts(), 2);
    EXPECT_EQ(target.getAccount(9), nullptr);
    EXPECT_EQ(target.getAccount(2)->getName(), "B");

    CLMWireAccounts& self = target;
    CLMWireAccount* held = target.getAccount(1);
    target = self;
    EXPECT_EQ(target.getAccount(1), held);
}

}  // namespace
}  // namespace Lumera
