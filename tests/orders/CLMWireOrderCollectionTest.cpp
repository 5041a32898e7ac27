#include "wire_types/orders/CLMWireOrderCollection.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "orders/OrderEvents.h"

namespace Lumera {
namespace {

using testing::MakeOrder;

std::vector<long> Ids(const std::vector<CLMWireOrder*>& orders) {
    std::vector<long> ids;
    for (CLMWireOrder* order : orders) {
        ids.push_back(order->getOrderID());
    }
    return ids;
}

std::vector<long> Qtys(const std::vector<CLMWireOrder*>& orders) {
    std::vector<long> qtys;
    for (CLMWireOrder* order : orders) {
        qtys.push_back(order->getQty());
    }
    return qtys;
}

enum class Filed { Working, Fill, Cancel, Hidden, NotStored };

struct StatusRow {
    const char* name;
    std::vector<long> held;  // working orders (status 2) already held, in this order
    int status;
    long orderID;
    long originalID;
    std::vector<long> workingAfter;  // ids GetWorkingOrders lists afterwards
    Filed filed;
};

void PrintTo(const StatusRow& row, std::ostream* out) {
    *out << row.name;
}

class StatusTable : public ::testing::TestWithParam<StatusRow> {};

TEST_P(StatusTable, FilesTheEventAndRetiresWhatItEnds) {
    const StatusRow& row = GetParam();
    CLMWireOrderCollection book;
    for (long id : row.held) {
        ASSERT_TRUE(book.AddOrder(MakeOrder(2, id, 0, 100 + id).release()));
    }
    auto event = MakeOrder(row.status, row.orderID, row.originalID, 999);
    CLMWireOrder* raw = event.get();
    ASSERT_TRUE(book.AddOrder(raw));
    const bool stored = row.filed != Filed::NotStored;
    if (stored) {
        event.release();
    }

    EXPECT_EQ(Ids(book.GetWorkingOrders()), row.workingAfter);
    const auto fills = book.GetFills();
    const auto cancels = book.GetCancels();
    EXPECT_EQ(fills, row.filed == Filed::Fill ? std::vector<CLMWireOrder*>{raw}
                                              : std::vector<CLMWireOrder*>{});
    EXPECT_EQ(cancels, row.filed == Filed::Cancel ? std::vector<CLMWireOrder*>{raw}
                                                  : std::vector<CLMWireOrder*>{});
    const bool inWorkingMap = row.filed == Filed::Working || row.filed == Filed::Hidden;
    EXPECT_EQ(book.GetWorkingOrder(row.orderID) == raw, inWorkingMap);

    if (!stored) {
        // Still the caller's and intact; the unique_ptr releases it.
        EXPECT_EQ(raw->getQty(), 999);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CLMWireOrderCollection, StatusTable,
    ::testing::Values(
        StatusRow{"NewWorking", {}, 2, 7, 0, {7}, Filed::Working},
        StatusRow{
            "WorkingWithZeroOriginalRetiresNothing", {0, 3}, 2, 7, 0, {0, 3, 7}, Filed::Working},
        StatusRow{"WorkingReplacesOriginal", {7}, 2, 8, 7, {8}, Filed::Working},
        StatusRow{"WorkingIdAlreadyHeldKeepsFirst", {7}, 2, 7, 0, {7}, Filed::NotStored},
        StatusRow{"WorkingReplacingItsOwnId", {7}, 2, 7, 7, {7}, Filed::Working},
        StatusRow{"ModifiedRetiresZero", {0, 5}, 4, 9, 0, {5, 9}, Filed::Working},
        StatusRow{"ModifiedReplacesOriginal", {5, 6}, 4, 9, 5, {6, 9}, Filed::Working},
        StatusRow{"ModifiedIdAlreadyHeldKeepsFirst", {3, 9}, 4, 9, 3, {9}, Filed::NotStored},
        StatusRow{"FillEndsWorkingOrder", {8, 9}, 3, 8, 9, {9}, Filed::Fill},
        StatusRow{"FillWithoutWorkingOrder", {9}, 3, 8, 0, {9}, Filed::Fill},
        StatusRow{"CancelEndsWorkingOrder", {8, 9}, 5, 9, 8, {8}, Filed::Cancel},
        StatusRow{"RemovedRetiresOriginal", {7, 8}, 1, 8, 7, {8}, Filed::NotStored},
        StatusRow{"RemovedRetiresZero", {0, 8}, 1, 5, 0, {8}, Filed::NotStored},
        StatusRow{"OtherStatusIsStoredUnlisted", {10, 11}, 6, 12, 10, {10, 11}, Filed::Hidden},
        StatusRow{"StatusZeroIsStoredUnlisted", {0}, 0, 10, 0, {0}, Filed::Hidden},
        StatusRow{"OtherStatusIdAlreadyHeld", {10}, 6, 10, 0, {10}, Filed::NotStored}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CLMWireOrderCollection, EmptyCollectionAnswersNothing) {
    CLMWireOrderCollection book;
    EXPECT_TRUE(book.GetWorkingOrders().empty());
    EXPECT_TRUE(book.GetFills().empty());
    EXPECT_TRUE(book.GetFills(0).empty());
    EXPECT_TRUE(book.GetCancels().empty());
    EXPECT_EQ(book.GetWorkingOrder(0), nullptr);
}

TEST(CLMWireOrderCollection, SecondWorkingOrderWithHeldIdStaysTheCallers) {
    CLMWireOrderCollection book;
    auto first = MakeOrder(2, 7, 0, 1);
    CLMWireOrder* held = first.release();
    ASSERT_TRUE(book.AddOrder(held));
    auto second = MakeOrder(2, 7, 0, 2);
    EXPECT_TRUE(book.AddOrder(second.get()));
    EXPECT_EQ(book.GetWorkingOrder(7), held);
    EXPECT_EQ(Qtys(book.GetWorkingOrders()), std::vector<long>{1});
    // The refused order is not remembered as held: it can be handed over once the id is free.
    ASSERT_TRUE(book.AddOrder(MakeOrder(5, 7).release()));
    EXPECT_TRUE(book.AddOrder(second.get()));
    EXPECT_EQ(book.GetWorkingOrder(7), second.release());
}

TEST(CLMWireOrderCollection, FillsAndCancelsOutliveTheirWorkingOrder) {
    CLMWireOrderCollection book;
    book.AddOrder(MakeOrder(2, 8, 0, 1).release());
    book.AddOrder(MakeOrder(3, 8, 0, 2).release());
    book.AddOrder(MakeOrder(3, 8, 0, 3).release());
    book.AddOrder(MakeOrder(3, 4, 0, 4).release());
    EXPECT_EQ(book.GetWorkingOrder(8), nullptr);
    EXPECT_TRUE(book.GetWorkingOrders().empty());
    EXPECT_EQ(Qtys(book.GetFills()), (std::vector<long>{4, 2, 3}));
    EXPECT_EQ(Qtys(book.GetFills(8)), (std::vector<long>{2, 3}));
    EXPECT_TRUE(book.GetFills(9).empty());

    book.AddOrder(MakeOrder(2, 9, 0, 5).release());
    book.AddOrder(MakeOrder(5, 9, 0, 6).release());
    EXPECT_TRUE(book.GetWorkingOrders().empty());
    EXPECT_EQ(Qtys(book.GetCancels()), std::vector<long>{6});
    EXPECT_TRUE(book.GetFills(9).empty());
    EXPECT_EQ(Qtys(book.GetFills()), (std::vector<long>{4, 2, 3}));
}

TEST(CLMWireOrderCollection, StatusFiltersReadTheCurrentStatus) {
    CLMWireOrderCollection book;
    auto working = MakeOrder(2, 1);
    auto hidden = MakeOrder(6, 2);
    auto fill = MakeOrder(3, 3);
    CLMWireOrder* w = working.release();
    CLMWireOrder* h = hidden.release();
    CLMWireOrder* f = fill.release();
    book.AddOrder(w);
    book.AddOrder(h);
    book.AddOrder(f);
    EXPECT_EQ(Ids(book.GetWorkingOrders()), std::vector<long>{1});

    w->setOrderStatus(osFilled);
    h->setOrderStatus(osModified);
    f->setOrderStatus(osCancelled);
    EXPECT_EQ(Ids(book.GetWorkingOrders()), std::vector<long>{2});
    EXPECT_EQ(book.GetWorkingOrder(1), w);
    EXPECT_TRUE(book.GetFills().empty());
    EXPECT_TRUE(book.GetFills(3).empty());
    EXPECT_EQ(book.GetCancels(), std::vector<CLMWireOrder*>{f});
}

TEST(CLMWireOrderCollection, EntriesKeepTheIdTheyWereAddedUnder) {
    CLMWireOrderCollection book;
    CLMWireOrder* order = MakeOrder(2, 12).release();
    book.AddOrder(order);
    order->setOrderID(40);
    EXPECT_EQ(book.GetWorkingOrder(12), order);
    EXPECT_EQ(book.GetWorkingOrder(40), nullptr);
    // An id beyond 32 bits names no entry rather than its low bits.
    EXPECT_EQ(book.GetWorkingOrder(12 + (1L << 32)), nullptr);
    EXPECT_TRUE(book.GetFills(12 + (1L << 32)).empty());
}

TEST(CLMWireOrderCollection, WorkingOrdersAreListedByAscendingId) {
    CLMWireOrderCollection book;
    for (long id : {12, 3, 5, -4}) {
        book.AddOrder(MakeOrder(id == 5 ? 4 : 2, id, 100).release());
    }
    EXPECT_EQ(Ids(book.GetWorkingOrders()), (std::vector<long>{-4, 3, 5, 12}));
}

TEST(CLMWireOrderCollection, RefusesNullAndOrdersAlreadyHeld) {
    CLMWireOrderCollection book;
    EXPECT_FALSE(book.AddOrder(nullptr));
    CLMWireOrder* working = MakeOrder(2, 1).release();
    CLMWireOrder* fill = MakeOrder(3, 2).release();
    ASSERT_TRUE(book.AddOrder(working));
    ASSERT_TRUE(book.AddOrder(fill));
    EXPECT_FALSE(book.AddOrder(working));
    EXPECT_FALSE(book.AddOrder(fill));
    // A held fill re-added must neither retire anything nor be listed twice.
    EXPECT_EQ(book.GetFills().size(), 1u);
    working->setOrderStatus(osFilled);
    working->setOrderID(1);
    EXPECT_FALSE(book.AddOrder(working));
    EXPECT_EQ(book.GetWorkingOrder(1), working);
}

TEST(CLMWireOrderCollection, CopiesAreDeepAndIndependent) {
    CLMWireOrderCollection source;
    source.AddOrder(MakeOrder(2, 1, 0, 10).release());
    source.AddOrder(MakeOrder(6, 2, 0, 20).release());
    source.AddOrder(MakeOrder(3, 3, 0, 30).release());
    source.AddOrder(MakeOrder(3, 3, 0, 31).release());
    source.AddOrder(MakeOrder(5, 4, 0, 40).release());

    CLMWireOrderCollection copy(source);
    CLMWireOrderCollection assigned;
    assigned.AddOrder(MakeOrder(2, 99).release());
    assigned = source;

    for (CLMWireOrderCollection* other : {&copy, &assigned}) {
        EXPECT_EQ(Qtys(other->GetWorkingOrders()), std::vector<long>{10});
        ASSERT_NE(other->GetWorkingOrder(2), nullptr);
        EXPECT_NE(other->GetWorkingOrder(2), source.GetWorkingOrder(2));
        EXPECT_EQ(other->GetWorkingOrder(99), nullptr);
        EXPECT_EQ(Qtys(other->GetFills(3)), (std::vector<long>{30, 31}));
        EXPECT_EQ(Qtys(other->GetCancels()), std::vector<long>{40});
        EXPECT_NE(other->GetFills(3).front(), source.GetFills(3).front());
    }

    source.AddOrder(MakeOrder(5, 1, 0, 11).release());
    source.GetFills(3).front()->setQty(0);
    EXPECT_EQ(Qtys(copy.GetWorkingOrders()), std::vector<long>{10});
    EXPECT_EQ(Qtys(assigned.GetFills(3)), (std::vector<long>{30, 31}));

    // The copy's orders are its own: it can retire them without touching the source's.
    copy.AddOrder(MakeOrder(3, 1).release());
    EXPECT_EQ(copy.GetWorkingOrder(1), nullptr);
    EXPECT_EQ(Qtys(source.GetCancels()), (std::vector<long>{11, 40}));

    CLMWireOrderCollection& self = assigned;
    assigned = self;
    EXPECT_EQ(Qtys(assigned.GetWorkingOrders()), std::vector<long>{10});
}

// Threads add the events of their own orders (working, replace, then fill, cancel, removal or
// nothing) while querying the shared book. Each thread alone retires its own ids, so it can
// check the book after each of its events; the final book must equal the same events applied
// one thread after another.
struct Event {
    int status;
    long orderID;
    long originalID;
    long qty;
};

std::vector<Event> EventsOfThread(int thread, int orders) {
    std::vector<Event> events;
    long qty = thread * 1000000L;
    for (int k = 0; k < orders; ++k) {
        const long id = (thread + 1) * 100000L + 2L * k;
        events.push_back({2, id, 0, ++qty});
        events.push_back({k % 2 == 0 ? 2 : 4, id + 1, id, ++qty});
        switch (k % 5) {
            case 0:
                events.push_back({3, id + 1, 0, ++qty});
                break;
            case 1:
                events.push_back({3, id + 1, 0, ++qty});
                events.push_back({3, id + 1, 0, ++qty});
                break;
            case 2:
                events.push_back({5, id + 1, 0, ++qty});
                break;
            case 3:
                events.push_back({1, 0, id + 1, ++qty});
                break;
            default:
                break;
        }
    }
    return events;
}

// Applies one event; returns false if a check of the thread's own ids failed.
bool ApplyAndCheck(CLMWireOrderCollection& book, const Event& event) {
    auto order = MakeOrder(event.status, event.orderID, event.originalID, event.qty);
    CLMWireOrder* raw = order.get();
    if (!book.AddOrder(raw)) {
        return false;
    }
    if (event.status == 1) {
        return book.GetWorkingOrder(event.originalID) == nullptr;
    }
    order.release();
    if (event.status == 3 || event.status == 5) {
        const auto fills = book.GetFills(event.orderID);
        return book.GetWorkingOrder(event.orderID) == nullptr &&
               (event.status == 5 || (!fills.empty() && fills.back() == raw));
    }
    return book.GetWorkingOrder(event.orderID) == raw &&
           (event.originalID == 0 || book.GetWorkingOrder(event.originalID) == nullptr);
}

TEST(CLMWireOrderCollection, ConcurrentEventsEndInTheSequentialState) {
    constexpr int kThreads = 6;
    constexpr int kOrders = 300;
    std::vector<std::vector<Event>> events;
    for (int t = 0; t < kThreads; ++t) {
        events.push_back(EventsOfThread(t, kOrders));
    }

    CLMWireOrderCollection shared;
    std::vector<int> failures(kThreads, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            std::size_t listed = 0;
            for (std::size_t i = 0; i < events[t].size(); ++i) {
                if (!ApplyAndCheck(shared, events[t][i])) {
                    ++failures[t];
                }
                if (i % 7 == 0) {
                    // Only the sizes: other threads' orders may be retired at any moment.
                    listed += shared.GetWorkingOrders().size() + shared.GetFills().size() +
                              shared.GetCancels().size();
                }
            }
            EXPECT_GT(listed, 0u);
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(failures[t], 0) << "thread " << t;
    }

    CLMWireOrderCollection sequential;
    for (const auto& list : events) {
        for (const Event& event : list) {
            auto order = MakeOrder(event.status, event.orderID, event.originalID, event.qty);
            sequential.AddOrder(order.get());
            if (event.status != 1) {
                order.release();
            }
        }
    }

    EXPECT_EQ(Qtys(shared.GetWorkingOrders()), Qtys(sequential.GetWorkingOrders()));
    EXPECT_EQ(Ids(shared.GetWorkingOrders()), Ids(sequential.GetWorkingOrders()));
    EXPECT_EQ(Qtys(shared.GetFills()), Qtys(sequential.GetFills()));
    EXPECT_EQ(Qtys(shared.GetCancels()), Qtys(sequential.GetCancels()));
    // Per thread: one working order in five survives, three fills and one cancel in five.
    EXPECT_EQ(shared.GetWorkingOrders().size(), std::size_t{kThreads * kOrders / 5});
    EXPECT_EQ(shared.GetFills().size(), std::size_t{kThreads * kOrders * 3 / 5});
    EXPECT_EQ(shared.GetCancels().size(), std::size_t{kThreads * kOrders / 5});
}

}  // namespace
}  // namespace Lumera
