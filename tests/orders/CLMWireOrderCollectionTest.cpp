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

// Whether the book owns the object after filing it.
bool Owns(Filed filed) {
    return filed == Filed::Working || filed == Filed::FillOrCancel;
}

// Each row is filed through AddOrder (whose true says nothing about ownership) and through Apply
// (whose result must say where the event went, and whose pointer must be empty exactly then).
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
        {"WorkingIdAlreadyHeldKeepsFirst", {7}, 2, 7, 0, {7}, Filed::DuplicateId},
        {"WorkingReplacingItsOwnId", {7}, 2, 7, 7, {7}, Filed::Working},
        {"ModifiedRetiresZero", {0, 5}, 4, 9, 0, {5, 9}, Filed::Working},
        {"ModifiedReplacesOriginal", {5, 6}, 4, 9, 5, {6, 9}, Filed::Working},
        {"ModifiedIdAlreadyHeldKeepsFirst", {3, 9}, 4, 9, 3, {9}, Filed::DuplicateId},
        {"FillEndsWorkingOrder", {8, 9}, 3, 8, 9, {9}, Filed::FillOrCancel},
        {"FillWithoutWorkingOrder", {9}, 3, 8, 0, {9}, Filed::FillOrCancel},
        {"CancelEndsWorkingOrder", {8, 9}, 5, 9, 8, {8}, Filed::FillOrCancel},
        {"RemovedRetiresOriginal", {7, 8}, 1, 8, 7, {8}, Filed::RetiredOnly},
        {"RemovedRetiresZero", {0, 8}, 1, 5, 0, {8}, Filed::RetiredOnly},
        {"RemovedRetiresNothingUnknown", {8}, 1, 5, 6, {8}, Filed::RetiredOnly},
        {"OtherStatusIsStoredUnlisted", {10, 11}, 6, 12, 10, {10, 11}, Filed::Working},
        {"StatusZeroIdAlreadyHeld", {10}, 0, 10, 0, {10}, Filed::DuplicateId}};
    for (const bool viaApply : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.name << (viaApply ? " via Apply" : ""));
            CLMWireOrderCollection book;
            for (long id : row.held) {
                ASSERT_TRUE(book.AddOrder(MakeOrder(2, id, 0, 100 + id).release()));
            }
            auto event = MakeOrder(row.status, row.orderID, row.originalID, 999);
            CLMWireOrder* raw = event.get();
            if (viaApply) {
                EXPECT_EQ(book.Apply(event), row.filed);
                EXPECT_EQ(event == nullptr, Owns(row.filed));
            } else {
                EXPECT_TRUE(book.AddOrder(raw));
            }
            event.release();
            std::unique_ptr<CLMWireOrder> callers(Owns(row.filed) ? nullptr : raw);
            using List = std::vector<CLMWireOrder*>;
            const bool fill = row.filed == Filed::FillOrCancel && row.status == 3;
            const bool cancel = row.filed == Filed::FillOrCancel && row.status == 5;
            EXPECT_EQ(Qtys(book.GetWorkingOrders(), kId), row.workingAfter);
            EXPECT_EQ(book.GetFills(), fill ? List{raw} : List{});
            EXPECT_EQ(book.GetCancels(), cancel ? List{raw} : List{});
            EXPECT_EQ(book.GetWorkingOrder(row.orderID) == raw, row.filed == Filed::Working);
        }
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
    std::unique_ptr<CLMWireOrder> none;
    EXPECT_EQ(book.Apply(none), Filed::Refused);
    EXPECT_EQ(book.Apply(nullptr), Filed::Refused);
    CLMWireOrder* working = MakeOrder(2, 1, 0, 1).release();
    CLMWireOrder* fill = MakeOrder(3, 2).release();
    ASSERT_TRUE(book.AddOrder(working) && book.AddOrder(fill));
    EXPECT_FALSE(book.AddOrder(fill));
    // A caller that wrongly still holds a held order gets its pointer released, not deleted:
    // the book deletes the order once, when it is destroyed (AddressSanitizer).
    std::unique_ptr<CLMWireOrder> again(fill);
    EXPECT_EQ(book.Apply(again), Filed::AlreadyHeld);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(book.GetFills(), std::vector<CLMWireOrder*>{fill});
    // Re-added as a fill of its own id, a held order must not retire (delete) itself.
    working->setOrderStatus(osFilled);
    EXPECT_FALSE(book.AddOrder(working));
    again.reset(working);
    EXPECT_EQ(book.Apply(again), Filed::AlreadyHeld);
    EXPECT_EQ(again, nullptr);
    EXPECT_EQ(book.GetWorkingOrder(1), working);
    // A second working order under a held id is refused but not remembered as held: it can be
    // handed over once the id is free.
    working->setOrderStatus(osWorking);
    auto second = MakeOrder(2, 1, 0, 2);
    EXPECT_TRUE(book.AddOrder(second.get()));
    EXPECT_EQ(book.Apply(second), Filed::DuplicateId);
    ASSERT_NE(second, nullptr);
    ASSERT_TRUE(book.AddOrder(MakeOrder(5, 1).release()));
    CLMWireOrder* raw = second.get();
    EXPECT_EQ(book.Apply(second), Filed::Working);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(book.GetWorkingOrder(1), raw);
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

// Hands one event to the book; false if the book then disagrees about the event's own id. Through
// AddOrder the caller works out from the status whether the book kept the event; through Apply
// the result says so, and must be the one the status calls for.
bool File(CLMWireOrderCollection& book, std::unique_ptr<CLMWireOrder> order, bool viaApply) {
    const int status = order->getOrderStatus();
    const long id = status == 1 ? order->getOriginalOrderID() : order->getOrderID();
    bool agrees = true;
    if (viaApply) {
        const Filed expected = status == 1   ? Filed::RetiredOnly
                               : status == 3 ? Filed::FillOrCancel
                               : status == 5 ? Filed::FillOrCancel
                                             : Filed::Working;
        agrees = book.Apply(order) == expected && (order == nullptr) == (status != 1);
    } else if (book.AddOrder(order.get()) && status != 1) {
        order.release();
    }
    const bool working = status == 2 || status == 4;
    return agrees && (book.GetWorkingOrder(id) != nullptr) == working &&
           (status != 3 || !book.GetFills(id).empty());
}

// Also records every event in a completed collection, through AddOrder or Apply alike.
bool Record(CLMWireOrderCompletedCollection& done, const CLMWireOrder& event, bool viaApply) {
    auto record = std::make_unique<CLMWireOrder>(event);
    record->setFillID(-1);  // no order has this id, so no fill is refused
    const long id = record->getOrderID();
    const bool stored = viaApply ? done.Apply(record) == Filed::Stored && record == nullptr
                                 : done.AddOrder(record.get()) && record.release() != nullptr;
    done.GetAtIndex(done.Count() - 1);
    return stored && !done.Find(id).empty();
}

TEST(CLMWireOrderCollection, ConcurrentEventsEndInTheSequentialState) {
    for (const bool viaApply : {false, true}) {
        SCOPED_TRACE(viaApply ? "via Apply" : "via AddOrder");
        CLMWireOrderCollection shared;
        CLMWireOrderCompletedCollection done;
        std::vector<int> failures(kThreads, 0);
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (auto& event : EventsOfThread(t)) {
                    failures[t] += Record(done, *event, viaApply) ? 0 : 1;
                    failures[t] += File(shared, std::move(event), viaApply) ? 0 : 1;
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
                File(sequential, std::move(event), false);
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
}

}  // namespace
}  // namespace Lumera
