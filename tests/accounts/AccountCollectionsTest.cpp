#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "OleText.h"
#include "WideLong.h"
#include "accounts/AccountsTestSupport.h"
#include "wire_types/accounts/CLMWireAccounts.h"
#include "wire_types/accounts/detail/LocalClock.h"

namespace Lumera {
namespace {

using lmwire_test::WithBit32;
using testing::CheckCopiesOutliveSource;
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

WireArray<WireAccount> RawAccounts(const std::vector<std::pair<long, OleString>>& entries) {
    WireArray<WireAccount> records;
    for (const auto& [id, name] : entries) {
        records.push_back(Raw(id, name, {{id * 10, OLESTR("N0")}}));
    }
    return records;
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

TEST(CLMWireAccountContractCollection, AddingAHeldIdLeavesTheArgumentWithTheCaller) {
    CLMWireAccountContractCollection collection;
    auto* first = new CLMWireAccountContract(4, 0, 3, 2013, pfcNone, "", "first");
    first->getRawWireContract()->contract.contractID = 99;
    collection.AddAccountContract(first);
    auto second = std::make_unique<CLMWireAccountContract>(4, 0, 3, 2013, pfcNone, "", "second");
    collection.AddAccountContract(second.get());
    EXPECT_EQ(collection.GetNumberOfContracts(), 1);
    EXPECT_EQ(collection.GetWireAccountContract(4L), first);
}

// A held object whose id changed since it was added is still the collection's: adding it again
// must neither file it under its new id nor, when the collection goes, delete it twice (ASan).
TEST(CLMWireAccountContractCollection, AddingAHeldObjectUnderANewIdStoresItOnce) {
    CLMWireAccountContractCollection collection;
    auto* held = new CLMWireAccountContract(4, 0, 3, 2013, pfcNone, "", "held");
    collection.AddAccountContract(held);
    collection.AddAccountContract(new CLMWireAccountContract(6, 0, 3, 2013, pfcNone, "", "six"));
    held->getWireContract()->setContractID(5);
    collection.AddAccountContract(held);
    EXPECT_EQ(collection.GetNumberOfContracts(), 2);
    EXPECT_EQ(collection.GetWireAccountContract(4L), held);
    EXPECT_EQ(collection.GetWireAccountContract(5L), nullptr);
    // Onto the id of another held entry: that entry stays as it was.
    held->getWireContract()->setContractID(6);
    collection.AddAccountContract(held);
    EXPECT_EQ(collection.GetNumberOfContracts(), 2);
    EXPECT_EQ(NameOf(collection.GetWireAccountContract(6L)), "six");
}

const std::string kMonthCodes = "FGHJKMNQUVXZ";

// Names as the roll-over look-up builds them: root, month code (month 1 to 12), year digit.
std::string Named(const std::string& root, int month, int digit) {
    return root + kMonthCodes.at(static_cast<std::size_t>(month - 1)) + std::to_string(digit);
}

// The look-up of `request` in a collection of contracts so named, under keys 0, 1, ...
std::string RollOver(const std::vector<std::string>& names, const std::string& request, int year,
                     int month) {
    std::vector<std::pair<long, OleString>> entries;
    for (const std::string& name : names) {
        entries.emplace_back(static_cast<long>(entries.size()),
                             OleString(name.begin(), name.end()));
    }
    auto records = RawContracts(entries);
    CLMWireAccountContractCollection collection(&records);
    return NameOf(collection.GetWireAccountContract(request, year, month));
}

TEST(CLMWireAccountContractCollection, RollOverFindsTheNearestMonthOfTheGivenYear) {
    struct Case {
        int year;
        int month;
        std::vector<std::string> names;
        std::string request;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {2013, 3, {"ABM3", "ABH3"}, "AB#", "ABH3"},
        {2013, 3, {"ABM3"}, "AB#", "ABM3"},
        {2013, 3, {"ABZ2"}, "AB#", "<none>"},
        {2013, 6, {"ABH3", "ABU3"}, "AB#", "ABU3"},
        {2013, 3, {"ABM3", "ABH3"}, "AB#XYZ", "ABH3"},
        {2013, 3, {"ABH3"}, "AB#H3#", "ABH3"},
        {2013, 3, {"ABH3", "H3"}, "#", "H3"},
        // No root matches: not by case, not as a part of a longer name.
        {2013, 3, {"ABH3", "XABH3"}, "ab#", "<none>"},
        {2013, 3, {"ESH3", "ESM3"}, "NQ#", "<none>"},
        // December tries Z alone and never the next year's months.
        {2013, 12, {"ABF4", "ABZ3"}, "AB#", "ABZ3"},
        {2013, 12, {"ABF4", "ABH4"}, "AB#", "<none>"},
        // January searches the whole year, and not the December before it.
        {2020, 1, {"ABZ0"}, "AB#", "ABZ0"},
        {2020, 1, {"ABZ9", "ABF0"}, "AB#", "ABF0"},
        {2020, 1, {"ABZ9"}, "AB#", "<none>"},
        // Without "#" the date plays no part: an exact name.
        {2013, 12, {"ABH3"}, "ABH3", "ABH3"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RollOver(c.names, c.request, c.year, c.month), c.expected)
            << c.request << " in " << c.year << "/" << c.month;
    }
}

// Every month code, and the year digit (the last decimal digit from 2000 on).
TEST(CLMWireAccountContractCollection, RollOverTriesEveryMonthCodeWithTheYearsDigit) {
    for (const int year : {2000, 2013, 2019, 2026, 2109}) {
        // December first: the scan by key meets the months in reverse, so finding the nearest
        // month shows the search order is the months', not the keys'.
        std::vector<std::string> all;
        for (int month = 12; month >= 1; --month) {
            all.push_back(Named("ZN", month, year % 10));
        }
        for (int month = 1; month <= 12; ++month) {
            const std::string expected = Named("ZN", month, year % 10);
            EXPECT_EQ(RollOver(all, "ZN#", year, month), expected) << year << "/" << month;
            EXPECT_EQ(RollOver({expected}, "ZN#", year + 1, 1), "<none>") << year << "/" << month;
        }
    }
}

TEST(CLMWireAccountContractCollection, RollOverOutsideTheCalendarFindsNothing) {
    const std::vector<std::string> held = {"ABF3", "ABZ3", "ABZ7"};
    for (const int month : {0, 13, -1, -11, std::numeric_limits<int>::min()}) {
        EXPECT_EQ(RollOver(held, "AB#", 2013, month), "<none>") << month;
        EXPECT_EQ(RollOver(held, "ABF3", 2013, month), "<none>") << month;
    }
    // Extreme years get their digit without overflowing (UBSan): 2147483647 ends in 7.
    EXPECT_EQ(RollOver(held, "AB#", std::numeric_limits<int>::max(), 12), "ABZ7");
    EXPECT_EQ(RollOver(held, "AB#", std::numeric_limits<int>::min(), 1), "<none>");
}

// The look-up's own reading of the local date, checked here against the C library's calendar.
TEST(CLMWireAccountContractCollection, TheLocalDateIsTheCalendarYearAndMonth) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const std::time_t now = std::time(nullptr);
        char expected[16] = {};
        ASSERT_GT(std::strftime(expected, sizeof expected, "%Y-%m", std::localtime(&now)), 0u);
        const detail::LocalYearMonth local = detail::CurrentLocalYearMonth();
        char read[16] = {};
        std::snprintf(read, sizeof read, "%d-%02d", local.year, local.month);
        if (std::string(read) == expected || attempt == 1) {
            EXPECT_EQ(std::string(read), expected);
            break;
        }
    }
}

// The overload without a date answers at the local date. The month may turn between reading it
// here and the look-up reading it, so a run that straddles the turn is repeated.
TEST(CLMWireAccountContractCollection, RollOverWithoutADateUsesTheLocalDate) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        const auto [year, month] = detail::CurrentLocalYearMonth();
        const std::string thisMonth = Named("AB", month, year % 10);
        // Last month and next year's January, which the look-up must pass over.
        const std::string lastMonth =
            month == 1 ? Named("AB", 12, (year - 1) % 10) : Named("AB", month - 1, year % 10);
        const std::string nextYear = Named("AB", 1, (year + 1) % 10);
        std::vector<std::pair<long, OleString>> entries;
        for (const std::string& name : {lastMonth, nextYear, thisMonth}) {
            entries.emplace_back(static_cast<long>(entries.size()),
                                 OleString(name.begin(), name.end()));
        }
        auto records = RawContracts(entries);
        CLMWireAccountContractCollection collection(&records);
        const std::string found = NameOf(collection.GetWireAccountContract(std::string("AB#")));
        const detail::LocalYearMonth after = detail::CurrentLocalYearMonth();
        if (after.year == year && after.month == month) {
            EXPECT_EQ(found, thisMonth);
            return;
        }
    }
    FAIL() << "the local month changed during both attempts";
}

