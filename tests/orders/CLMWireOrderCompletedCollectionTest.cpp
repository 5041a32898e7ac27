#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>
#include <vector>

#include "orders/OrderEvents.h"

namespace Lumera {
namespace {

using testing::MakeOrder;

std::vector<long> QtysByPosition(CLMWireOrderCompletedCollection& done) {
    std::vector<long> qtys;
    for (unsigned int i = 0; i < done.Count(); ++i) {
        qtys.push_back(done.GetAtIndex(i)->getQty());
    }
    return qtys;
}

std::vector<long> Qtys(const std::vector<CLMWireOrder*>& orders) {
    std::vector<long> qtys;
    for (CLMWireOrder* order : orders) {
        qtys.push_back(order->getQty());
    }
    return qtys;
}

TEST(CLMWireOrderCompletedCollection, EmptyCollectionHoldsNothing) {
    CLMWireOrderCompletedCollection done;
    EXPECT_EQ(done.Count(), 0u);
    EXPECT_EQ(done.GetAtIndex(0), nullptr);
    EXPECT_TRUE(done.Find(0).empty());
}

TEST(CLMWireOrderCompletedCollection, PositionsFollowIdsThenOrderOfAdding) {
    CLMWireOrderCompletedCollection done;
    EXPECT_TRUE(done.AddOrder(MakeOrder(2, 5, 0, 1).release()));
    EXPECT_TRUE(done.AddOrder(MakeOrder(2, 3, 0, 2).release()));
    EXPECT_TRUE(done.AddOrder(MakeOrder(2, 5, 0, 3).release()));
    EXPECT_EQ(done.Count(), 3u);
    EXPECT_EQ(QtysByPosition(done), (std::vector<long>{2, 1, 3}));
    EXPECT_EQ(done.GetAtIndex(3), nullptr);
    EXPECT_EQ(done.GetAtIndex(~0u), nullptr);
    EXPECT_EQ(Qtys(done.Find(5)), (std::vector<long>{1, 3}));
    EXPECT_TRUE(done.Find(4).empty());
    EXPECT_TRUE(done.Find(5 + (1L << 32)).empty());

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
    EXPECT_FALSE(done.AddOrder(refused.get()));
    EXPECT_EQ(done.Count(), 1u);
    EXPECT_TRUE(done.Find(8).empty());
    EXPECT_EQ(refused->getQty(), 2);  // still the caller's, released by the unique_ptr

    auto accepted = MakeOrder(3, 8, 0, 3);
    accepted->setFillID(6);
    EXPECT_TRUE(done.AddOrder(accepted.release()));

    // Any other status is stored whatever ids are held.
    for (int status : {0, 1, 2, 4, 5, 6}) {
        auto order = MakeOrder(status, 5, 0, 10 + status);
        order->setFillID(5);
        EXPECT_TRUE(done.AddOrder(order.release())) << status;
    }
    EXPECT_EQ(done.Find(5).size(), 7u);
    EXPECT_EQ(done.Count(), 8u);
}

TEST(CLMWireOrderCompletedCollection, RefusesNullAndOrdersAlreadyHeld) {
    CLMWireOrderCompletedCollection done;
    EXPECT_FALSE(done.AddOrder(nullptr));
    CLMWireOrder* order = MakeOrder(2, 1).release();
    ASSERT_TRUE(done.AddOrder(order));
    EXPECT_FALSE(done.AddOrder(order));
    EXPECT_EQ(done.Count(), 1u);
}

TEST(CLMWireOrderCompletedCollection, RemoveAllEmptiesAndCanBeRefilled) {
    CLMWireOrderCompletedCollection done;
    CLMWireOrder* order = MakeOrder(2, 1).release();
    done.AddOrder(order);
    done.AddOrder(MakeOrder(3, 2).release());
    done.removeAll();
    EXPECT_EQ(done.Count(), 0u);
    EXPECT_EQ(done.GetAtIndex(0), nullptr);
    EXPECT_TRUE(done.Find(1).empty());
    // A deleted order's address may come back from the allocator; it is no longer held.
    EXPECT_TRUE(done.AddOrder(MakeOrder(2, 1, 0, 7).release()));
    EXPECT_EQ(Qtys(done.Find(1)), std::vector<long>{7});
}

TEST(CLMWireOrderCompletedCollection, CopiesAreDeepAndIndependent) {
    CLMWireOrderCompletedCollection source;
    source.AddOrder(MakeOrder(2, 5, 0, 1).release());
    source.AddOrder(MakeOrder(3, 5, 0, 2).release());
    source.AddOrder(MakeOrder(5, 2, 0, 3).release());

    CLMWireOrderCompletedCollection copy(source);
    CLMWireOrderCompletedCollection assigned;
    assigned.AddOrder(MakeOrder(2, 9).release());
    assigned = source;
    for (CLMWireOrderCompletedCollection* other : {&copy, &assigned}) {
        EXPECT_EQ(QtysByPosition(*other), (std::vector<long>{3, 1, 2}));
        EXPECT_NE(other->GetAtIndex(0), source.GetAtIndex(0));
        EXPECT_TRUE(other->Find(9).empty());
    }

    source.GetAtIndex(0)->setQty(0);
    source.removeAll();
    EXPECT_EQ(QtysByPosition(copy), (std::vector<long>{3, 1, 2}));
    EXPECT_EQ(QtysByPosition(assigned), (std::vector<long>{3, 1, 2}));

    CLMWireOrderCompletedCollection& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.Count(), 3u);
}

TEST(CLMWireOrderCompletedCollection, ConcurrentAddsAndWalksLoseNothing) {
    constexpr int kThreads = 4;
    constexpr int kOrders = 400;
    CLMWireOrderCompletedCollection done;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&done, t] {
            for (int k = 0; k < kOrders; ++k) {
                // Two threads share each id, so equal keys interleave.
                EXPECT_TRUE(done.AddOrder(MakeOrder(2, k * 2 + t % 2, 0, t).release()));
                const unsigned int count = done.Count();
                EXPECT_NE(done.GetAtIndex(count - 1), nullptr);
                EXPECT_FALSE(done.Find(k * 2 + t % 2).empty());
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(done.Count(), unsigned{kThreads * kOrders});
    long previous = -1;
    for (unsigned int i = 0; i < done.Count(); ++i) {
        const long id = done.GetAtIndex(i)->getOrderID();
        EXPECT_LE(previous, id);
        previous = id;
    }
    for (int id = 0; id < kOrders * 2; ++id) {
        ASSERT_EQ(done.Find(id).size(), 2u) << id;
    }
}

}  // namespace
}  // namespace Lumera
