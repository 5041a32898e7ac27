// Every allocation of the order collections' mutating members, made to fail in turn through every
// form of operator new: the member throws std::bad_alloc and leaves the collection as it was, the
// event the caller's, the lock free and nothing leaked; the event can then be filed as if nothing
// had happened. Copies of the collections, of the records and of the objects that own them fail
// the same way, the text strings among their allocations: whole, or not at all.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "FailingAllocation.h"
#include "SampleCount.h"
#include "orders/OrderEvents.h"
#include "wire_types/accounts/CLMWireAccounts.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/orders/CLMWireOrderCompletedCollection.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {
namespace {

using detail::GetWireText;
using detail::SetWireText;
using orders_test::FailingAllocation;
using testing::MakeOrder;
using testing::Owns;

// Everything a copy must keep, as text: the texts of records and objects (raw and wrapped) and a
// field of each fixed block, which must not change alone either.
std::string Texts(const WireContract& contract) {
    return std::to_string(contract.contractID) + ":" + GetWireText(contract.symbol) + "/" +
           GetWireText(contract.name);
}
std::string Texts(const WireOrder& order) {
    return std::to_string(order.Qty) + ":" + GetWireText(order.VeyID) + "/" +
           GetWireText(order.ExchangeOrderNumber) + "/" + GetWireText(order.reservedText) + "/" +
           Texts(order.Contract);
}
std::string Texts(const WireAccountContract& held) {
    return std::to_string(held.maxLotSize) + "/" + Texts(held.contract);
}
std::string Texts(const WireAccount& account) {
    std::string texts = GetWireText(account.name);
    for (const WireAccountContract& held : account.contracts) {
        texts += "/" + Texts(held);
    }
    return texts;
}
std::string Texts(CLMWireContract& contract) {
    return Texts(*contract.getWireContract());
}
std::string Texts(CLMWireOrder& order) {
    return Texts(*order.getWireOrder());
}
std::string Texts(CLMWireAccountContract& held) {
    return Texts(held.GetRecord()) + "=" + Texts(*held.getWireContract());
}
std::string Texts(CLMWireAccountContractCollection& held) {
    std::string texts;
    for (int i = 0; i < held.GetNumberOfContracts(); ++i) {
        texts += Texts(*held.GetAtIndex(i)) + ";";
    }
    return texts;
}
std::string Texts(CLMWireAccount& account) {
    return Texts(*account.getWireAccount()) + "[" + Texts(*account.GetAccountContractCollection()) +
           "]";
}
std::string Texts(CLMWireAccounts& accounts) {
    std::string texts;
    for (int i = 0; i < accounts.GetNumberOfAccounts(); ++i) {
        texts += Texts(*accounts.GetAtIndex(i));
    }
    return texts;
}
std::string Texts(const std::vector<CLMWireOrder*>& orders) {
    std::string texts;
    for (CLMWireOrder* order : orders) {
        texts += Texts(*order) + ";";
    }
    return texts;
}
// A book by what it files, a completed collection by position.
std::string Texts(CLMWireOrderCollection& book) {
    return Texts(book.GetWorkingOrders()) + "|" + Texts(book.GetFills()) + "|" +
           Texts(book.GetCancels());
}
std::string Texts(CLMWireOrderCompletedCollection& done) {
    std::vector<CLMWireOrder*> orders;
    for (unsigned int i = 0; i < done.Count(); ++i) {
        orders.push_back(done.GetAtIndex(i));
    }
    return Texts(orders);
}

// Whether another thread can take the collection's lock (through a query) within a few seconds.
// Records have no lock.
template <class T>
bool Unlocked(T&) {
    return true;
}
template <class Collection>
bool LockIsFree(Collection& collection) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ready = done->get_future();
    std::thread reader([&collection, done] {
        Texts(collection);
        done->set_value();
    });
    if (ready.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        reader.detach();  // stuck on the lock: the test has failed, the process ends anyway
        return false;
    }
    reader.join();  // its memory is returned before the caller counts live blocks again
    return true;
}
bool Unlocked(CLMWireOrderCollection& book) {
    return LockIsFree(book);
}
bool Unlocked(CLMWireOrderCompletedCollection& done) {
    return LockIsFree(done);
}

