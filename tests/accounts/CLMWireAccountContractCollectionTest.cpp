#include "wire_types/accounts/CLMWireAccountContractCollection.h"

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
using testing::ScopedLocalMonth;

WireArray<WireAccountContract> RawContracts(
    const std::vector<std::pair<long, std::u16string>>& entries) {
    WireArray<WireAccountContract> records(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        FillRawAccountContract(records[i], entries[i].first, entries[i].second);
    }
    return records;
}

long IdOf(CLMWireAccountContract* accountContract) {
    return accountContract == nullptr ? -1 : accountContract->getWireContract()->getContractID();
}

std::string NameOf(CLMWireAccountContract* accountContract) {
    return accountContract == nullptr ? "<none>" : accountContract->getWireContract()->getName();
}

TEST(CLMWireAccountContractCollection, EmptyFindsNothing) {
    WireArray<WireAccountContract> none;
    CLMWireAccountContractCollection collections[] = {CLMWireAccountContractCollection(),
                                                      CLMWireAccountContractCollection(&none)};
    for (auto& collection : collections) {
        EXPECT_EQ(collection.GetNumberOfContracts(), 0);
        EXPECT_EQ(collection.GetAtIndex(0), nullptr);
        EXPECT_EQ(collection.GetAtIndex(-1), nullptr);
        EXPECT_EQ(collection.GetWireAccountContract(1L), nullptr);
        EXPECT_EQ(collection.GetWireAccountContract(std::string("AB")), nullptr);
        EXPECT_EQ(collection.GetWireAccountContract(std::string("AB#")), nullptr);
    }
}

TEST(CLMWireAccountContractCollection, KeepsContractIdOrderAndTheFirstOfADuplicate) {
    auto records = RawContracts({{30, u"C"}, {10, u"A"}, {20, u"B"}, {10, u"A2"}});
    CLMWireAccountContractCollection collection(&records);
    EXPECT_EQ(collection.GetNumberOfContracts(), 3);
    const std::vector<std::pair<int, long>> positions = {{-3, 10}, {0, 10}, {1, 20},
                                                         {2, 30},  {3, -1}, {100, -1}};
    for (const auto& [index, id] : positions) {
        EXPECT_EQ(IdOf(collection.GetAtIndex(index)), id) << "index " << index;
    }
    EXPECT_EQ(NameOf(collection.GetWireAccountContract(10L)), "A");
    EXPECT_EQ(NameOf(collection.GetWireAccountContract(30L)), "C");
    EXPECT_EQ(collection.GetWireAccountContract(15L), nullptr);
    EXPECT_EQ(records.size(), 4u);
}

TEST(CLMWireAccountContractCollection, NameLookUpIsExactAndFollowsIdOrder) {
    auto records = RawContracts({{9, u"abz3"}, {5, u"ESM3"}, {3, u"ESM3"}});
    CLMWireAccountContractCollection collection(&records);
    const std::vector<std::pair<std::string, long>> cases = {
        {"abz3", 9}, {"ABZ3", -1}, {"abz", -1}, {"abz3 ", -1}, {"ESM3", 3}, {"", -1}};
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(IdOf(collection.GetWireAccountContract(text)), id) << text;
    }
}

TEST(CLMWireAccountContractCollection, AddingAHeldIdLeavesTheArgumentWithTheCaller) {
    CLMWireAccountContractCollection collection;
    auto* first = new CLMWireAccountContract(4, 0, 3, 2013, pfcNone, "S", "first");
    collection.AddAccountContract(first);
    auto second = std::make_unique<CLMWireAccountContract>(4, 0, 3, 2013, pfcNone, "S", "second");
    collection.AddAccountContract(second.get());
    EXPECT_EQ(collection.GetNumberOfContracts(), 1);
    EXPECT_EQ(collection.GetWireAccountContract(4L), first);

    auto* other = new CLMWireAccountContract(2, 0, 3, 2013, pfcNone, "S", "other");
    collection.AddAccountContract(other);
    EXPECT_EQ(collection.GetAtIndex(0), other);
    EXPECT_EQ(collection.GetAtIndex(1), first);

    EXPECT_THROW(collection.AddAccountContract(nullptr), std::invalid_argument);
    EXPECT_THROW(
        CLMWireAccountContractCollection(static_cast<WireArray<WireAccountContract>*>(nullptr)),
        std::invalid_argument);
}

