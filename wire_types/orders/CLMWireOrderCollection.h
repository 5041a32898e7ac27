#pragma once

// The live order book: order events filed by status into working orders and fills-and-cancels,
// safe to share between threads. The working orders' entries go back to the heap when the last
// working order is retired; fills and cancels are kept until the book is destroyed.

#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/orders/Filed.h"
#include "wire_types/support/Export.h"

namespace Lumera {

class LMWIRE_API CLMWireOrderCollection {
  public:
    CLMWireOrderCollection();
    // Deep copies of every order, taken under the source's lock; the copy has a lock of its own.
    CLMWireOrderCollection(const CLMWireOrderCollection& other);
    CLMWireOrderCollection& operator=(const CLMWireOrderCollection& other);
    virtual ~CLMWireOrderCollection();

    // Files the event by its status and takes ownership of it when it is stored. Returns false
    // (and stores nothing) for null or an order the collection already holds; true otherwise,
    // also when the event is not stored and stays the caller's. When memory runs out it throws
    // std::bad_alloc with the book unchanged and the event still the caller's.
    bool AddOrder(CLMWireOrder* order);

    // Files the event exactly as AddOrder does, under the same lock, and settles ownership in the
    // caller's pointer: it is empty on return exactly when the book owns the object (Working,
    // FillOrCancel, AlreadyHeld) and untouched otherwise (RetiredOnly, DuplicateId, Refused for
    // null). When memory runs out std::bad_alloc propagates with the book and the pointer as they
    // were.
    Filed Apply(std::unique_ptr<CLMWireOrder>& order);
    // The same for an order handed over outright (std::move(p), std::make_unique(...)): the
    // argument is empty afterwards whatever the result, and an order the book does not take is
    // destroyed before the call returns. Pass an lvalue to get such an order back instead.
    Filed Apply(std::unique_ptr<CLMWireOrder>&& order) {
        std::unique_ptr<CLMWireOrder> taken(std::move(order));
        return Apply(taken);
    }

    // Results stay owned by the collection; statuses are read when the query runs.
    std::vector<CLMWireOrder*> GetWorkingOrders();
    CLMWireOrder* GetWorkingOrder(long orderID);
    std::vector<CLMWireOrder*> GetFills();
    std::vector<CLMWireOrder*> GetFills(long orderID);
    std::vector<CLMWireOrder*> GetCancels();

  private:
    // The working-order map and the fill-and-cancel map, with the pools their entries come from
    // and the filing rules that AddOrder and Apply share.
    struct Books;

    void removeAll();

    std::unique_ptr<Books> books_;
    mutable std::recursive_mutex section_;
};

}  // namespace Lumera
