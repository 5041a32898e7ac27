#pragma once

// The completed orders: every order event handed in, filed by order id, walked by position and
// emptied only as a whole; safe to share between threads.

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/orders/Filed.h"
#include "wire_types/support/Export.h"

namespace Lumera {

class LMWIRE_API CLMWireOrderCompletedCollection {
  public:
    CLMWireOrderCompletedCollection();
    // Deep copies of every order, taken under the source's lock; the copy has a lock of its own.
    CLMWireOrderCompletedCollection(const CLMWireOrderCompletedCollection& other);
    CLMWireOrderCompletedCollection& operator=(const CLMWireOrderCompletedCollection& other);
    virtual ~CLMWireOrderCompletedCollection();

    // Stores the order under its OrderID and takes ownership of it. Returns false, storing
    // nothing, for null, an order already held, or a fill (status 3) whose FillID is already a
    // key; such an order stays the caller's.
    bool AddOrder(CLMWireOrder* order);
    // Stores the order exactly as AddOrder does, under the same lock, and settles ownership in the
    // caller's pointer: it is empty on return exactly when the collection owns the object
    // (Stored, AlreadyHeld) and untouched otherwise (Refused: null, or a refused fill). When
    // memory runs out std::bad_alloc propagates with the collection and the pointer as they were.
    Filed Apply(std::unique_ptr<CLMWireOrder>& order);
    // The same for an order handed over outright (std::move(p), std::make_unique(...)): the
    // argument is empty afterwards whatever the result, and an order the collection does not take
    // is destroyed before the call returns. Pass an lvalue to get such an order back instead.
    Filed Apply(std::unique_ptr<CLMWireOrder>&& order) {
        std::unique_ptr<CLMWireOrder> taken(std::move(order));
        return Apply(taken);
    }
    // Every order stored under the id, in the order added.
    std::vector<CLMWireOrder*> Find(long orderID);
    unsigned int Count();
    // Ascending id, equal ids in the order added; null past the end.
    CLMWireOrder* GetAtIndex(unsigned int index);
    // Deletes every stored order.
    void removeAll();

  private:
    using OrderMap = std::multimap<std::int32_t, CLMWireOrder*>;

    OrderMap orders_;
    mutable std::recursive_mutex section_;
};

}  // namespace Lumera