TEST(CLMWireAccountContractCollection, KeyIsTheContractObjectsIdWhenAdded) {
    CLMWireAccountContractCollection collection;
    auto* accountContract = new CLMWireAccountContract(8, 0, 0, 0, pfcNone, "", "N");
    accountContract->getRawWireContract()->contract.contractID = 99;
    collection.AddAccountContract(accountContract);
    accountContract->getWireContract()->setContractID(50);
    EXPECT_EQ(collection.GetWireAccountContract(8L), accountContract);
    EXPECT_EQ(collection.GetWireAccountContract(50L), nullptr);
}

TEST(CLMWireAccountContractCollection, RollOverFindsTheNearestMonthOfThisYear) {
    struct Case {
        const char* what;
        int year;
        int month;
        std::vector<std::u16string> names;
        std::string request;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {"current month first", 2013, 2, {u"ABM3", u"ABH3"}, "AB#", "ABH3"},
        {"later month", 2013, 2, {u"ABM3"}, "AB#", "ABM3"},
        {"earlier year never", 2013, 2, {u"ABZ2"}, "AB#", "<none>"},
        {"earlier month never", 2013, 5, {u"ABH3", u"ABU3"}, "AB#", "ABU3"},
        {"text after the mark ignored", 2013, 2, {u"ABM3", u"ABH3"}, "AB#XYZ", "ABH3"},
        {"mark alone", 2013, 2, {u"ABH3", u"H3"}, "#", "H3"},
        {"root is case sensitive", 2013, 2, {u"ABH3"}, "ab#", "<none>"},
        {"root must match whole", 2013, 2, {u"XABH3"}, "AB#", "<none>"},
        {"december only", 2013, 11, {u"ABZ3", u"ABF4"}, "AB#", "ABZ3"},
        {"december stops at the year", 2013, 11, {u"ABF4", u"ABH4"}, "AB#", "<none>"},
        {"decade digit", 2020, 0, {u"ABF0"}, "AB#", "ABF0"},
        {"single digit year", 2009, 11, {u"ABZ9"}, "AB#", "ABZ9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedLocalMonth clock(c.year, c.month);
        CLMWireAccountContractCollection collection;
        long id = 1;
        for (const auto& name : c.names) {
            auto* accountContract = new CLMWireAccountContract(id++, 0, 0, 0, pfcNone, "", "");
            accountContract->getWireContract()->setName(std::string(name.begin(), name.end()));
            collection.AddAccountContract(accountContract);
        }
        EXPECT_EQ(NameOf(collection.GetWireAccountContract(c.request)), c.expected);
    }
}

TEST(CLMWireAccountContractCollection, CopyOutlivesItsSource) {
    auto records = RawContracts({{3, u"C"}, {1, u"A"}, {2, u"B"}});
    auto source = std::make_unique<CLMWireAccountContractCollection>(&records);
    CLMWireAccountContractCollection copy(*source);
    for (int i = 0; i < 3; ++i) {
        EXPECT_NE(copy.GetAtIndex(i), source->GetAtIndex(i));
    }
    source.reset();
    ASSERT_EQ(copy.GetNumberOfContracts(), 3);
    EXPECT_EQ(NameOf(copy.GetAtIndex(0)), "A");
    EXPECT_EQ(NameOf(copy.GetWireAccountContract(std::string("C"))), "C");
}

TEST(CLMWireAccountContractCollection, AssignmentReplacesTheEntries) {
    auto records = RawContracts({{3, u"C"}, {1, u"A"}});
    auto others = RawContracts({{7, u"X"}});
    CLMWireAccountContractCollection target(&others);
    {
        CLMWireAccountContractCollection source(&records);
        target = source;
        EXPECT_NE(target.GetAtIndex(0), source.GetAtIndex(0));
    }
    EXPECT_EQ(target.GetNumberOfContracts(), 2);
    EXPECT_EQ(target.GetWireAccountContract(7L), nullptr);
    EXPECT_EQ(NameOf(target.GetWireAccountContract(3L)), "C");

    CLMWireAccountContractCollection& self = target;
    CLMWireAccountContract* held = target.GetAtIndex(0);
    target = self;
    EXPECT_EQ(target.GetAtIndex(0), held);
}

}  // namespace
}  // namespace Lumera
