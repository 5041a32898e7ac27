// Every allocation of the order collections' mutating members, made to fail in turn through every
// form of operator new: the member throws std::bad_alloc and leaves the collection as it was, the
// event the caller's, the lock free and nothing leaked; the event can then be filed as if nothing
// had happened. The copies of the records and of the objects that own them fail the same way, the
// text strings among their allocations: whole, or not at all.

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <new>
#include <ostream>
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

using orders_test::FailingAllocation;
using testing::MakeOrder;
using testing::Qtys;

// What the book files, by the qty that tags each event, and the contract symbols of its orders.
struct Shape {
    std::vector<long> working, fills, cancels;
    std::vector<std::string> symbols;
    bool operator==(const Shape& other) const = default;
    friend void PrintTo(const Shape& shape, std::ostream* out) {
        *out << shape.working.size() << " working, " << shape.fills.size() << " fills, "
             << shape.cancels.size() << " cancels; symbols";
        for (const std::string& symbol : shape.symbols) {
            *out << " '" << symbol << "'";
        }
    }
};

Shape ShapeOf(CLMWireOrderCollection& book) {
    Shape shape{Qtys(book.GetWorkingOrders()), Qtys(book.GetFills()), Qtys(book.GetCancels()), {}};
    for (const auto& orders : {book.GetWorkingOrders(), book.GetFills(), book.GetCancels()}) {
        for (CLMWireOrder* order : orders) {
            shape.symbols.push_back(order->getSymbol());
        }
    }
    return shape;
}

std::vector<std::string> ShapeOf(CLMWireOrderCompletedCollection& done) {
    std::vector<std::string> orders;
    for (unsigned int i = 0; i < done.Count(); ++i) {
        CLMWireOrder* order = done.GetAtIndex(i);
        orders.push_back(std::to_string(order->getQty()) + " " + order->getSymbol());
    }
    return orders;
}

