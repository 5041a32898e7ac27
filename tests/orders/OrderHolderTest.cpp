// The mark of the collection that holds an order belongs to the object, not to its value, and
// copying a collection reads nothing that a reader of its orders writes.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "orders/OrderEvents.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

namespace Lumera {
namespace {

using testing::MakeOrder;
using testing::Qtys;

// Adding a held order again must be refused; were it filed twice, the collection would later
// free it twice (AddressSanitizer).
TEST(OrderHolder, AssignmentAndSwapKeepEachObjectsMark) {
    CLMWireOrderCollection book;
    CLMWireOrderCompletedCollection done;
    auto* inBook = MakeOrder(2, 7, 0, 70).release();
    auto* inDone = MakeOrder(2, 8, 0, 80).release();
    ASSERT_TRUE(book.AddOrder(inBook));
    ASSERT_TRUE(done.AddOrder(inDone));

    auto free = MakeOrder(2, 9, 0, 90);
    *inBook = *free;
    EXPECT_EQ(inBook->getQty(), 90);
    EXPECT_FALSE(book.AddOrder(inBook));
    *free = *inBook;  // a value from a held order does not make the object held
    ASSERT_TRUE(book.AddOrder(free.get()));
    free.release();

    std::swap(*inBook, *inDone);
    EXPECT_EQ(inBook->getQty(), 80);
    EXPECT_EQ(inDone->getQty(), 90);
    EXPECT_FALSE(book.AddOrder(inBook));
    EXPECT_FALSE(done.AddOrder(inDone));

    auto copy = std::make_unique<CLMWireOrder>(*inBook);  // a copy is nobody's
    ASSERT_TRUE(done.AddOrder(copy.get()));
    copy.release();
    EXPECT_EQ(done.Count(), 2u);
    EXPECT_EQ(Qtys(book.GetWorkingOrders()), (std::vector<long>{80, 90}));
}

// Readers call the price members of the book's orders (which update each order's converter)
// while other threads copy the book; ThreadSanitizer sees any access the copy makes to them.
TEST(OrderHolder, CopyingABookRacesWithNoReaderOfItsOrders) {
    CLMWireOrderCollection book;
    for (long id = 1; id <= 16; ++id) {
        auto order = MakeOrder(2, id, 0, id);
        order->setPriceFormatCode(static_cast<enumPriceFormatCode>(id));
        book.AddOrder(order.release());
    }
    const std::vector<CLMWireOrder*> orders = book.GetWorkingOrders();
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            while (!stop.load()) {
                for (CLMWireOrder* order : orders) {
                    order->PriceFromTicks(1234);
                    order->DisplayToTicks("12.5");
                }
            }
        });
    }
    std::vector<std::thread> copiers;
    for (int t = 0; t < 4; ++t) {
        copiers.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                CLMWireOrderCollection copy(book);
                EXPECT_EQ(copy.GetWorkingOrders().size(), orders.size());
                EXPECT_EQ(copy.GetWorkingOrder(6)->PriceFromTicks(1234), "38.18");
            }
        });
    }
    for (auto& copier : copiers) {
        copier.join();
    }
    stop = true;
    for (auto& thread : threads) {
        thread.join();
    }
}

}  // namespace
}  // namespace Lumera
