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

using testing::FillRaw;
using testing::ScopedLocalMonth;

WireArray<WireAccountContract> Raw(const std::vector<std::pair<long, std::u16string>>& entries) {
    WireArray<WireAccountContract> records(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        FillRaw(records[i], entries[i].first, entries[i].second);
    }
    return records;
}

std::string NameOf(CLMWireAccountContract* held) {
    return held == nullptr ? "<none>" : held->getWireContract()->getName();
}

TEST(CLMWireAccountContractCollection, EmptyFindsNothing) {
    CLMWireAccountContractCollection collection;
    EXPECT_EQ(collection.GetNumberOfContracts(), 0);
    EXPECT_EQ(collection.GetAtIndex(0), nullptr);
    EXPECT_EQ(collection.GetWireAccountContract(1L), nullptr);
    EXPECT_EQ(collection.GetWireAccountContract(std::string("AB#")), nullptr);
    EXPECT_THROW(collection.AddAccountContract(nullptr), std::invalid_argument);
    EXPECT_THROW(
        CLMWireAccountContractCollection(static_cast<WireArray<WireAccountContract>*>(nullptr)),
        std::invalid_argument);
}

TEST(CLMWireAccountContractCollection, OrdersByIdKeepsTheFirstDuplicateAndMatchesNamesExactly) {
    auto records = Raw({{30, u"C"}, {10, u"abz3"}, {20, u"C"}, {10, u"other"}});
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
    first->getWireContract()->setContractID(50);
    EXPECT_EQ(collection.GetWireAccountContract(4L), first);
}

TEST(CLMWireAccountContractCollection, RollOverFindsTheNearestMonthOfThisYear) {
    struct Case {
        int year;
        int month;
        std::vector<std::u16string> names;
        std::string request;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {2013, 2, {u"ABM3", u"ABH3"}, "AB#", "ABH3"},
        {2013, 2, {u"ABM3"}, "AB#", "ABM3"},
        {2013, 2, {u"ABZ2"}, "AB#", "<none>"},
        {2013, 5, {u"ABH3", u"ABU3"}, "AB#", "ABU3"},
        {2013, 2, {u"ABM3", u"ABH3"}, "AB#XYZ", "ABH3"},
        {2013, 2, {u"ABH3"}, "AB#H3#", "ABH3"},
        {2013, 2, {u"ABH3", u"H3"}, "#", "H3"},
        {2013, 2, {u"ABH3", u"XABH3"}, "ab#", "<none>"},
        {2013, 11, {u"ABF4", u"ABZ3"}, "AB#", "ABZ3"},
        {2013, 11, {u"ABF4", u"ABH4"}, "AB#", "<none>"},
        {2020, 0, {u"ABF0"}, "AB#", "ABF0"},
    };
    for (const Case& c : cases) {
        ScopedLocalMonth clock(c.year, c.month);
        std::vector<std::pair<long, std::u16string>> entries;
        for (const auto& name : c.names) {
            entries.emplace_back(static_cast<long>(entries.size()), name);
        }
        auto records = Raw(entries);
        CLMWireAccountContractCollection collection(&records);
        EXPECT_EQ(NameOf(collection.GetWireAccountContract(c.request)), c.expected)
            << c.request << " in " << c.year << "/" << c.month + 1;
    }
}

TEST(CLMWireAccountContractCollection, CopyAndAssignmentOutliveTheSource) {
    auto records = Raw({{3, u"C"}, {1, u"A"}});
    auto others = Raw({{7, u"X"}});
    auto source = std::make_unique<CLMWireAccountContractCollection>(&records);
    CLMWireAccountContractCollection copy(*source);
    CLMWireAccountContractCollection assigned(&others);
    assigned = *source;
    EXPECT_NE(copy.GetAtIndex(0), source->GetAtIndex(0));
    source.reset();
    for (auto* collection : {&copy, &assigned}) {
        EXPECT_EQ(collection->GetNumberOfContracts(), 2);
        EXPECT_EQ(collection->GetWireAccountContract(7L), nullptr);
        EXPECT_EQ(NameOf(collection->GetWireAccountContract(3L)), "C");
    }
    EXPECT_NE(copy.GetAtIndex(1), assigned.GetAtIndex(1));
}

}  // namespace
}  // namespace Lumera