// Whether another thread can take the collection's lock (through a query) within a few seconds.
template <class Collection>
bool LockIsFree(Collection& collection, void (*query)(Collection&)) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ready = done->get_future();
    std::thread reader([&collection, query, done] {
        query(collection);
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
    return LockIsFree<CLMWireOrderCollection>(
        book, [](CLMWireOrderCollection& b) { b.GetWorkingOrders(); });
}

bool Unlocked(CLMWireOrderCompletedCollection& done) {
    return LockIsFree<CLMWireOrderCompletedCollection>(
        done, [](CLMWireOrderCompletedCollection& d) { d.Count(); });
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

// Runs attempt(failAt) for failAt = 0, 1, ... until a run reaches no failure. Returns how many
// runs failed.
int Sweep(const std::function<bool(long)>& attempt) {
    int failures = 0;
    for (long failAt = 0; failAt < 10000; ++failAt) {
        if (!attempt(failAt)) {
            return failures;
        }
        ++failures;
    }
    ADD_FAILURE() << "the operation never stopped allocating";
    return failures;
}

// Files the event through Apply or AddOrder with the allocation numbered failAt failing. A
// failure must leave the collection, the caller's event and the count of live blocks as they
// were, and the lock free.
template <class Collection>
Attempt FileFailingAt(long failAt, Collection& collection, std::unique_ptr<CLMWireOrder>& event,
                      bool viaApply) {
    CLMWireOrder* raw = event.get();
    const auto before = ShapeOf(collection);
    const long live = FailingAllocation::LiveBlocks();
    const Attempt run = WithFailureAt(failAt, [&] {
        if (viaApply) {
            collection.Apply(event);
        } else {
            collection.AddOrder(raw);
        }
    });
    if (run.threw) {
        EXPECT_EQ(ShapeOf(collection), before) << "failure at allocation " << failAt;
        EXPECT_EQ(event.get(), raw);
        EXPECT_EQ(FailingAllocation::LiveBlocks(), live);
        EXPECT_TRUE(Unlocked(collection));
    }
    return run;
}

// A book of `working` working orders (ids 1000...) and `fills` fills and cancels (ids 5000...),
// tagged by qty = id.
std::unique_ptr<CLMWireOrderCollection> MakeBook(int working, int fills) {
    auto book = std::make_unique<CLMWireOrderCollection>();
    const auto add = [&book](int status, long id) {
        auto order = MakeOrder(status, id, 0, id);
        order->setSymbol("ESZ5");
        book->AddOrder(order.release());
    };
    for (int i = 0; i < working; ++i) {
        add(2, 1000 + i);
    }
    for (int i = 0; i < fills; ++i) {
        add(i % 2 == 0 ? 3 : 5, 5000 + i);
    }
    return book;
}

struct Event {
    const char* name;
    int status;
    long orderID;
    long originalID;
    Filed filed;
};

bool BookOwns(Filed filed) {
    return filed == Filed::Working || filed == Filed::FillOrCancel;
}

// Sizes around the pools' chunk boundaries, where an entry needs fresh memory; slow runs
// (memcheck) keep the first boundary only.
std::vector<int> BookSizes() {
    if (lmwire_test::SampleCount(100) < 100) {
        return {0, 1, 32};
    }
    return {0, 1, 32, 96, 224};
}

// Hands the event to the book as a caller of AddOrder (who must know whether the book kept it)
// or of Apply (who is told, in the result and the pointer) would.
void File(CLMWireOrderCollection& book, std::unique_ptr<CLMWireOrder>& event, Filed expected,
          bool viaApply) {
    CLMWireOrder* raw = event.get();
    if (viaApply) {
        EXPECT_EQ(book.Apply(event), expected);
    } else {
        EXPECT_TRUE(book.AddOrder(raw));
        if (BookOwns(expected)) {
            event.release();
        }
    }
    EXPECT_EQ(event.get(), BookOwns(expected) ? nullptr : raw);
}

// Through Apply the caller's pointer must come back unchanged from a failure and empty exactly
// when the book owns the event. The test deletes what the pointer still holds, so one released
// wrongly leaks (LeakSanitizer, and the count of live blocks) and one kept wrongly is freed twice
// (AddressSanitizer).
TEST(OrderCollectionAllocationFailure, AddOrderAndApplyLeaveBookAndEventAsTheyWere) {
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
    for (const int size : BookSizes()) {
        for (const Event& e : events) {
            if (e.filed == Filed::DuplicateId && size == 0) {
                continue;  // nothing to duplicate
            }
            auto reference = MakeBook(size, size);
            auto referenceEvent = MakeOrder(e.status, e.orderID, e.originalID, 999);
            ASSERT_EQ(reference->Apply(referenceEvent), e.filed) << e.name;
            const Shape expected = ShapeOf(*reference);

            for (const bool viaApply : {false, true}) {
                SCOPED_TRACE(::testing::Message() << e.name << " into a book of " << size
                                                  << (viaApply ? " via Apply" : ""));
                Sweep([&](long failAt) {
                    auto book = MakeBook(size, size);
                    auto event = MakeOrder(e.status, e.orderID, e.originalID, 999);
                    CLMWireOrder* raw = event.get();
                    const Attempt run = FileFailingAt(failAt, *book, event, viaApply);
                    if (run.threw) {
                        // Still the caller's: filing it again works as the first time would have.
                        File(*book, event, e.filed, viaApply);
                    } else if (viaApply) {
                        EXPECT_EQ(event.get(), BookOwns(e.filed) ? nullptr : raw);
                    } else if (BookOwns(e.filed)) {
                        event.release();
                    }
                    EXPECT_EQ(ShapeOf(*book), expected);
                    return run.reached;
                });
            }
        }
    }
}

TEST(OrderCollectionAllocationFailure, CopiesAndAssignmentsFailWhole) {
    for (const int size : BookSizes()) {
        SCOPED_TRACE(::testing::Message() << "book of " << size);
        auto source = MakeBook(size, size);
        const Shape shape = ShapeOf(*source);
        // The larger books are there for the pools' chunk boundaries; the five texts of each
        // order copied would make their sweeps several times longer and fail nothing new.
        const auto texts =
            size <= 32 ? FailingAllocation::Texts::Count : FailingAllocation::Texts::Skip;
        int failures = Sweep([&](long failAt) {
            const long live = FailingAllocation::LiveBlocks();
            std::unique_ptr<CLMWireOrderCollection> copy;
            const Attempt run = WithFailureAt(
                failAt, [&] { copy = std::make_unique<CLMWireOrderCollection>(*source); }, texts);
            if (copy) {
                EXPECT_EQ(ShapeOf(*copy), shape);
            } else {
                EXPECT_EQ(FailingAllocation::LiveBlocks(), live);
            }
            EXPECT_EQ(ShapeOf(*source), shape);
            EXPECT_TRUE(Unlocked(*source));
            return run.reached;
        });
        EXPECT_GE(failures, size);  // at least one allocation per order copied

        Sweep([&](long failAt) {
            auto target = MakeBook(3, 3);
            const Shape before = ShapeOf(*target);
            const Attempt run = WithFailureAt(
                failAt, [&] { *target = *source; }, texts);
            EXPECT_EQ(ShapeOf(*target), run.threw ? before : shape);
            EXPECT_EQ(ShapeOf(*source), shape);
            EXPECT_TRUE(Unlocked(*target));
            return run.reached;
        });
    }
}

TEST(OrderCollectionAllocationFailure, CompletedCollectionFailsWhole) {
    const auto fill = [](long id, long fillID, long qty) {
        auto order = MakeOrder(3, id, 0, qty);
        order->setFillID(fillID);
        order->setSymbol("ESZ5");
        return order;
    };
    for (const int size : {0, 1, 40}) {
        SCOPED_TRACE(::testing::Message() << "collection of " << size);
        const auto make = [&] {
            auto done = std::make_unique<CLMWireOrderCompletedCollection>();
            for (int i = 0; i < size; ++i) {
                done->AddOrder(fill(100 + i, -1, 100 + i).release());
            }
            return done;
        };
        for (const bool viaApply : {false, true}) {
            SCOPED_TRACE(viaApply ? "via Apply" : "via AddOrder");
            Sweep([&](long failAt) {
                auto done = make();
                auto event = fill(7, -1, 999);
                CLMWireOrder* raw = event.get();
                const Attempt run = FileFailingAt(failAt, *done, event, viaApply);
                if (run.threw) {
                    if (viaApply) {
                        EXPECT_EQ(done->Apply(event), Filed::Stored);
                    } else {
                        EXPECT_TRUE(done->AddOrder(raw));
                    }
                }
                if (!viaApply) {
                    event.release();
                }
                EXPECT_EQ(event, nullptr);
                EXPECT_EQ(done->Count(), static_cast<unsigned int>(size + 1));
                return run.reached;
            });
        }

        auto source = make();
        const auto shape = ShapeOf(*source);
        Sweep([&](long failAt) {
            auto target = make();
            target->AddOrder(fill(1, -1, 1).release());
            const auto before = ShapeOf(*target);
            const long live = FailingAllocation::LiveBlocks();
            std::unique_ptr<CLMWireOrderCompletedCollection> copy;
            const Attempt run = WithFailureAt(failAt, [&] {
                copy = std::make_unique<CLMWireOrderCompletedCollection>(*source);
                *target = *source;
            });
            if (copy) {
                EXPECT_EQ(ShapeOf(*copy), shape);
            } else {
                EXPECT_EQ(FailingAllocation::LiveBlocks(), live);
            }
            EXPECT_EQ(ShapeOf(*target), run.threw ? before : shape);
            EXPECT_TRUE(Unlocked(*source));
            EXPECT_TRUE(Unlocked(*target));
            return run.reached;
        });
    }
}

// Records and the objects that own them, shown by their texts (raw and wrapped), so that a copy
// that lost one shows.
using detail::GetWireText;
using detail::SetWireText;

std::string Texts(const WireContract& contract) {
    return GetWireText(contract.symbol) + "/" + GetWireText(contract.name);
}
std::string Texts(const WireOrder& order) {
    return GetWireText(order.VeyID) + "/" + GetWireText(order.ExchangeOrderNumber) + "/" +
           GetWireText(order.reservedText) + "/" + Texts(order.Contract);
}
// With one field of the fixed block, which must not change alone either.
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
    return contract.getSymbol() + "/" + contract.getName();
}
std::string Texts(CLMWireOrder& order) {
    return Texts(*order.getWireOrder());
}
std::string Texts(CLMWireAccounts& accounts) {
    std::string texts;
    for (int i = 0; i < accounts.GetNumberOfAccounts(); ++i) {
        CLMWireAccount* account = accounts.GetAtIndex(i);
        texts += Texts(*account->getWireAccount()) + "[";
        CLMWireAccountContractCollection* held = account->GetAccountContractCollection();
        for (int j = 0; j < held->GetNumberOfContracts(); ++j) {
            CLMWireAccountContract* accountContract = held->GetAtIndex(j);
            texts += Texts(accountContract->GetRecord().contract) + "=" +
                     Texts(*accountContract->getWireContract()) + ";";
        }
        texts += "]";
    }
    return texts;
}

WireContract RawContract(const std::string& symbol, const std::string& name) {
    WireContract contract;
    SetWireText(contract.symbol, symbol);
    SetWireText(contract.name, name);
    return contract;
}

WireOrder RawOrder(const std::string& tag) {
    WireOrder order;
    SetWireText(order.VeyID, tag + "-vey");
    SetWireText(order.ExchangeOrderNumber, tag + "-exchange");
    SetWireText(order.reservedText, tag + "-reserved");
    order.Contract = RawContract(tag + "Z5", tag + " future");
    return order;
}

WireAccount RawAccount(const std::string& tag) {
    WireAccount account;
    SetWireText(account.name, tag + " account");
    account.contracts.resize(2);
    for (int i = 0; i < 2; ++i) {
        account.contracts[i].contract = RawContract(tag + std::to_string(i), tag + " contract");
        account.contracts[i].contract.contractID = i + 1;
        account.contracts[i].maxLotSize = tag[0] + i;
    }
    return account;
}

// Runs `operation` on a fresh `make()` with each allocation failing in turn: it fails with an
// allocation failure and leaves texts() as they were, or completes with texts() == `after`.
template <class Make, class Operation, class Read>
void SweepWhole(const char* what, Make make, Operation operation, Read texts,
                const std::string& after) {
    SCOPED_TRACE(what);
    const int failures = Sweep([&](long failAt) {
        auto state = make();
        const std::string before = texts(*state);
        const Attempt run = WithFailureAt(failAt, [&] { operation(*state); });
        EXPECT_EQ(texts(*state), run.threw ? before : after) << "failure at allocation " << failAt;
        return run.reached;
    });
    EXPECT_GT(failures, 0);
}

// Copy construction of T from `source`, and its assignment over a copy of `target`.
template <class T>
void SweepCopies(const char* what, T& source, T& target) {
    SweepWhole(
        what, [] { return std::make_unique<std::unique_ptr<T>>(); },
        [&source](std::unique_ptr<T>& copy) { copy = std::make_unique<T>(source); },
        [](std::unique_ptr<T>& copy) { return copy ? Texts(*copy) : "none"; }, Texts(source));
    SweepWhole(
        what, [&target] { return std::make_unique<T>(target); },
        [&source](T& assigned) { assigned = source; }, [](T& assigned) { return Texts(assigned); },
        Texts(source));
}

TEST(RecordCopyAllocationFailure, CopiesKeepEveryTextOrFailWhole) {
    WireContract contract = RawContract("ESZ5", "E-mini");
    WireContract otherContract = RawContract("NQH6", "Nasdaq");
    SweepCopies("WireContract", contract, otherContract);

    WireOrder order = RawOrder("ES");
    WireOrder otherOrder = RawOrder("NQ");
    SweepCopies("WireOrder", order, otherOrder);
    SweepWhole(
        "CLMWireOrder from a WireOrder",
        [] { return std::make_unique<std::unique_ptr<CLMWireOrder>>(); },
        [&order](std::unique_ptr<CLMWireOrder>& made) {
            made = std::make_unique<CLMWireOrder>(&order);
        },
        [](std::unique_ptr<CLMWireOrder>& made) { return made ? Texts(*made) : "none"; },
        Texts(order));
    CLMWireOrder wrapped(&order);
    CLMWireOrder otherWrapped(&otherOrder);
    SweepCopies("CLMWireOrder", wrapped, otherWrapped);

    CLMWireContract wrappedContract(&contract);
    CLMWireContract otherWrappedContract(&otherContract);
    SweepCopies("CLMWireContract", wrappedContract, otherWrappedContract);

    WireAccount account = RawAccount("ES");
    WireAccount otherAccount = RawAccount("NQ");
    SweepCopies("WireAccountContract", account.contracts[0], otherAccount.contracts[0]);
    SweepCopies("WireAccount", account, otherAccount);

    WireArray<WireAccount> raw{account};
    WireArray<WireAccount> otherRaw{otherAccount};
    CLMWireAccounts accounts(&raw);
    CLMWireAccounts otherAccounts(&otherRaw);
    SweepCopies("CLMWireAccounts", accounts, otherAccounts);
}

// The contract object is rebuilt from the record, which fromPacket (here: the test) changed.
TEST(RecordCopyAllocationFailure, RefreshWireContractKeepsTheOldContractOnFailure) {
    WireAccountContract raw;
    raw.contract = RawContract("OLD", "Old");
    SweepWhole(
        "RefreshWireContract",
        [&raw] {
            auto held = std::make_unique<CLMWireAccountContract>(&raw);
            WireContract& record = held->getRawWireContract()->contract;
            SetWireText(record.symbol, "ESZ5");
            SetWireText(record.name, "E-mini");
            return held;
        },
        [](CLMWireAccountContract& held) { held.RefreshWireContract(); },
        [](CLMWireAccountContract& held) { return Texts(*held.getWireContract()); }, "ESZ5/E-mini");
}

// The working orders' entries go back to the heap once the last working order is retired; fills
// and cancels keep theirs.
TEST(OrderCollectionMemory, RetiringEveryWorkingOrderReturnsItsEntries) {
    CLMWireOrderCollection book;
    book.AddOrder(MakeOrder(3, 1, 0, 1).release());
    const long live = FailingAllocation::LiveBlocks();
    for (int round = 0; round < 3; ++round) {
        for (long id = 10; id < 2010; ++id) {
            book.AddOrder(MakeOrder(2, id, 0, id).release());
        }
        for (long id = 10; id < 2010; ++id) {
            auto removal = MakeOrder(1, id, id);
            book.AddOrder(removal.get());
        }
        EXPECT_TRUE(book.GetWorkingOrders().empty());
        EXPECT_EQ(FailingAllocation::LiveBlocks(), live) << "round " << round;
    }
}

}  // namespace
}  // namespace Lumera
