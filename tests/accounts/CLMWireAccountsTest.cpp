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

using testing::FillRaw;
using testing::StoreText;

WireArray<WireAccount> Raw(const std::vector<std::pair<long, std::u16string>>& entries) {
    WireArray<WireAccount> records(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        records[i].accountID = static_cast<std::int32_t>(entries[i].first);
        StoreText(records[i].name, entries[i].second);
        records[i].contracts.resize(1);
        FillRaw(records[i].contracts[0], entries[i].first * 10, entries[i].second);
    }
    return records;
}

std::string NameOf(CLMWireAccount* account) {
    return account == nullptr ? "<none>" : account->getName();
}

TEST(CLMWireAccounts, OrdersByIdAndKeepsTheFirstDuplicate) {
    WireArray<WireAccount> none;
    EXPECT_EQ(CLMWireAccounts(&none).GetAtIndex(0), nullptr);
    EXPECT_THROW(CLMWireAccounts(static_cast<WireArray<WireAccount>*>(nullptr)),
                 std::invalid_argument);

    auto records = Raw({{30, u"C"}, {10, u"A"}, {20, u"B"}, {20, u"B2"}});
    CLMWireAccounts accounts(&records);
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 3);
    const std::vector<std::pair<int, std::string>> positions = {
        {-1, "A"}, {0, "A"}, {1, "B"}, {2, "C"}, {3, "<none>"}};
    for (const auto& [index, name] : positions) {
        EXPECT_EQ(NameOf(accounts.GetAtIndex(index)), name) << index;
    }
    EXPECT_EQ(accounts.getAccount(99), nullptr);
    EXPECT_EQ(NameOf(accounts.getAccount(30)), "C");
    EXPECT_NE(accounts.getAccount(30)->GetAccountContractCollection()->GetWireAccountContract(300L),
              nullptr);
}

TEST(CLMWireAccounts, AddAndRemoveAll) {
    CLMWireAccounts accounts;
    auto* held = new CLMWireAccount(4);
    accounts.AddAccount(held);
    auto duplicate = std::make_unique<CLMWireAccount>(4);
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 1);
    EXPECT_EQ(accounts.getAccount(4), held);
    EXPECT_THROW(accounts.AddAccount(nullptr), std::invalid_argument);

    accounts.RemoveAll();
    EXPECT_EQ(accounts.getAccount(4), nullptr);
    EXPECT_EQ(accounts.GetAtIndex(0), nullptr);
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.getAccount(4), duplicate.release());
}

TEST(CLMWireAccounts, CopyAndAssignmentOutliveTheSource) {
    auto records = Raw({{2, u"B"}, {1, u"A"}});
    auto source = std::make_unique<CLMWireAccounts>(&records);
    CLMWireAccounts copy(*source);
    CLMWireAccounts assigned;
    assigned.AddAccount(new CLMWireAccount(9));
    assigned = *source;
    EXPECT_NE(copy.getAccount(1), source->getAccount(1));
    source.reset();
    for (CLMWireAccounts* accounts : {&copy, &assigned}) {
        EXPECT_EQ(accounts->GetNumberOfAccounts(), 2);
        EXPECT_EQ(accounts->getAccount(9), nullptr);
        CLMWireAccountContract* held =
            accounts->getAccount(2)->GetAccountContractCollection()->GetWireAccountContract(20L);
        ASSERT_NE(held, nullptr);
        EXPECT_EQ(held->getWireContract()->getName(), "B");
    }
    EXPECT_NE(copy.getAccount(2), assigned.getAccount(2));
}

}  // namespace
}  // namespace Lumera