TEST(CLMWireAccountContractCollection, CopiesOutliveTheSource) {
    auto records = RawContracts({{3, OLESTR("C")}, {1, OLESTR("A")}});
    auto others = RawContracts({{7, OLESTR("X")}});
    CheckCopiesOutliveSource(std::make_unique<CLMWireAccountContractCollection>(&records),
                             CLMWireAccountContractCollection(&others),
                             [](CLMWireAccountContractCollection& c) {
                                 EXPECT_EQ(c.GetNumberOfContracts(), 2);
                                 EXPECT_EQ(c.GetWireAccountContract(7L), nullptr);
                                 EXPECT_EQ(NameOf(c.GetWireAccountContract(3L)), "C");
                             });
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

TEST(CLMWireAccount, HoldsThreeAccountContractsTwiceWithStringsOfItsOwn) {
    WireAccount raw =
        Raw(7, OLESTR("Main \u03A9"), {{30, OLESTR("N0")}, {10, OLESTR("N1")}, {20, OLESTR("N2")}});
    CLMWireAccount account(&raw);
    EXPECT_EQ(account.getName(), "Main ?");

    WireAccount& own = *account.getWireAccount();
    CLMWireAccountContractCollection* collection = account.GetAccountContractCollection();
    ASSERT_EQ(own.contracts.size(), 3u);
    ASSERT_EQ(collection->GetNumberOfContracts(), 3);
    const char* names[] = {"N1", "N2", "N0"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(SameRecordOwnStrings(own.contracts[i], raw.contracts[i])) << i;
        CLMWireAccountContract* held = collection->GetAtIndex(i);
        EXPECT_EQ(held->getWireContract()->getName(), names[i]);
        EXPECT_TRUE(SameRecordOwnStrings(*held->getRawWireContract(), own.contracts[(i + 1) % 3]));
    }
}

TEST(CLMWireAccount, CopiesOutliveTheSource) {
    WireAccount raw = Raw(9, OLESTR("Nine"), {{2, OLESTR("N0")}, {1, OLESTR("N1")}});
    CheckCopiesOutliveSource(
        std::make_unique<CLMWireAccount>(&raw), CLMWireAccount(5), [&](CLMWireAccount& account) {
            EXPECT_EQ(account.getName(), "Nine");
            ASSERT_EQ(account.getWireAccount()->contracts.size(), 2u);
            EXPECT_TRUE(
                SameRecordOwnStrings(account.getWireAccount()->contracts[1], raw.contracts[1]));
            EXPECT_EQ(NameOf(account.GetAccountContractCollection()->GetAtIndex(0)), "N1");
        });
}

TEST(CLMWireAccounts, OrdersByIdAndKeepsTheFirstDuplicate) {
    auto records =
        RawAccounts({{30, OLESTR("C")}, {10, OLESTR("A")}, {20, OLESTR("B")}, {20, OLESTR("B2")}});
    CLMWireAccounts accounts(&records);
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 3);
    const std::vector<std::pair<int, std::string>> positions = {
        {-1, "A"}, {0, "A"}, {1, "B"}, {2, "C"}, {3, "<none>"}};
    for (const auto& [index, name] : positions) {
        EXPECT_EQ(NameOf(accounts.GetAtIndex(index)), name) << index;
    }
    EXPECT_EQ(accounts.getAccount(99), nullptr);
    EXPECT_EQ(NameOf(accounts.getAccount(30)), "C");
}

