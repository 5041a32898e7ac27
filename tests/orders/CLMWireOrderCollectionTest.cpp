#include "wire_types/orders/CLMWireOrderCollection.h"

#include <gtest/gtest.h>
#include <cstdint>

#include <memory>
#include <thread>
#include <tuple>
#include <utility>
#include <vector>

#include "WideLong.h"
#include "orders/OrderEvents.h"
#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

namespace Lumera {
namespace {

using testing::MakeOrder;
using testing::Qtys;

constexpr auto kId = &CLMWireOrder::getOrderID;

enum class Filed { Working, Fill, Cancel, NotStored };  // Working: in the map, listed or not

TEST(CLMWireOrderCollection, StatusTableFilesEachEventAndRetiresWhatItEnds) {
    struct Row {
        const char* name;
        std::vector<long> held;  // working orders (status 2) already held
        int status;
        long orderID;
        long originalID;
        std::vector<long> workingAfter;  // ids GetWorkingOrders lists afterwards
        Filed filed;
    };
    const Row rows[] = {
        {"NewWorking", {}, 2, 7, 0, {7}, Filed::Working},
        {"WorkingWithZeroOriginalRetiresNothing", {0, 3}, 2, 7, 0, {0, 3, 7}, Filed::Working},
        {"WorkingReplacesOriginal", {7}, 2, 8, 7, {8}, Filed::Working},
        {"WorkingIdAlreadyHeldKeepsFirst", {7}, 2, 7, 0, {7}, Filed::NotStored},
        {"WorkingReplacingItsOwnId", {7}, 2, 7, 7, {7}, Filed::Working},
        {"ModifiedRetiresZero", {0, 5}, 4, 9, 0, {5, 9}, Filed::Working},
        {"ModifiedReplacesOriginal", {5, 6}, 4, 9, 5, {6, 9}, Filed::Working},
        {"ModifiedIdAlreadyHeldKeepsFirst", {3, 9}, 4, 9, 3, {9}, Filed::NotStored},
        {"FillEndsWorkingOrder", {8, 9}, 3, 8, 9, {9}, Filed::Fill},
        {"FillWithoutWorkingOrder", {9}, 3, 8, 0, {9}, Filed::Fill},
        {"CancelEndsWorkingOrder", {8, 9}, 5, 9, 8, {8}, Filed::Cancel},
        {"RemovedRetiresOriginal", {7, 8}, 1, 8, 7, {8}, Filed::NotStored},
        {"RemovedRetiresZero", {0, 8}, 1, 5, 0, {8}, Filed::NotStored},
        {"OtherStatusIsStoredUnlisted", {10, 11}, 6, 12, 10, {10, 11}, Filed::Working},
        {"StatusZeroIdAlreadyHeld", {10}, 0, 10, 0, {10}, Filed::NotStored}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CLMWireOrderCollection book;
        for (long id : row.held) {
            ASSERT_TRUE(book.AddOrder(MakeOrder(2, id, 0, 100 + id).release()));
        }
        auto event = MakeOrder(row.status, row.orderID, row.originalID, 999);
        CLMWireOrder* raw = event.get();
        ASSERT_TRUE(book.AddOrder(raw));
        if (row.filed != Filed::NotStored) {
            event.release();  // the book owns it now; otherwise the unique_ptr deletes it
        }
        using List = std::vector<CLMWireOrder*>;
        EXPECT_EQ(Qtys(book.GetWorkingOrders(), kId), row.workingAfter);
        EXPECT_EQ(book.GetFills(), row.filed == Filed::Fill ? List{raw} : List{});
        EXPECT_EQ(book.GetCancels(), row.filed == Filed::Cancel ? List{raw} : List{});
        EXPECT_EQ(book.GetWorkingOrder(row.orderID) == raw, row.filed == Filed::Working);
    }
}

TEST(CLMWireOrderCollection, FillsAndCancelsOutliveTheirWorkingOrder) {
    CLMWireOrderCollection book;
    for (auto [status, id, qty] :
         {std::tuple{2, 8, 1}, {3, 8, 2}, {3, 8, 3}, {3, 4, 4}, {2, 9, 5}, {5, 9, 6}}) {
        book.AddOrder(MakeOrder(status, id, 0, qty).release());
    }
    EXPECT_TRUE(book.GetWorkingOrders().empty());
    EXPECT_EQ(Qtys(book.GetFills()), (std::vector<long>{4, 2, 3}));
    EXPECT_EQ(Qtys(book.GetFills(8)), (std::vector<long>{2, 3}));
    // An id beyond 32 bits counts by its low 32 bits, as the setters store it.
    EXPECT_EQ(Qtys(book.GetFills(lmwire_test::WithBit32(8))), (std::vector<long>{2, 3}));
    EXPECT_EQ(Qtys(book.GetCancels()), std::vector<long>{6});
}

TEST(CLMWireOrderCollection, StatusFiltersReadTheCurrentStatus) {
    CLMWireOrderCollection book;
    CLMWireOrder* working = MakeOrder(2, 1).release();
    CLMWireOrder* hidden = MakeOrder(6, 2).release();
    CLMWireOrder* fill = MakeOrder(3, 3).release();
    for (CLMWireOrder* order : {working, hidden, fill}) {
        book.AddOrder(order);
    }
    working->setOrderStatus(osFilled);
    hidden->setOrderStatus(osModified);
    fill->setOrderStatus(osCancelled);
    working->setOrderID(40);
    EXPECT_EQ(Qtys(book.GetWorkingOrders(), kId), std::vector<long>{2});
    EXPECT_EQ(book.GetWorkingOrder(1), working);  // filed under the id it was added with
    EXPECT_EQ(book.GetWorkingOrder(lmwire_test::WithBit32(1)), working);
    EXPECT_TRUE(book.GetFills(3).empty());
    EXPECT_EQ(book.GetCancels(), std::vector<CLMWireOrder*>{fill});
}

TEST(CLMWireOrderCollection, RefusesNullAndOrdersAlreadyHeld) {
    CLMWireOrderCollection book;
    EXPECT_FALSE(book.AddOrder(nullptr));
    CLMWireOrder* working = MakeOrder(2, 1, 0, 1).release();
    CLMWireOrder* fill = MakeOrder(3, 2).release();
    ASSERT_TRUE(book.AddOrder(working) && book.AddOrder(fill));
    EXPECT_FALSE(book.AddOrder(fill));
    // Re-added as a fill of its own id, a held order must not retire (delete) itself.
    working->setOrderStatus(osFilled);
    EXPECT_FALSE(book.AddOrder(working));
    EXPECT_EQ(book.GetWorkingOrder(1), working);
    // A second working order under a held id is refused but not remembered as held: it can be
    // handed over once the id is free.
    working->setOrderStatus(osWorking);
    auto second = MakeOrder(2, 1, 0, 2);
    EXPECT_TRUE(book.AddOrder(second.get()));
    ASSERT_TRUE(book.AddOrder(MakeOrder(5, 1).release()));
    EXPECT_TRUE(book.AddOrder(second.get()));
    EXPECT_EQ(book.GetWorkingOrder(1), second.release());
}

TEST(CLMWireOrderCollection, CopiesAreDeepAndIndependent) {
    CLMWireOrderCollection source;
    for (auto [status, id, qty] :
         {std::tuple{2, 1, 10}, {6, 2, 20}, {3, 3, 30}, {3, 3, 31}, {5, 4, 40}}) {
        source.AddOrder(MakeOrder(status, id, 0, qty).release());
    }
    CLMWireOrderCollection copy(source);
    CLMWireOrderCollection assigned;
    assigned.AddOrder(MakeOrder(2, 99).release());
    assigned = source;

    source.AddOrder(MakeOrder(5, 1, 0, 11).release());
    source.GetFills(3).front()->setQty(0);
    for (CLMWireOrderCollection* other : {&copy, &assigned}) {
        EXPECT_EQ(Qtys(other->GetWorkingOrders()), std::vector<long>{10});
        ASSERT_NE(other->GetWorkingOrder(2), nullptr);
        EXPECT_EQ(other->GetWorkingOrder(99), nullptr);
        EXPECT_EQ(Qtys(other->GetFills(3)), (std::vector<long>{30, 31}));
        EXPECT_EQ(Qtys(other->GetCancels()), std::vector<long>{40});
        // Each copy knows the orders it holds, and only those.
        EXPECT_FALSE(other->AddOrder(other->GetWorkingOrder(2)));
        EXPECT_FALSE(other->AddOrder(other->GetFills(3).back()));
    }
}

// Threads add the events of their own ids while querying the shared book, checking it after
// each event; the final book must equal the same events applied one thread after another.
constexpr int kThreads = 6;
constexpr int kOrders = 300;

// Per order: working, replace (as working or modified), then fills, a cancel, a removal or nothing.
std::vector<std::unique_ptr<CLMWireOrder>> EventsOfThread(int thread) {
    static const std::vector<int> kEnds[] = {{3}, {3, 3}, {5}, {1}, {}};
    std::vector<std::unique_ptr<CLMWireOrder>> events;
    long qty = thread * 1000000L;
    for (int k = 0; k < kOrders; ++k) {
        const long id = (thread + 1) * 100000L + 2L * k;
        events.push_back(MakeOrder(2, id, 0, ++qty));
        events.push_back(MakeOrder(k % 2 == 0 ? 2 : 4, id + 1, id, ++qty));
        for (int status : kEnds[k % 5]) {  // a removal names the order it ends as the original
            events.push_back(status == 1 ? MakeOrder(1, 0, id + 1, ++qty)
                                         : MakeOrder(status, id + 1, 0, ++qty));
        }
    }
    return events;
}

// Hands one event to the book; false if the book then disagrees about the event's own id.
bool Apply(CLMWireOrderCollection& book, std::unique_ptr<CLMWireOrder> order) {
    const int status = order->getOrderStatus();
    const long id = status == 1 ? order->getOriginalOrderID() : order->getOrderID();
    if (book.AddOrder(order.get()) && status != 1) {
        order.release();
    }
    const bool working = status == 2 || status == 4;
    return (book.GetWorkingOrder(id) != nullptr) == working &&
           (status != 3 || !book.GetFills(id).empty());
}

TEST(CLMWireOrderCollection, ConcurrentEventsEndInTheSequentialState) {
    CLMWireOrderCollection shared;
    CLMWireOrderCompletedCollection done;  // every event is also recorded there
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (auto& event : EventsOfThread(t)) {
                auto record = std::make_unique<CLMWireOrder>(*event);
                record->setFillID(-1);  // no order has this id, so no fill is refused
                const long id = record->getOrderID();
                failures[t] += done.AddOrder(record.release()) && !done.Find(id).empty() ? 0 : 1;
                done.GetAtIndex(done.Count() - 1);
                failures[t] += Apply(shared, std::move(event)) ? 0 : 1;
                shared.GetWorkingOrders();  // other threads' orders may go at any moment
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    EXPECT_EQ(done.Count(), unsigned{kThreads * kOrders * 3});

    CLMWireOrderCollection sequential;
    for (int t = 0; t < kThreads; ++t) {
        for (auto& event : EventsOfThread(t)) {
            Apply(sequential, std::move(event));
        }
    }
    EXPECT_EQ(Qtys(shared.GetWorkingOrders()), Qtys(sequential.GetWorkingOrders()));
    EXPECT_EQ(Qtys(shared.GetFills()), Qtys(sequential.GetFills()));
    EXPECT_EQ(Qtys(shared.GetCancels()), Qtys(sequential.GetCancels()));
    // Per five orders of a thread: one working order survives, three fills and one cancel.
    EXPECT_EQ(shared.GetWorkingOrders().size(), std::size_t{kThreads * kOrders / 5});
    EXPECT_EQ(shared.GetFills().size() + shared.GetCancels().size(),
              std::size_t{kThreads * kOrders * 4 / 5});
}

}  // namespace
}  // namespace Lumera
