#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

#include <gtest/gtest.h>

#include <memory>
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
    for (unsigned int i = 0; i <= done.Count(); ++i) {  // one past the end: null
        orders.push_back(done.GetAtIndex(i));
    }
    EXPECT_EQ(orders.back(), nullptr);
    orders.pop_back();
    return Qtys(orders);
}

std::unique_ptr<CLMWireOrder> Fill(long id, long fillID, long qty) {
    auto order = MakeOrder(3, id, 0, qty);
    order->setFillID(fillID);
    return order;
}

// Through Apply the pointer is empty exactly when the collection owns the object; a pointer kept
// wrongly would be freed twice, one released wrongly would leak.
TEST(CLMWireOrderCompletedCollection, FilesByIdThenOrderOfAddingAndRefusesKnownFills) {
    CLMWireOrderCompletedCollection done;
    EXPECT_FALSE(done.AddOrder(nullptr));
    EXPECT_EQ(done.Apply(nullptr), Filed::Refused);
    for (auto [id, qty] : {std::pair{5, 1}, {3, 2}, {5, 3}}) {
        EXPECT_TRUE(done.AddOrder(MakeOrder(2, id, 0, qty).release()));
    }
    EXPECT_EQ(QtysByPosition(done), (std::vector<long>{2, 1, 3}));
    EXPECT_EQ(Qtys(done.Find(lmwire_test::WithBit32(5))), (std::vector<long>{1, 3}));
    CLMWireOrder* second = done.GetAtIndex(1);
    EXPECT_FALSE(done.AddOrder(second));  // already held
    std::unique_ptr<CLMWireOrder> again(second);
    EXPECT_EQ(done.Apply(again), Filed::AlreadyHeld);
    EXPECT_EQ(again, nullptr);

    // A fill whose FillID is an id held is refused and stays the caller's; any other status is
    // stored whatever ids are held.
    auto refused = Fill(8, 5, 4);
    EXPECT_FALSE(done.AddOrder(refused.get()));
    EXPECT_EQ(done.Apply(refused), Filed::Refused);
    ASSERT_NE(refused, nullptr);
    refused->setFillID(6);  // no longer refused: the same object can be handed over
    EXPECT_EQ(done.Apply(refused), Filed::Stored);
    EXPECT_EQ(refused, nullptr);
    // Handed over outright, a refused order is destroyed, not left in the moved-from pointer.
    auto outright = Fill(9, 3, 0);
    EXPECT_EQ(done.Apply(std::move(outright)), Filed::Refused);
    EXPECT_EQ(outright, nullptr);  // NOLINT(bugprone-use-after-move): emptied by contract
    for (int status : {0, 1, 2, 4, 5, 6}) {
        auto order = MakeOrder(status, 4, 0, 10 + status);
        order->setFillID(5);
        EXPECT_TRUE(done.AddOrder(order.release())) << status;
    }
    // Entries with a lower id shift every entry above them.
    EXPECT_EQ(done.GetAtIndex(7), second);
    EXPECT_EQ(QtysByPosition(done), (std::vector<long>{2, 10, 11, 12, 14, 15, 16, 1, 3, 4}));
}

}  // namespace
}  // namespace Lumera
