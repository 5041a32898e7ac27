// Both order collections driven by arbitrary event sequences: orders of any status and small
// ids (so that they collide), fills, cancels and retirements, status and id changes of stored
// orders, repeated and null additions (through AddOrder and Apply alike), copies, assignments and
// emptying. After every step each collection is compared with a plain model: every stored order
// is reachable exactly once, keyed by the id it had when it was added, and queries filter by the
// status the order has now. An order a collection does not take is deleted here; one it takes is
// deleted by it, so a double delete, a use after delete or a leak shows under the sanitizers.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include "FuzzCheck.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

namespace {

using namespace Lumera;
using Orders = std::vector<CLMWireOrder*>;
using Entries = std::vector<std::pair<std::int32_t, CLMWireOrder*>>;  // in the order added

constexpr std::int32_t kIds = 8;

// Map order: ascending key, equal keys in the order added.
Entries InMapOrder(Entries entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    return entries;
}

std::vector<long> Tags(const Orders& orders) {
    std::vector<long> tags;
    for (CLMWireOrder* order : orders) {
        tags.push_back(order->getQty());
    }
    return tags;
}

struct BookModel {
    std::map<std::int32_t, CLMWireOrder*> working;
    Entries fillsAndCancels;

    Orders WithStatus(int a, int b) const {
        Orders out;
        for (const auto& [key, order] : working) {
            if (order->getOrderStatus() == a || order->getOrderStatus() == b) {
                out.push_back(order);
            }
        }
        return out;
    }
    Orders Ended(int status, const std::int32_t* key = nullptr) const {
        Orders out;
        for (const auto& [k, order] : InMapOrder(fillsAndCancels)) {
            if (order->getOrderStatus() == status && (key == nullptr || k == *key)) {
                out.push_back(order);
            }
        }
        return out;
    }
    void Retire(std::int32_t id) { working.erase(id); }
};

// The book holds exactly the model's orders (`same` false: a copy, compared by tag).
void CheckBook(CLMWireOrderCollection& book, const BookModel& model, bool same = true) {
    const auto expect = [same](const Orders& got, const Orders& want) {
        FUZZ_CHECK(same ? got == want : Tags(got) == Tags(want));
        if (!same) {
            for (std::size_t i = 0; i < got.size(); ++i) {
                FUZZ_CHECK(got[i] != want[i]);
            }
        }
    };
    expect(book.GetWorkingOrders(), model.WithStatus(2, 4));
    expect(book.GetFills(), model.Ended(3));
    expect(book.GetCancels(), model.Ended(5));
    std::set<CLMWireOrder*> seen;
    for (std::int32_t id = -1; id <= kIds; ++id) {
        const auto found = model.working.find(id);
        CLMWireOrder* held = book.GetWorkingOrder(id);
        expect(held == nullptr ? Orders{} : Orders{held},
               found == model.working.end() ? Orders{} : Orders{found->second});
        expect(book.GetFills(id), model.Ended(3, &id));
        if (held != nullptr) {
            FUZZ_CHECK(seen.insert(held).second);
        }
    }
    for (CLMWireOrder* order : book.GetFills()) {
        FUZZ_CHECK(seen.insert(order).second);
    }
    for (CLMWireOrder* order : book.GetCancels()) {
        FUZZ_CHECK(seen.insert(order).second);
    }
}

void CheckDone(CLMWireOrderCompletedCollection& done, const Entries& model, bool same = true) {
    const Entries ordered = InMapOrder(model);
    FUZZ_CHECK(done.Count() == ordered.size());
    std::set<CLMWireOrder*> seen;
    for (unsigned int i = 0; i < ordered.size(); ++i) {
        CLMWireOrder* at = done.GetAtIndex(i);
        FUZZ_CHECK(at != nullptr && seen.insert(at).second);
        FUZZ_CHECK(same ? at == ordered[i].second
                        : at != ordered[i].second && at->getQty() == ordered[i].second->getQty());
    }
    FUZZ_CHECK(done.GetAtIndex(static_cast<unsigned int>(ordered.size())) == nullptr);
    for (std::int32_t id = -1; id <= kIds; ++id) {
        Orders want;
        for (const auto& [key, order] : ordered) {
            if (key == id) {
                want.push_back(order);
            }
        }
        const Orders got = done.Find(id);
        FUZZ_CHECK(same ? got == want : Tags(got) == Tags(want));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    CLMWireOrderCollection book;
    BookModel bookModel;
    CLMWireOrderCompletedCollection done;
    Entries doneModel;
    long serial = 0;

    const auto newOrder = [&](int status, std::int32_t id) {
        auto order = std::make_unique<CLMWireOrder>();
        order->setOrderStatus(static_cast<enumOrderStatus>(status));
        order->setOrderID(id);
        order->setQty(++serial);
        return order;
    };
    // An order that one of the collections stores, for changes and repeated additions.
    const auto pick = [&](const std::vector<CLMWireOrder*>& from) -> CLMWireOrder* {
        return from.empty() ? nullptr
                            : from[input.ConsumeIntegralInRange<std::size_t>(0, from.size() - 1)];
    };
    const auto inBook = [&] {
        std::vector<CLMWireOrder*> all;
        for (const auto& [key, order] : bookModel.working) {
            all.push_back(order);
        }
        for (const auto& [key, order] : bookModel.fillsAndCancels) {
            all.push_back(order);
        }
        return all;
    };
    const auto inDone = [&] {
        std::vector<CLMWireOrder*> all;
        for (const auto& [key, order] : doneModel) {
            all.push_back(order);
        }
        return all;
    };
    const auto pickStored = [&]() -> CLMWireOrder* {
        return input.ConsumeBool() ? pick(inBook()) : pick(inDone());
    };

    for (int step = 0; step < 64 && input.remaining_bytes() > 0; ++step) {
        const int action = input.ConsumeIntegralInRange(0, 9);
        switch (action) {
            case 0:
            case 1: {  // an event for the live book, through AddOrder (0) or Apply (1)
                const int status = input.ConsumeIntegralInRange(0, 6);
                const std::int32_t id = input.ConsumeIntegralInRange(0, kIds - 1);
                const std::int32_t original = input.ConsumeIntegralInRange(0, kIds - 1);
                auto order = newOrder(status, id);
                order->setOriginalOrderID(original);
                Filed filed = Filed::Working;
                switch (status) {
                    case 1:
                        bookModel.Retire(original);
                        filed = Filed::RetiredOnly;
                        break;
                    case 3:
                    case 5:
                        bookModel.Retire(id);
                        bookModel.fillsAndCancels.emplace_back(id, order.get());
                        filed = Filed::FillOrCancel;
                        break;
                    default:
                        if (status == 4 || (status == 2 && original != 0)) {
                            bookModel.Retire(original);
                        }
                        if (!bookModel.working.emplace(id, order.get()).second) {
                            filed = Filed::DuplicateId;
                        }
                        break;
                }
                const bool stored = filed == Filed::Working || filed == Filed::FillOrCancel;
                if (action == 1) {
                    FUZZ_CHECK(book.Apply(order) == filed);
                    FUZZ_CHECK((order == nullptr) == stored);
                } else {
                    FUZZ_CHECK(book.AddOrder(order.get()));
                    if (stored) {
                        order.release();
                    }
                }
                break;
            }
            case 2: {  // an event for the completed orders
                const int status = input.ConsumeIntegralInRange(0, 6);
                const std::int32_t id = input.ConsumeIntegralInRange(0, kIds - 1);
                auto order = newOrder(status, id);
                order->setFillID(input.ConsumeIntegralInRange(0, kIds - 1));
                const bool refused =
                    status == 3 &&
                    std::any_of(doneModel.begin(), doneModel.end(), [&](const auto& entry) {
                        return entry.first == order->getFillID();
                    });
                CLMWireOrder* raw = order.get();
                if (input.ConsumeBool()) {
                    FUZZ_CHECK(done.Apply(order) == (refused ? Filed::Refused : Filed::Stored));
                    FUZZ_CHECK((order == nullptr) == !refused);
                } else {
                    FUZZ_CHECK(done.AddOrder(raw) == !refused);
                    if (!refused) {
                        order.release();
                    }
                }
                if (!refused) {
                    doneModel.emplace_back(id, raw);
                }
                break;
            }
            case 3:  // a stored order changes status: queries follow, keys do not move
                if (CLMWireOrder* order = pickStored()) {
                    order->setOrderStatus(
                        static_cast<enumOrderStatus>(input.ConsumeIntegralInRange(0, 6)));
                }
                break;
            case 4:  // a stored order changes id: it stays under the id it was added with
                if (CLMWireOrder* order = pickStored()) {
                    order->setOrderID(input.ConsumeIntegralInRange(-1, 3 * kIds));
                }
                break;
            case 5: {  // an order already held, and null, are refused; Apply releases a held one
                std::unique_ptr<CLMWireOrder> held;
                if (CLMWireOrder* order = pick(inBook())) {
                    FUZZ_CHECK(!book.AddOrder(order));
                    held.reset(order);
                    FUZZ_CHECK(book.Apply(held) == Filed::AlreadyHeld && held == nullptr);
                }
                if (CLMWireOrder* order = pick(inDone())) {
                    FUZZ_CHECK(!done.AddOrder(order));
                    held.reset(order);
                    FUZZ_CHECK(done.Apply(held) == Filed::AlreadyHeld && held == nullptr);
                }
                FUZZ_CHECK(!book.AddOrder(nullptr));
                FUZZ_CHECK(!done.AddOrder(nullptr));
                FUZZ_CHECK(book.Apply(held) == Filed::Refused &&
                           done.Apply(held) == Filed::Refused);
                break;
            }
            case 6: {  // deep copies, by construction and by assignment over a filled book
                CLMWireOrderCollection copy(book);
                CheckBook(copy, bookModel, false);
                CLMWireOrderCollection assigned;
                assigned.AddOrder(newOrder(2, 1).release());
                assigned.AddOrder(newOrder(3, 1).release());
                assigned = book;
                CheckBook(assigned, bookModel, false);
                const CLMWireOrderCollection& self = assigned;
                assigned = self;
                CheckBook(assigned, bookModel, false);
                break;
            }
            case 7: {
                CLMWireOrderCompletedCollection copy(done);
                CheckDone(copy, doneModel, false);
                CLMWireOrderCompletedCollection assigned;
                assigned.AddOrder(newOrder(5, 2).release());
                assigned = done;
                CheckDone(assigned, doneModel, false);
                break;
            }
            case 8:
                done.removeAll();
                doneModel.clear();
                break;
            default:  // queries only
                break;
        }
        CheckBook(book, bookModel);
        CheckDone(done, doneModel);
    }
    return 0;
}
