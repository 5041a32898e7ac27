#pragma once

// The live order book: order events filed by status into working orders and fills-and-cancels,
// safe to share between threads. The working orders' entries go back to the heap when the last
// working order is retired; fills and cancels are kept until the book is destroyed.

#include <memory>
#include <mutex>
#include <vector>

#include "wire_types/orders/CLMWireOrder.h"
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

    // Results stay owned by the collection; statuses are read when the query runs.
    std::vector<CLMWireOrder*> GetWorkingOrders();
    CLMWireOrder* GetWorkingOrder(long orderID);
    std::vector<CLMWireOrder*> GetFills();
    std::vector<CLMWireOrder*> GetFills(long orderID);
    std::vector<CLMWireOrder*> GetCancels();

  private:
    // The working-order map and the fill-and-cancel map, with the pools their entries come from.
    struct Books;

    // Unfiles the working order under the id and returns it (or null), for the caller to delete
    // once it has released the lock. Called with the lock held.
    CLMWireOrder* retireWorkingOrder(long orderID);
    void removeAll();

    std::unique_ptr<Books> books_;
    mutable std::recursive_mutex section_;
};

}  // namespace Lumera