struct Attempt {
    bool threw = false;    // std::bad_alloc, or _com_error(E_OUTOFMEMORY) for a text, came out
    bool reached = false;  // the allocation chosen to fail was made
};

// Runs operation with the allocation numbered failAt failing.
template <class Operation>
Attempt WithFailureAt(long failAt, Operation&& operation,
                      FailingAllocation::Texts texts = FailingAllocation::Texts::Count) {
    Attempt attempt;
    FailingAllocation failing(failAt, texts);
    try {
        operation();
    } catch (const std::bad_alloc&) {
        attempt.threw = true;
    } catch (const _com_error& error) {
        EXPECT_EQ(error.Error(), E_OUTOFMEMORY);
        attempt.threw = true;
    }
    attempt.reached = failing.Failed();
    return attempt;
}

// Runs operation on a fresh make() with allocation 0, 1, ... failing until a run reaches no
// failure. A failed run must leave the state's texts, the live blocks and the lock as they were;
// a completed one must give `after`. Returns how many runs failed.
template <class Make, class Operation>
long SweepWhole(const std::string& what, Make make, Operation operation, const std::string& after,
                FailingAllocation::Texts texts = FailingAllocation::Texts::Count) {
    SCOPED_TRACE(what);
    for (long failAt = 0; failAt < 100000; ++failAt) {
        auto state = make();
        const std::string before = Texts(*state);
        const long live = FailingAllocation::LiveBlocks();
        const Attempt run = WithFailureAt(
            failAt, [&] { operation(*state); }, texts);
        EXPECT_EQ(Texts(*state), run.threw ? before : after) << "failure at allocation " << failAt;
        if (run.threw) {
            EXPECT_EQ(FailingAllocation::LiveBlocks(), live) << "failure at allocation " << failAt;
        }
        EXPECT_TRUE(Unlocked(*state));
        if (!run.reached) {
            return failAt;
        }
    }
    ADD_FAILURE() << "the operation never stopped allocating";
    return 0;
}

// What a copy holds, held apart so that a failed copy shows as "none".
template <class T>
struct Slot {
    std::unique_ptr<T> copy;
};
template <class T>
std::string Texts(Slot<T>& slot) {
    return slot.copy ? Texts(*slot.copy) : "none";
}

// Copy construction of T from `source`, and its assignment over a copy of `target`; the source
// stays as it was and free.
template <class T>
void SweepCopies(const char* what, T& source, T& target,
                 FailingAllocation::Texts texts = FailingAllocation::Texts::Count) {
    const std::string expected = Texts(source);
    EXPECT_GT(
        SweepWhole(
            std::string(what) + " copied", [] { return std::make_unique<Slot<T>>(); },
            [&source](Slot<T>& slot) { slot.copy = std::make_unique<T>(source); }, expected, texts),
        0);
    SweepWhole(
        std::string(what) + " assigned", [&target] { return std::make_unique<T>(target); },
        [&source](T& assigned) { assigned = source; }, expected, texts);
    EXPECT_EQ(Texts(source), expected);
    EXPECT_TRUE(Unlocked(source));
}

std::unique_ptr<CLMWireOrder> Tagged(int status, long orderID, long originalID, long qty) {
    auto order = MakeOrder(status, orderID, originalID, qty);
    order->setSymbol("ESZ5");
    order->setFillID(-1);  // no order has this id: the completed collection refuses no fill
    return order;
}

// A book of `size` working orders (ids 1000...) and `size` fills and cancels (ids 5000...), or a
// completed collection of `size` fills, tagged by qty = id.
template <class Collection>
std::unique_ptr<Collection> Make(int size) {
    auto collection = std::make_unique<Collection>();
    for (int i = 0; i < size; ++i) {
        collection->AddOrder(Tagged(2, 1000 + i, 0, 1000 + i).release());
        collection->AddOrder(Tagged(i % 2 == 0 ? 3 : 5, 5000 + i, 0, 5000 + i).release());
    }
    return collection;
}