TEST(CLMWireAccounts, AddingAHeldIdLeavesTheArgumentWithTheCallerAndRemoveAllEmpties) {
    CLMWireAccounts accounts;
    auto* held = new CLMWireAccount(4);
    accounts.AddAccount(held);
    auto duplicate = std::make_unique<CLMWireAccount>(4);
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 1);
    EXPECT_EQ(accounts.getAccount(4), held);

    accounts.RemoveAll();
    EXPECT_EQ(accounts.getAccount(4), nullptr);
    EXPECT_EQ(accounts.GetAtIndex(0), nullptr);
    accounts.AddAccount(duplicate.get());
    EXPECT_EQ(accounts.getAccount(4), duplicate.release());
}

TEST(CLMWireAccounts, AddingAHeldAccountUnderANewIdStoresItOnce) {
    CLMWireAccounts accounts;
    auto* held = new CLMWireAccount(4);
    accounts.AddAccount(held);
    held->setAccountID(7);
    accounts.AddAccount(held);
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 1);
    EXPECT_EQ(accounts.getAccount(4), held);
    EXPECT_EQ(accounts.getAccount(7), nullptr);
    // The destructor releases it exactly once (ASan).
}

// Ids are 32-bit fields: a long id counts by its low 32 bits when an object is filed under it and
// when it is looked up, in both collections, as the order look-ups count it.
TEST(AccountCollections, IdsBeyondThirtyTwoBitsCountByTheirLowBits) {
    CLMWireAccounts accounts;
    auto* account = new CLMWireAccount(WithBit32(4));
    accounts.AddAccount(account);
    accounts.AddAccount(new CLMWireAccount(WithBit32(-3)));
    EXPECT_EQ(account->getAccountID(), 4);
    EXPECT_EQ(accounts.getAccount(4), account);
    EXPECT_EQ(accounts.getAccount(WithBit32(4)), account);
    EXPECT_EQ(accounts.GetAtIndex(0), accounts.getAccount(WithBit32(-3)));
    EXPECT_NE(accounts.getAccount(-3), nullptr);
    auto sameLowBits = std::make_unique<CLMWireAccount>(WithBit32(WithBit32(4)));
    accounts.AddAccount(sameLowBits.get());
    EXPECT_EQ(accounts.GetNumberOfAccounts(), 2);

    CLMWireAccountContractCollection contracts;
    auto* contract = new CLMWireAccountContract(WithBit32(6), 0, 3, 2013, pfcNone, "", "six");
    contracts.AddAccountContract(contract);
    EXPECT_EQ(contracts.GetWireAccountContract(6L), contract);
    EXPECT_EQ(contracts.GetWireAccountContract(WithBit32(6)), contract);
    auto other = std::make_unique<CLMWireAccountContract>(6, 0, 3, 2013, pfcNone, "", "other");
    other->getWireContract()->setContractID(WithBit32(6));
    contracts.AddAccountContract(other.get());
    EXPECT_EQ(contracts.GetNumberOfContracts(), 1);
}

TEST(CLMWireAccounts, CopiesOutliveTheSource) {
    auto records = RawAccounts({{2, OLESTR("B")}, {1, OLESTR("A")}});
    CLMWireAccounts assigned;
    assigned.AddAccount(new CLMWireAccount(9));
    CheckCopiesOutliveSource(std::make_unique<CLMWireAccounts>(&records), std::move(assigned),
                             [](CLMWireAccounts& accounts) {
                                 EXPECT_EQ(accounts.GetNumberOfAccounts(), 2);
                                 EXPECT_EQ(accounts.getAccount(9), nullptr);
                                 EXPECT_EQ(NameOf(accounts.getAccount(2)
                                                      ->GetAccountContractCollection()
                                                      ->GetWireAccountContract(20L)),
                                           "N0");
                             });
}

}  // namespace
}  // namespace Lumera
