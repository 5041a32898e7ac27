#include "wire_types/orders/CLMWireOrderCollection.h"

#include <gtest/gtest.h>

#include <atomic>
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

using lmwire_test::WithBit32;
using testing::MakeOrder;
using testing::Owns;
using testing::Qtys;
using List = std::vector<CLMWireOrder*>;

constexpr auto kId = &CLMWireOrder::getOrderID;

// Through AddOrder and Apply (whose pointer is empty exactly when the book owns the event). An
// owned event filed again is already held; one refused as a duplicate can come back once its id is
// free.
TEST(CLMWireOrderCollection, StatusTableFilesEachEventAndRetiresWhatItEnds) {
    struct Row {
        const char* name;
        std::vector<long> held;  // working orders already held
        int status;
        long orderID;
        long originalID;
        std::vector<long> workingAfter;
        Filed filed;
        bool heldObject = false;  // the event is the working order held under its id
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
        {"CancelEndsWorkingOrder", {8, 9}, 5, 9, 8, {8}, Filed::FillOrCancel},
        {"RemovedRetiresOriginal", {7, 8}, 1, 8, 7, {8}, Filed::RetiredOnly},
        {"RemovedRetiresZero", {0, 8}, 1, 5, 0, {8}, Filed::RetiredOnly},
        {"OtherStatusIsStoredUnlisted", {10, 11}, 6, 12, 10, {10, 11}, Filed::Working},
        // Refiled as a fill of its own id, a held order must not retire (delete) itself.
        {"HeldWorkingRefiledAsItsOwnFill", {7}, 3, 7, 0, {}, Filed::AlreadyHeld, true}};
    CLMWireOrderCollection empty;
    std::unique_ptr<CLMWireOrder> none;
    EXPECT_FALSE(empty.AddOrder(nullptr));
    EXPECT_EQ(empty.Apply(none), Filed::Refused);
    EXPECT_EQ(empty.Apply(nullptr), Filed::Refused);
    for (const bool viaApply : {false, true}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(::testing::Message() << row.name << (viaApply ? " via Apply" : ""));
            CLMWireOrderCollection book;
            for (long id : row.held) {
                ASSERT_TRUE(book.AddOrder(MakeOrder(2, id, 0, 100 + id).release()));
            }
            CLMWireOrder* raw = row.heldObject
                                    ? book.GetWorkingOrder(row.orderID)
                                    : MakeOrder(row.status, row.orderID, row.originalID).release();
            raw->setOrderStatus(static_cast<enumOrderStatus>(row.status));
            const auto file = [&](Filed filed) {
                std::unique_ptr<CLMWireOrder> event(raw);
                if (viaApply) {
                    EXPECT_EQ(book.Apply(event), filed);
                } else {
                    EXPECT_EQ(book.AddOrder(raw), filed != Filed::AlreadyHeld);
                }
                EXPECT_EQ(event.release() == nullptr, viaApply && Owns(filed));
            };
            file(row.filed);
            if (Owns(row.filed)) {
                file(Filed::AlreadyHeld);
            }
            std::unique_ptr<CLMWireOrder> callers(Owns(row.filed) ? nullptr : raw);
            const bool fill = row.filed == Filed::FillOrCancel && row.status == 3;
            const bool cancel = row.filed == Filed::FillOrCancel && row.status == 5;
            EXPECT_EQ(Qtys(book.GetWorkingOrders(), kId), row.workingAfter);
            EXPECT_EQ(book.GetFills(), fill ? List{raw} : List{});
            EXPECT_EQ(book.GetCancels(), cancel ? List{raw} : List{});
            EXPECT_EQ(book.GetWorkingOrder(row.orderID) == raw,
                      row.filed == Filed::Working || row.heldObject);
            if (row.filed == Filed::DuplicateId) {
                ASSERT_TRUE(book.AddOrder(MakeOrder(5, row.orderID).release()));
                EXPECT_EQ(book.Apply(callers), Filed::Working);
            }
        }
    }
}

