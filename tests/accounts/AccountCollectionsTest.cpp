#include <gtest/gtest.h>

#include <ctime>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "OleText.h"
#include "WideLong.h"
#include "accounts/AccountsTestSupport.h"
#include "wire_types/accounts/CLMWireAccounts.h"

namespace Lumera {
namespace {

using lmwire_test::WithBit32;
using testing::NameOf;
using testing::RawContracts;
using testing::SameRecordOwnStrings;
using testing::StoreText;

WireAccount Raw(long id, const OleString& name,
                const std::vector<std::pair<long, OleString>>& contracts) {
    WireAccount account;
    account.accountID = static_cast<std::int32_t>(id);
    StoreText(account.name, name);
    account.contracts = RawContracts(contracts);
    return account;
}

TEST(CLMWireAccountContractCollection, OrdersByIdKeepsTheFirstDuplicateAndMatchesNamesExactly) {
    auto records = RawContracts(
        {{30, OLESTR("C")}, {10, OLESTR("abz3")}, {20, OLESTR("C")}, {10, OLESTR("other")}});
    CLMWireAccountContractCollection collection(&records);
    EXPECT_EQ(collection.GetNumberOfContracts(), 3);
    const std::vector<std::pair<int, std::string>> positions = {
        {-3, "abz3"}, {0, "abz3"}, {1, "C"}, {2, "C"}, {3, "<none>"}};
    for (const auto& [index, name] : positions) {
        EXPECT_EQ(NameOf(collection.GetAtIndex(index)), name) << index;
    }
    EXPECT_EQ(collection.GetWireAccountContract(std::string("C")), collection.GetAtIndex(1));
    EXPECT_EQ(collection.GetWireAccountContract(std::string("ABZ3")), nullptr);
    EXPECT_EQ(collection.GetWireAccountContract(std::string("abz")), nullptr);
    EXPECT_EQ(collection.GetWireAccountContract(15L), nullptr);
}

// A held id leaves the argument with the caller; a held object whose id changed is filed once,
// under its first id (low 32 bits), and deleted once.
TEST(CLMWireAccountContractCollection, AddsEachIdAndEachObjectOnce) {
    CLMWireAccountContractCollection collection;
    auto* held = new CLMWireAccountContract(WithBit32(4), 0, 3, 2013, pfcNone, "", "held");
    collection.AddAccountContract(held);
    collection.AddAccountContract(new CLMWireAccountContract(6, 0, 3, 2013, pfcNone, "", "six"));
    auto second = std::make_unique<CLMWireAccountContract>(4, 0, 3, 2013, pfcNone, "", "second");
    collection.AddAccountContract(second.get());
    second->getWireContract()->setContractID(WithBit32(6));
    collection.AddAccountContract(second.get());
    EXPECT_EQ(collection.GetWireAccountContract(WithBit32(4)), held);
    for (long id : {5L, 6L}) {
        held->getWireContract()->setContractID(id);
        collection.AddAccountContract(held);
    }
    EXPECT_EQ(collection.GetNumberOfContracts(), 2);
    EXPECT_EQ(collection.GetWireAccountContract(4L), held);
    EXPECT_EQ(collection.GetWireAccountContract(5L), nullptr);
    EXPECT_EQ(NameOf(collection.GetWireAccountContract(6L)), "six");
}

const std::string kMonthCodes = "FGHJKMNQUVXZ";

// Names as the roll-over look-up builds them: root, month code (month 1 to 12), year digit.
std::string Named(const std::string& root, int month, int digit) {
    return root + kMonthCodes.at(static_cast<std::size_t>(month - 1)) + std::to_string(digit);
}

// The look-up of `request` in a collection of contracts so named, under keys 0, 1, ...
std::string RollOver(const std::vector<std::string>& names, const std::string& request, int year,
                     int month, bool today = false) {
    std::vector<std::pair<long, OleString>> entries;
    for (const std::string& name : names) {
        entries.emplace_back(static_cast<long>(entries.size()),
                             OleString(name.begin(), name.end()));
    }
    auto records = RawContracts(entries);
    CLMWireAccountContractCollection collection(&records);
    return NameOf(today ? collection.GetWireAccountContract(request)
                        : collection.GetWireAccountContract(request, year, month));
}

// The search stays in the given year; roots match exactly; without "#" the date plays no part;
// extreme years get their digit without overflowing (UBSan).
TEST(CLMWireAccountContractCollection, RollOverFindsTheNearestMonthOfTheGivenYear) {
    constexpr int kMin = std::numeric_limits<int>::min(), kMax = std::numeric_limits<int>::max();
    using Names = std::vector<std::string>;
    const std::tuple<int, int, Names, std::string, std::string> cases[] = {
        {2013, 3, {"ABM3", "ABH3"}, "AB#", "ABH3"},   {2013, 3, {"ABZ2"}, "AB#", "<none>"},
        {2013, 6, {"ABH3", "ABU3"}, "AB#", "ABU3"},   {2013, 3, {"ABM3", "ABH3"}, "AB#XYZ", "ABH3"},
        {2013, 3, {"ABH3", "H3"}, "#", "H3"},         {2013, 3, {"ABH3", "XABH3"}, "ab#", "<none>"},
        {2013, 12, {"ABF4", "ABZ3"}, "AB#", "ABZ3"},  {2013, 12, {"ABF4", "ABH4"}, "AB#", "<none>"},
        {2020, 1, {"ABZ9", "ABF0"}, "AB#", "ABF0"},   {2020, 1, {"ABZ9"}, "AB#", "<none>"},
        {2013, 12, {"ABH3"}, "ABH3", "ABH3"},         {2013, 0, {"ABF3", "ABZ3"}, "AB#", "<none>"},
        {2013, kMin, {"ABF3"}, "AB#", "<none>"},      {kMax, 12, {"ABZ7"}, "AB#", "ABZ7"},
        {kMin, 1, {"ABF7", "ABZ7"}, "AB#", "<none>"},
    };
    for (const auto& [year, month, names, request, expected] : cases) {
        EXPECT_EQ(RollOver(names, request, year, month), expected)
            << request << " in " << year << "/" << month;
    }
}

// Every month code, and the year digit; December first (by key), so that the search order shows.
TEST(CLMWireAccountContractCollection, RollOverTriesEveryMonthCodeWithTheYearsDigit) {
    std::vector<std::string> all;
    for (int month = 12; month >= 1; --month) {
        all.push_back(Named("ZN", month, 9));
    }
    for (int month = 1; month <= 12; ++month) {
        EXPECT_EQ(RollOver(all, "ZN#", 2109, month), Named("ZN", month, 9)) << month;
        EXPECT_EQ(RollOver({Named("ZN", month, 9)}, "ZN#", 2110, 1), "<none>") << month;
    }
}

// The overload without a date answers at the local date (unless the month turned meanwhile).
TEST(CLMWireAccountContractCollection, RollOverWithoutADateUsesTheLocalDate) {
    const auto today = [] {
        const std::time_t now = std::time(nullptr);
        const std::tm local = *std::localtime(&now);
        return std::pair{local.tm_year + 1900, local.tm_mon + 1};
    };
    const auto [year, month] = today();
    const std::string thisMonth = Named("AB", month, year % 10);
    const std::string lastMonth =
        month == 1 ? Named("AB", 12, (year - 1) % 10) : Named("AB", month - 1, year % 10);
    const std::string found =
        RollOver({lastMonth, Named("AB", 1, (year + 1) % 10), thisMonth}, "AB#", 0, 0, true);
    if (today() == std::pair{year, month}) {
        EXPECT_EQ(found, thisMonth);
    }
}

TEST(AccountClasses, RefuseNullSources) {
    EXPECT_THROW(CLMWireContract(static_cast<WireContract*>(nullptr)), std::invalid_argument);
    EXPECT_THROW(CLMWireAccountContract(static_cast<WireAccountContract*>(nullptr)),
                 std::invalid_argument);
    EXPECT_THROW(CLMWireAccount(static_cast<WireAccount*>(nullptr)), std::invalid_argument);
    EXPECT_THROW(CLMWireAccountContractCollection(nullptr), std::invalid_argument);
    EXPECT_THROW(CLMWireAccounts(nullptr), std::invalid_argument);
    EXPECT_THROW(CLMWireAccountContractCollection().AddAccountContract(nullptr),
                 std::invalid_argument);
    EXPECT_THROW(CLMWireAccounts().AddAccount(nullptr), std::invalid_argument);
}

// The account's record and its collection (by id) each hold copies with strings of their own.
TEST(CLMWireAccount, HoldsItsContractsTwiceWithStringsOfItsOwn) {
    WireAccount raw = Raw(7, OLESTR("Main \u03A9"), {{30, OLESTR("N0")}, {10, OLESTR("N1")}});
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getName(), "Main ?");
    CLMWireAccountContractCollection* collection = account.GetAccountContractCollection();
    ASSERT_EQ(collection->GetNumberOfContracts(), 2);
    for (int i = 0; i < 2; ++i) {
        const WireAccountContract& own = account.getWireAccount()->contracts.at(i);
        EXPECT_TRUE(SameRecordOwnStrings(own, raw.contracts[i])) << i;
        EXPECT_TRUE(
            SameRecordOwnStrings(*collection->GetAtIndex(1 - i)->getRawWireContract(), own));
    }
}

// The contract collection's rules, through the helper both share: here only that accounts go by id.
TEST(CLMWireAccounts, OrdersByIdKeepsTheFirstDuplicateAndRemoveAllEmpties) {
    WireArray<WireAccount> records{Raw(30, OLESTR("C"), {}), Raw(10, OLESTR("A"), {}),
                                   Raw(20, OLESTR("B"), {}), Raw(20, OLESTR("B2"), {})};
    CLMWireAccounts accounts(&records);
    EXPECT_EQ(accounts.GetAtIndex(1)->getName() + accounts.GetAtIndex(2)->getName(), "BC");
    auto duplicate = std::make_unique<CLMWireAccount>(WithBit32(10));
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 3);
    EXPECT_EQ(accounts.getAccount(10)->getName(), "A");
    accounts.RemoveAll();
    EXPECT_EQ(accounts.GetAtIndex(0), nullptr);
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.getAccount(10), duplicate.release());
}

}  // namespace
}  // namespace Lumera