// Sizes around the book's pool chunk boundaries, where an entry needs fresh memory; slow runs
// (memcheck) keep the first boundary only.
std::vector<int> Sizes() {
    if (lmwire_test::SampleCount(100) < 100) {
        return {0, 1, 32};
    }
    return {0, 1, 32, 96, 224};
}

struct Event {
    const char* name;
    int status;
    long orderID;
    long originalID;
    Filed filed;  // by the book; the completed collection stores every one of them
};

// Hands the event over as a caller of Apply (told in the result and the pointer) or of AddOrder
// (who must know whether the collection kept it) would. The test deletes what the pointer still
// holds: one released wrongly leaks (the count of live blocks), one kept wrongly is freed twice.
template <class Collection>
void Hand(Collection& collection, std::unique_ptr<CLMWireOrder>& event, Filed filed,
          bool viaApply) {
    if (viaApply) {
        EXPECT_EQ(collection.Apply(event), filed);
    } else {
        EXPECT_TRUE(collection.AddOrder(event.get()));
        if (Owns(filed)) {
            event.release();
        }
    }
}

template <class Collection>
void SweepFiling(int size, const Event& e, Filed filed) {
    auto reference = Make<Collection>(size);
    ASSERT_EQ(reference->Apply(Tagged(e.status, e.orderID, e.originalID, 999)), filed);
    for (const bool viaApply : {false, true}) {
        std::unique_ptr<CLMWireOrder> event;
        CLMWireOrder* raw = nullptr;
        SweepWhole(
            std::string(e.name) + " into " + std::to_string(size) + (viaApply ? " via Apply" : ""),
            [&] {
                event = Tagged(e.status, e.orderID, e.originalID, 999);
                raw = event.get();
                return Make<Collection>(size);
            },
            [&](Collection& collection) {
                Hand(collection, event, filed, viaApply);
                EXPECT_EQ(event.get(), Owns(filed) ? nullptr : raw);
            },
            Texts(*reference));
        // After the last run, which failed nothing: the event was filed as the first time would.
    }
}

TEST(OrderCollectionAllocationFailure, FilingLeavesCollectionAndEventAsTheyWere) {
    const Event events[] = {
        {"Working", 2, 7, 0, Filed::Working},
        {"Fill", 3, 1000, 0, Filed::FillOrCancel},
        {"Cancel", 5, 1000, 0, Filed::FillOrCancel},
        {"FillUnknown", 3, 7, 0, Filed::FillOrCancel},
        {"Removed", 1, 7, 1000, Filed::RetiredOnly},
        {"Replacement", 2, 7, 1000, Filed::Working},
        {"ReplacementOwnId", 2, 1000, 1000, Filed::Working},
        {"Modified", 4, 8, 1000, Filed::Working},
        {"Unlisted", 6, 9, 0, Filed::Working},
        {"Duplicate", 2, 1000, 0, Filed::DuplicateId},
    };
    for (const int size : Sizes()) {
        for (const Event& e : events) {
            if (e.filed != Filed::DuplicateId || size > 0) {  // nothing to duplicate in none
                SweepFiling<CLMWireOrderCollection>(size, e, e.filed);
            }
        }
        SweepFiling<CLMWireOrderCompletedCollection>(size, events[1], Filed::Stored);
    }
}

TEST(OrderCollectionAllocationFailure, CopiesAndAssignmentsFailWhole) {
    for (const int size : Sizes()) {
        // The larger books are there for the pools' chunk boundaries; the texts of each order
        // copied would make their sweeps several times longer and fail nothing new.
        const auto texts =
            size <= 32 ? FailingAllocation::Texts::Count : FailingAllocation::Texts::Skip;
        const std::string of = " of " + std::to_string(size);
        SweepCopies(("book" + of).c_str(), *Make<CLMWireOrderCollection>(size),
                    *Make<CLMWireOrderCollection>(3), texts);
        SweepCopies(("completed" + of).c_str(), *Make<CLMWireOrderCompletedCollection>(size),
                    *Make<CLMWireOrderCompletedCollection>(3), texts);
    }
}

WireContract RawContract(const std::string& symbol, const std::string& name, int id) {
    WireContract contract;
    SetWireText(contract.symbol, symbol);
    SetWireText(contract.name, name);
    contract.contractID = id;
    return contract;
}