// The lists read each order's status when asked; an order stays under the (low 32 bits of the) id
// it was added with.
TEST(CLMWireOrderCollection, FiltersReadTheCurrentStatusAndKeepFillsAndCancels) {
    CLMWireOrderCollection book;
    const std::tuple<int, long, long> events[] = {{2, 8, 1}, {3, 8, 2}, {3, 8, 3},
                                                  {3, 4, 4}, {2, 9, 5}, {5, 9, 6},
                                                  {2, 1, 7}, {6, 2, 8}, {3, 3, 9}};
    for (auto [status, id, qty] : events) {
        book.AddOrder(MakeOrder(status, id, 0, qty).release());
    }
    EXPECT_EQ(Qtys(book.GetWorkingOrders()), (std::vector<long>{7}));
    EXPECT_EQ(Qtys(book.GetFills()), (std::vector<long>{9, 4, 2, 3}));
    EXPECT_EQ(Qtys(book.GetFills(WithBit32(8))), (std::vector<long>{2, 3}));
    EXPECT_EQ(Qtys(book.GetCancels()), std::vector<long>{6});

    CLMWireOrder* working = book.GetWorkingOrder(1);
    working->setOrderStatus(osFilled);
    working->setOrderID(40);
    book.GetWorkingOrder(2)->setOrderStatus(osModified);
    book.GetFills(3).front()->setOrderStatus(osCancelled);
    EXPECT_EQ(Qtys(book.GetWorkingOrders()), std::vector<long>{8});
    EXPECT_EQ(book.GetWorkingOrder(WithBit32(1)), working);
    EXPECT_TRUE(book.GetFills(3).empty());
    EXPECT_EQ(Qtys(book.GetCancels()), (std::vector<long>{9, 6}));
}

// The mark of the collection that holds an order belongs to the object, not to its value (a held
// order filed twice is freed twice); each copy of a collection holds its own orders.
TEST(CLMWireOrderCollection, CopiesAndAssignmentsKeepEachObjectsMark) {
    CLMWireOrderCollection source, assigned;
    CLMWireOrderCompletedCollection done, doneAssigned;
    for (auto [status, id, qty] : {std::tuple{2, 1, 10}, {6, 2, 20}, {3, 3, 30}, {5, 4, 40}}) {
        source.AddOrder(MakeOrder(status, id, 0, qty).release());
        done.AddOrder(MakeOrder(status, 9 - id, 0, qty).release());
    }
    CLMWireOrderCollection copy(source);
    CLMWireOrderCompletedCollection doneCopy(done);
    assigned = source;
    doneAssigned = done;
    done.removeAll();
    EXPECT_TRUE(done.AddOrder(MakeOrder(2, 5, 0, 7).release()));
    EXPECT_EQ(Qtys(done.Find(5)), std::vector<long>{7});
    for (CLMWireOrderCollection* other : {&copy, &assigned}) {
        EXPECT_FALSE(other->AddOrder(other->GetWorkingOrder(2)));
        EXPECT_FALSE(other->AddOrder(other->GetFills(3).back()));
    }
    for (CLMWireOrderCompletedCollection* other : {&doneCopy, &doneAssigned}) {
        EXPECT_FALSE(other->AddOrder(other->GetAtIndex(1)));
    }
    CLMWireOrder* inBook = copy.GetWorkingOrder(1);
    auto free = MakeOrder(2, 9, 0, 90);
    *inBook = *free;
    EXPECT_EQ(inBook->getQty(), 90);
    EXPECT_FALSE(copy.AddOrder(inBook));
    *free = *inBook;  // a value from a held order does not make the object held
    ASSERT_TRUE(copy.AddOrder(free.release()));
    ASSERT_TRUE(doneCopy.AddOrder(new CLMWireOrder(*inBook)));  // nor does a copy
}

// Threads file their own ids' events into a shared book and completed collection while querying
// and copying them (and reading prices through their orders, for ThreadSanitizer); the book must
// end as the same events filed one thread after another.
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

