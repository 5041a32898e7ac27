#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

#include <gtest/gtest.h>
#include <cstdint>

#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "WideLong.h"
#include "orders/OrderEvents.h"

namespace Lumera {
namespace {

using testing::MakeOrder;
using testing::Qtys;

std::vector<long> QtysByPosition(CLMWireOrderCompletedCollection& done) {
    std::vector<CLMWireOrder*> orders;
    for (unsigned int i = 0; i < done.Count(); ++i) {
        orders.push_back(done.GetAtIndex(i));
    }
    return Qtys(orders);
}

TEST(CLMWireOrderCompletedCollection, PositionsFollowIdsThenOrderOfAdding) {
    CLMWireOrderCompletedCollection done;
    for (auto [id, qty] : {std::pair{5, 1}, {3, 2}, {5, 3}}) {
        EXPECT_TRUE(done.AddOrder(MakeOrder(2, id, 0, qty).release()));
    }
    EXPECT_EQ(QtysByPosition(done), (std::vector<long>{2, 1, 3}));
    EXPECT_FALSE(done.AddOrder(done.GetAtIndex(0)));  // already held
    EXPECT_FALSE(done.AddOrder(nullptr));
    EXPECT_EQ(done.GetAtIndex(3), nullptr);
    EXPECT_EQ(Qtys(done.Find(5)), (std::vector<long>{1, 3}));
    EXPECT_EQ(Qtys(done.Find(lmwire_test::WithBit32(5))),
              (std::vector<long>{1, 3}));  // low 32 bits

    // An entry with a lower id shifts every entry above it by one position.
    CLMWireOrder* second = done.GetAtIndex(1);
    EXPECT_TRUE(done.AddOrder(MakeOrder(5, 4, 0, 4).release()));
    EXPECT_EQ(done.GetAtIndex(2), second);
    EXPECT_EQ(QtysByPosition(done), (std::vector<long>{2, 4, 1, 3}));
}

TEST(CLMWireOrderCompletedCollection, FillWhoseFillIdIsAKeyIsRefused) {
    CLMWireOrderCompletedCollection done;
    done.AddOrder(MakeOrder(2, 5, 0, 1).release());
    auto refused = MakeOrder(3, 8, 0, 2);
    refused->setFillID(5);
    EXPECT_FALSE(done.AddOrder(refused.get()));  // still the caller's: the unique_ptr deletes it

    auto accepted = MakeOrder(3, 8, 0, 3);
    accepted->setFillID(6);
    EXPECT_TRUE(done.AddOrder(accepted.release()));
    // Any other status is stored whatever ids are held.
    for (int status : {0, 1, 2, 4, 5, 6}) {
        auto order = MakeOrder(status, 5, 0, 10 + status);
        order->setFillID(5);
        EXPECT_TRUE(done.AddOrder(order.release())) << status;
    }
    EXPECT_EQ(done.Count(), 8u);
}

// The same rules through Apply, whose pointer is empty exactly when the collection owns the
// object; a pointer kept wrongly would be freed twice, one released wrongly would leak
// (AddressSanitizer).
TEST(CLMWireOrderCompletedCollection, ApplySettlesOwnershipInTheCallersPointer) {
    CLMWireOrderCompletedCollection done;
    std::unique_ptr<CLMWireOrder> none;
    EXPECT_EQ(done.Apply(none), Filed::Refused);

    auto first = MakeOrder(2, 5, 0, 1);
    CLMWireOrder* held = first.get();
    EXPECT_EQ(done.Apply(first), Filed::Stored);
    EXPECT_EQ(first, nullptr);

    auto refused = MakeOrder(3, 8, 0, 2);
    refused->setFillID(5);
    EXPECT_EQ(done.Apply(refused), Filed::Refused);
    ASSERT_NE(refused, nullptr);
    refused->setFillID(6);  // no longer refused: the same object can be handed over
    EXPECT_EQ(done.Apply(refused), Filed::Stored);
    EXPECT_EQ(refused, nullptr);

    std::unique_ptr<CLMWireOrder> again(held);
    EXPECT_EQ(done.Apply(again), Filed::AlreadyHeld);
    EXPECT_EQ(again, nullptr);

    // Handed over outright, a refused order is destroyed, not left in the moved-from pointer.
    auto outright = MakeOrder(3, 9, 0, 3);
    outright->setFillID(5);
    EXPECT_EQ(done.Apply(std::move(outright)), Filed::Refused);
    EXPECT_EQ(outright, nullptr);  // NOLINT(bugprone-use-after-move): emptied by contract
    EXPECT_EQ(done.Apply(MakeOrder(2, 7, 0, 4)), Filed::Stored);
    EXPECT_EQ(QtysByPosition(done), (std::vector<long>{1, 4, 2}));
}

TEST(CLMWireOrderCompletedCollection, CopiesAreDeepAndRemoveAllEmptiesTheSource) {
    CLMWireOrderCompletedCollection source;
    for (auto [status, id, qty] : {std::tuple{2, 5, 1}, {3, 5, 2}, {5, 2, 3}}) {
        source.AddOrder(MakeOrder(status, id, 0, qty).release());
    }
    CLMWireOrderCompletedCollection copy(source);
    CLMWireOrderCompletedCollection assigned;
    assigned.AddOrder(MakeOrder(2, 9).release());
    assigned = source;

    source.GetAtIndex(0)->setQty(0);
    source.removeAll();
    // A deleted order's address may come back from the allocator; it is no longer held.
    EXPECT_TRUE(source.AddOrder(MakeOrder(2, 5, 0, 7).release()));
    EXPECT_EQ(Qtys(source.Find(5)), std::vector<long>{7});
    EXPECT_EQ(QtysByPosition(copy), (std::vector<long>{3, 1, 2}));
    EXPECT_EQ(QtysByPosition(assigned), (std::vector<long>{3, 1, 2}));
    for (CLMWireOrderCompletedCollection* other : {&copy, &assigned}) {
        EXPECT_FALSE(other->AddOrder(other->GetAtIndex(1)));  // held by the copy itself
    }
}

}  // namespace
}  // namespace Lumera