WireOrder RawOrder(const std::string& tag) {
    WireOrder order;
    SetWireText(order.VeyID, tag + "-vey");
    SetWireText(order.ExchangeOrderNumber, tag + "-exchange");
    SetWireText(order.reservedText, tag + "-reserved");
    order.Qty = tag[0];
    order.Contract = RawContract(tag + "Z5", tag + " future", tag[1]);
    return order;
}

WireAccount RawAccount(const std::string& tag) {
    WireAccount account;
    SetWireText(account.name, tag + " account");
    account.contracts.resize(2);
    for (int i = 0; i < 2; ++i) {
        account.contracts[i].contract =
            RawContract(tag + std::to_string(i), tag + " contract", tag[0] + i);
        account.contracts[i].maxLotSize = tag[1] + i;
    }
    return account;
}

TEST(RecordCopyAllocationFailure, CopiesKeepEveryTextOrFailWhole) {
    WireOrder order = RawOrder("ES");
    WireOrder otherOrder = RawOrder("NQ");
    SweepCopies("WireContract", order.Contract, otherOrder.Contract);
    SweepCopies("WireOrder", order, otherOrder);
    SweepWhole(
        "CLMWireOrder from a WireOrder", [] { return std::make_unique<Slot<CLMWireOrder>>(); },
        [&order](Slot<CLMWireOrder>& slot) { slot.copy = std::make_unique<CLMWireOrder>(&order); },
        Texts(order));
    CLMWireOrder wrapped(&order);
    CLMWireOrder otherWrapped(&otherOrder);
    SweepCopies("CLMWireOrder", wrapped, otherWrapped);
    CLMWireContract wrappedContract(&order.Contract);
    CLMWireContract otherWrappedContract(&otherOrder.Contract);
    SweepCopies("CLMWireContract", wrappedContract, otherWrappedContract);

    WireAccount account = RawAccount("ES");
    WireAccount otherAccount = RawAccount("NQ");
    SweepCopies("WireAccountContract", account.contracts[0], otherAccount.contracts[0]);
    SweepCopies("WireAccount", account, otherAccount);
    CLMWireAccountContract held(&account.contracts[0]);
    CLMWireAccountContract otherHeld(&otherAccount.contracts[1]);
    SweepCopies("CLMWireAccountContract", held, otherHeld);
    CLMWireAccountContractCollection contracts(&account.contracts);
    CLMWireAccountContractCollection otherContracts(&otherAccount.contracts);
    SweepCopies("CLMWireAccountContractCollection", contracts, otherContracts);
    CLMWireAccount wrappedAccount(&account);
    CLMWireAccount otherWrappedAccount(&otherAccount);
    SweepCopies("CLMWireAccount", wrappedAccount, otherWrappedAccount);
    WireArray<WireAccount> raw{account, otherAccount};
    WireArray<WireAccount> otherRaw{otherAccount};
    CLMWireAccounts accounts(&raw);
    CLMWireAccounts otherAccounts(&otherRaw);
    SweepCopies("CLMWireAccounts", accounts, otherAccounts);

    // The contract object is rebuilt from the record, which fromPacket (here: the test) changed.
    SweepWhole(
        "RefreshWireContract",
        [] {
            auto fresh = std::make_unique<CLMWireAccountContract>(3, 0, 0, 0, pfcNone, "O", "Old");
            WireContract& record = fresh->getRawWireContract()->contract;
            SetWireText(record.symbol, "ESZ5");
            SetWireText(record.name, "E-mini");
            return fresh;
        },
        [](CLMWireAccountContract& fresh) { fresh.RefreshWireContract(); },
        "0/3:ESZ5/E-mini=3:ESZ5/E-mini");
}

// The working orders' entries go back to the heap once the last working order is retired; fills
// and cancels keep theirs. Every order a replacement or a removal retires is deleted.
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
            auto removal = MakeOrder(1, id, id);
            book.AddOrder(removal.get());
        }
        EXPECT_TRUE(book.GetWorkingOrders().empty());
        EXPECT_EQ(FailingAllocation::LiveBlocks(), live) << "round " << round;
    }
}

}  // namespace
}  // namespace Lumera