// False if the result is not the one the status calls for, or the book disagrees on the id.
bool FileAndCheck(CLMWireOrderCollection& book, std::unique_ptr<CLMWireOrder> event,
                  bool viaApply) {
    const int status = event->getOrderStatus();
    const long id = status == 1 ? event->getOriginalOrderID() : event->getOrderID();
    const Filed expected = status == 1                  ? Filed::RetiredOnly
                           : status == 3 || status == 5 ? Filed::FillOrCancel
                                                        : Filed::Working;
    if (viaApply ? book.Apply(event) != expected || (event == nullptr) != Owns(expected)
                 : !book.AddOrder(event.get())) {
        return false;
    }
    if (Owns(expected)) {
        event.release();
    }
    CLMWireOrder* working = book.GetWorkingOrder(id);
    if (working != nullptr) {
        working->PriceFromTicks(1234);  // updates the order's converter
    }
    return (working != nullptr) == (status == 2 || status == 4) &&
           (status != 3 || !book.GetFills(id).empty());
}

TEST(CLMWireOrderCollection, ConcurrentEventsEndInTheSequentialState) {
    // Twice each: in a plain run a missing lock shows only when the threads happen to overlap.
    for (const bool viaApply : {false, true, false, true}) {
        SCOPED_TRACE(viaApply ? "via Apply" : "via AddOrder");
        CLMWireOrderCollection shared;
        CLMWireOrderCompletedCollection done;
        std::vector<std::vector<std::unique_ptr<CLMWireOrder>>> events, records;
        for (int t = 0; t < kThreads; ++t) {
            events.push_back(EventsOfThread(t));
            records.push_back(EventsOfThread(t));
            for (auto& record : records.back()) {
                record->setFillID(-1);  // no order has this id, so no fill is refused
            }
        }
        std::vector<int> failures(kThreads, 0);
        std::atomic<int> started{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([&, t] {
                for (++started; started.load() < kThreads;) {
                    std::this_thread::yield();
                }
                for (std::size_t i = 0; i < events[t].size(); ++i) {
                    const long id = records[t][i]->getOrderID();
                    failures[t] += FileAndCheck(shared, std::move(events[t][i]), viaApply) ? 0 : 1;
                    failures[t] += viaApply ? done.Apply(std::move(records[t][i])) != Filed::Stored
                                            : !done.AddOrder(records[t][i].release());
                    failures[t] += done.Find(id).empty() ? 1 : 0;
                    if (i % 32 == 0) {  // other threads' orders may go at any moment
                        shared.GetWorkingOrders();
                        done.GetAtIndex(done.Count() - 1);
                        CLMWireOrderCollection copy(shared);
                    }
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
                FileAndCheck(sequential, std::move(event), false);
            }
        }
        EXPECT_EQ(Qtys(shared.GetWorkingOrders()), Qtys(sequential.GetWorkingOrders()));
        EXPECT_EQ(Qtys(shared.GetFills()), Qtys(sequential.GetFills()));
        EXPECT_EQ(Qtys(shared.GetCancels()), Qtys(sequential.GetCancels()));
    }
}

std::vector<long> QtysByPosition(CLMWireOrderCompletedCollection& done) {
    std::vector<CLMWireOrder*> orders;
    for (unsigned int i = 0; i <= done.Count(); ++i) {  // one past the end: null
        orders.push_back(done.GetAtIndex(i));
    }
    EXPECT_EQ(orders.back(), nullptr);
    orders.pop_back();
    return Qtys(orders);
}

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

    // A fill whose FillID is held is refused (the caller's still); any other status is stored.
    auto refused = MakeOrder(3, 8, 0, 4);
    refused->setFillID(5);
    EXPECT_FALSE(done.AddOrder(refused.get()));
    EXPECT_EQ(done.Apply(refused), Filed::Refused);
    ASSERT_NE(refused, nullptr);
    refused->setFillID(6);  // no longer refused: the same object can be handed over
    EXPECT_EQ(done.Apply(refused), Filed::Stored);
    EXPECT_EQ(refused, nullptr);
    // Handed over outright, a refused order is destroyed, not left in the moved-from pointer.
    auto outright = MakeOrder(3, 9);
    outright->setFillID(3);
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
