// Every allocation of a mutating member or a copy, texts included, fails in turn: the member
// throws and leaves state, event, lock and live blocks as they were (whole, or not at all).

#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "FailingAllocation.h"
#include "SampleCount.h"
#include "accounts/AccountsTestSupport.h"
#include "orders/OrderEvents.h"
#include "wire_types/accounts/CLMWireAccounts.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/orders/CLMWireOrderCompletedCollection.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {
namespace {

using detail::SetWireText;
using orders_test::FailingAllocation;
using testing::MakeOrder;
using testing::Owns;

// A record's flat form, but exact: every fixed byte and every unit of every text.
struct Render {
    std::string out;
    void Block(const void* at, std::size_t size) { out.append(static_cast<const char*>(at), size); }
    void Text(BSTR& text) {
        const OleString units = testing::Units(text) + OLESTR("|");
        out.append(reinterpret_cast<const char*>(units.data()), units.size() * sizeof(OLECHAR));
    }
    template <class Items>
    void Array(Items& items) {
        for (auto& item : items) {
            item.VisitFlatForm(*this);
        }
        out += ";";
    }
};

// Everything a state must keep, as text: the exact flat forms of every record it holds.
struct Texts {
    template <class Record>
    static auto Of(Record& record)
        -> decltype(record.VisitFlatForm(std::declval<Render&>()), std::string()) {
        Render render;
        record.VisitFlatForm(render);
        return render.out;
    }
    static std::string Of(CLMWireContract& c) { return Of(*c.getWireContract()); }
    static std::string Of(CLMWireOrder& o) { return Of(*o.getWireOrder()); }
    static std::string Of(CLMWireAccountContract& h) {
        return Of(*h.getRawWireContract()) + "=" + Of(*h.getWireContract());
    }
    static std::string Of(CLMWireAccount& a) {
        return Of(*a.getWireAccount()) + "[" + Of(*a.GetAccountContractCollection()) + "]";
    }
    static std::string Of(CLMWireAccountContractCollection& c) {
        return At(c, c.GetNumberOfContracts());
    }
    static std::string Of(CLMWireAccounts& a) { return At(a, a.GetNumberOfAccounts()); }
    static std::string Of(CLMWireOrderCompletedCollection& d) { return At(d, d.Count()); }
    static std::string Of(CLMWireOrderCollection& b) {
        std::string texts;
        for (const auto& orders : {b.GetWorkingOrders(), b.GetFills(), b.GetCancels()}) {
            for (CLMWireOrder* order : orders) {
                texts += Of(*order) + ";";
            }
            texts += "|";
        }
        return texts;
    }
    template <class Collection>
    static std::string At(Collection& collection, int count) {
        std::string texts;
        for (int i = 0; i < count; ++i) {
            texts += Of(*collection.GetAtIndex(i)) + ";";
        }
        return texts;
    }
};

// A collection's lock left held hangs the test here.
template <class T>
void QueryFromAnotherThread(T& state) {
    std::thread([&state] { Texts::Of(state); }).join();
}

// Runs operation on a fresh make() with allocation 0, 1, ... failing until a run reaches no
// failure; a completed run gives `after`.
template <class Make, class Operation>
void SweepWhole(const std::string& what, Make make, Operation operation, const std::string& after,
                FailingAllocation::Texts texts = FailingAllocation::Texts::Count) {
    SCOPED_TRACE(what);
    for (long failAt = 0; failAt < 100000; ++failAt) {
        auto state = make();
        const std::string before = Texts::Of(*state);
        const long live = FailingAllocation::LiveBlocks();
        std::optional<FailingAllocation> failing(std::in_place, failAt, texts);
        bool threw = true;
        try {
            operation(*state);
            threw = false;
        } catch (const std::bad_alloc&) {
        } catch (const _com_error& error) {
            EXPECT_EQ(error.Error(), E_OUTOFMEMORY);
        }
        const bool reached = failing->Failed();
        failing.reset();
        EXPECT_EQ(Texts::Of(*state), threw ? before : after) << "failure at allocation " << failAt;
        EXPECT_TRUE(!threw || FailingAllocation::LiveBlocks() == live) << "leak at " << failAt;
        QueryFromAnotherThread(*state);
        if (!reached) {
            return;
        }
    }
    ADD_FAILURE() << "the operation never stopped allocating";
}

// Assignment of `source` over a copy of `target` (copy construction is among its allocations);
// the source stays as it was and free.
template <class T>
void SweepCopies(const std::string& what, T& source, T& target,
                 FailingAllocation::Texts texts = FailingAllocation::Texts::Count) {
    const std::string expected = Texts::Of(source);
    SweepWhole(
        what, [&target] { return std::make_unique<T>(target); },
        [&source](T& assigned) { assigned = source; }, expected, texts);
    EXPECT_EQ(Texts::Of(source), expected);
    QueryFromAnotherThread(source);
}

std::unique_ptr<CLMWireOrder> Tagged(int status, long orderID, long originalID, long qty) {
    auto order = MakeOrder(status, orderID, originalID, qty);
    order->setSymbol("ESZ5");
    order->setFillID(-1);  // no order has this id: the completed collection refuses no fill
    order->getWireOrder()->TimeCreated = 0;  // the reference book's orders are made apart
    return order;
}

// `size` working orders (ids 1000...) and `size` fills and cancels (ids 5000...), qty = id.
template <class Collection>
std::unique_ptr<Collection> Make(int size) {
    auto collection = std::make_unique<Collection>();
    for (int i = 0; i < size; ++i) {
        collection->AddOrder(Tagged(2, 1000 + i, 0, 1000 + i).release());
        collection->AddOrder(Tagged(i % 2 == 0 ? 3 : 5, 5000 + i, 0, 5000 + i).release());
    }
    return collection;
}

// Around the book's pool chunk boundaries; slow runs (memcheck) keep the first only.
std::vector<int> Sizes() {
    return lmwire_test::SampleCount(100) < 100 ? std::vector<int>{0, 1, 32}
                                               : std::vector<int>{0, 1, 32, 96, 224};
}

using Event = std::tuple<const char*, int, long, long, Filed>;  // name, status, ids, filed

// The test deletes what the event's pointer still holds: one released wrongly leaks, one kept
// wrongly is freed twice. The last run, which failed nothing, files it as the first time did.
template <class Collection>
void SweepFiling(int size, const Event& e, Filed filed) {
    // Named copies rather than a structured binding: clang 14 refuses a lambda that captures one.
    const char* const name = std::get<0>(e);
    const int status = std::get<1>(e);
    const long orderID = std::get<2>(e);
    const long originalID = std::get<3>(e);
    auto reference = Make<Collection>(size);
    ASSERT_EQ(reference->Apply(Tagged(status, orderID, originalID, 999)), filed);
    for (const bool viaApply : {false, true}) {
        std::unique_ptr<CLMWireOrder> event;
        CLMWireOrder* raw = nullptr;
        SweepWhole(
            std::string(name) + " into " + std::to_string(size) + (viaApply ? " via Apply" : ""),
            [&] {
                event = Tagged(status, orderID, originalID, 999);
                raw = event.get();
                return Make<Collection>(size);
            },
            [&](Collection& collection) {
                if (viaApply) {
                    EXPECT_EQ(collection.Apply(event), filed);
                } else if (collection.AddOrder(raw) && Owns(filed)) {
                    event.release();
                }
                EXPECT_EQ(event.get(), Owns(filed) ? nullptr : raw);
            },
            Texts::Of(*reference));
    }
}

TEST(OrderCollectionAllocationFailure, FilingLeavesCollectionAndEventAsTheyWere) {
    const Event events[] = {
        {"Working", 2, 7, 0, Filed::Working},
        {"Fill", 3, 1000, 0, Filed::FillOrCancel},
        {"Removed", 1, 7, 1000, Filed::RetiredOnly},
        {"Replacement", 2, 7, 1000, Filed::Working},
        {"ReplacementOwnId", 2, 1000, 1000, Filed::Working},
        {"Duplicate", 2, 1000, 0, Filed::DuplicateId},
    };
    for (const int size : Sizes()) {
        for (const Event& e : events) {
            if (std::get<Filed>(e) != Filed::DuplicateId || size > 0) {  // none to duplicate
                SweepFiling<CLMWireOrderCollection>(size, e, std::get<Filed>(e));
            }
        }
        SweepFiling<CLMWireOrderCompletedCollection>(size, events[1], Filed::Stored);
    }
}

TEST(OrderCollectionAllocationFailure, CopiesAndAssignmentsFailWhole) {
    for (const int size : Sizes()) {
        // The larger books are there for the pools; their texts fail nothing new.
        const auto texts =
            size <= 32 ? FailingAllocation::Texts::Count : FailingAllocation::Texts::Skip;
        const std::string of = " of " + std::to_string(size);
        SweepCopies("book" + of, *Make<CLMWireOrderCollection>(size),
                    *Make<CLMWireOrderCollection>(3), texts);
        SweepCopies("completed" + of, *Make<CLMWireOrderCompletedCollection>(size),
                    *Make<CLMWireOrderCompletedCollection>(3), texts);
    }
}

// Every text holds units outside Windows-1252 and a lone surrogate, which copies keep exactly.
WireOrder RawOrder(const std::string& tag) {
    WireOrder order;
    testing::FillPattern(&order, WireOrder::kFixedSize, tag[0]);
    testing::FillPattern(&order.Contract, WireContract::kFixedSize, tag[1]);
    OLECHAR units[] = {0x03A9, 0xD800, 0x0080, OLECHAR(tag[0]), OLECHAR(tag[1]), 0};
    for (BSTR* text : {&order.VeyID, &order.ExchangeOrderNumber, &order.reservedText,
                       &order.Contract.symbol, &order.Contract.name}) {
        ++units[5];
        testing::StoreText(*text, OleString(units, 6));
    }
    return order;
}

WireAccount RawAccount(const std::string& tag) {
    WireAccount account;
    account.accountID = tag[0];
    SetWireText(account.name, tag + " account");
    account.contracts.resize(2);
    for (int i = 0; i < 2; ++i) {
        testing::FillPattern(&account.contracts[i], WireAccountContract::kFixedSize, tag[1] + i);
        account.contracts[i].contract = RawOrder(tag + std::to_string(i)).Contract;
        account.contracts[i].contract.contractID = tag[0] + i;
    }
    return account;
}

// Built from the first of two records (as RefreshWireContract rebuilds a contract), then copied
// over one built from the second.
template <class T, class Raw>
void SweepWrapped(const std::string& what, Raw& record, Raw& other) {
    T wrapped(&record);
    T otherWrapped(&other);
    SweepWhole(
        what + " from its record", [&other] { return std::make_unique<T>(&other); },
        [&record](T& built) { built = T(&record); }, Texts::Of(wrapped));
    SweepCopies(what, wrapped, otherWrapped);
}

TEST(RecordCopyAllocationFailure, CopiesKeepEveryTextOrFailWhole) {
    WireOrder order = RawOrder("ES");
    WireOrder otherOrder = RawOrder("NQ");
    SweepCopies("WireContract", order.Contract, otherOrder.Contract);
    SweepCopies("WireOrder", order, otherOrder);
    SweepWrapped<CLMWireOrder>("CLMWireOrder", order, otherOrder);
    SweepWrapped<CLMWireContract>("CLMWireContract", order.Contract, otherOrder.Contract);

    WireAccount account = RawAccount("ES");
    WireAccount otherAccount = RawAccount("NQ");
    SweepCopies("WireAccountContract", account.contracts[0], otherAccount.contracts[0]);
    SweepCopies("WireAccount", account, otherAccount);
    SweepWrapped<CLMWireAccountContract>("CLMWireAccountContract", account.contracts[0],
                                         otherAccount.contracts[1]);
    SweepWrapped<CLMWireAccountContractCollection>("CLMWireAccountContractCollection",
                                                   account.contracts, otherAccount.contracts);
    SweepWrapped<CLMWireAccount>("CLMWireAccount", account, otherAccount);
    WireArray<WireAccount> raw{account, otherAccount};
    WireArray<WireAccount> otherRaw{otherAccount};
    SweepWrapped<CLMWireAccounts>("CLMWireAccounts", raw, otherRaw);
}

// Entries go back once the last working order is retired; every order retired is deleted.
TEST(OrderCollectionMemory, RetiringEveryWorkingOrderReturnsItsEntries) {
    CLMWireOrderCollection book;
    book.AddOrder(MakeOrder(3, 1, 0, 1).release());
    const long live = FailingAllocation::LiveBlocks();
    for (int round = 0; round < 3; ++round) {
        for (long id = 10; id < 2010; ++id) {
            book.AddOrder(MakeOrder(2, id, 0, id).release());
            book.AddOrder(MakeOrder(round == 1 ? 4 : 2, id + 5000, id).release());
        }
        for (long id = 5010; id < 7010; ++id) {
            book.AddOrder(MakeOrder(1, id, id).get());
        }
        EXPECT_TRUE(book.GetWorkingOrders().empty());
        EXPECT_EQ(FailingAllocation::LiveBlocks(), live) << "round " << round;
    }
}

}  // namespace
}  // namespace Lumera
