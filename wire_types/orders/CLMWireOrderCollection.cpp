#include "wire_types/orders/CLMWireOrderCollection.h"

#include <cstdint>
#include <map>
#include <memory_resource>
#include <utility>

#include "wire_types/support/Bytes.h"
#include "wire_types/support/OwnedPointers.h"
#include "wire_types/support/VeySafeLock.h"

namespace Lumera {

namespace {

// The orders of [first, last) whose status, read now, is one of the two given.
template <class Iterator>
std::vector<CLMWireOrder*> WithStatus(Iterator first, Iterator last, enumOrderStatus status,
                                      enumOrderStatus alsoStatus) {
    std::vector<CLMWireOrder*> result;
    for (; first != last; ++first) {
        const enumOrderStatus current = first->second->getOrderStatus();
        if (current == status || current == alsoStatus) {
            result.push_back(first->second);
        }
    }
    return result;
}

}  // namespace

// Each map takes its entries from a pool of its own: they stay packed together in memory, so
// that a look-up among thousands of working orders does not wander the whole heap, nor the
// growing list of fills.
struct CLMWireOrderCollection::Books {
    std::pmr::unsynchronized_pool_resource workingPool;
    std::pmr::unsynchronized_pool_resource fillPool;
    std::pmr::map<std::int32_t, CLMWireOrder*> working{&workingPool};
    std::pmr::multimap<std::int32_t, CLMWireOrder*> fills{&fillPool};
};

CLMWireOrderCollection::CLMWireOrderCollection() : books_(std::make_unique<Books>()) {}

CLMWireOrderCollection::CLMWireOrderCollection(const CLMWireOrderCollection& other)
    : books_(std::make_unique<Books>()) {
    VeySafeLock guard(other.section_);
    guard.Lock();
    try {
        CloneOwnedInto(other.books_->working, books_->working);
        CloneOwnedInto(other.books_->fills, books_->fills);
    } catch (...) {
        DeleteOwned(books_->working);
        DeleteOwned(books_->fills);
        throw;
    }
    SetHolderOfAll(books_->working, this);
    SetHolderOfAll(books_->fills, this);
}

CLMWireOrderCollection& CLMWireOrderCollection::operator=(const CLMWireOrderCollection& other) {
    if (this == &other) {
        return *this;
    }
    // Built under the source's lock alone, then swapped in under this one's: no thread ever
    // holds two collections' locks at once.
    CLMWireOrderCollection copy(other);
    {
        VeySafeLock guard(section_);
        guard.Lock();
        std::swap(books_, copy.books_);
        SetHolderOfAll(books_->working, this);
        SetHolderOfAll(books_->fills, this);
    }
    return *this;
}

CLMWireOrderCollection::~CLMWireOrderCollection() {
    removeAll();
}

bool CLMWireOrderCollection::AddOrder(CLMWireOrder* order) {
    // The order an event retires is deleted after the lock is released (also when storing the
    // event fails), so that other threads do not wait for its texts to be freed.
    std::unique_ptr<CLMWireOrder> retired;
    VeySafeLock guard(section_);
    guard.Lock();
    if (order == nullptr || HolderOf(*order) == this) {
        return false;
    }
    const enumOrderStatus status = order->getOrderStatus();
    const long orderID = order->getOrderID();
    const long originalID = order->getOriginalOrderID();

    bool toWorking = true;
    switch (status) {
        case osRemoved:
            retired.reset(retireWorkingOrder(originalID));
            return true;
        case osWorking:
            if (originalID != 0) {
                retired.reset(retireWorkingOrder(originalID));
            }
            break;
        case osModified:
            retired.reset(retireWorkingOrder(originalID));
            break;
        case osFilled:
        case osCancelled:
            retired.reset(retireWorkingOrder(orderID));
            toWorking = false;
            break;
        default:
            break;
    }

    const std::int32_t key = Low32(orderID);
    if (toWorking) {
        // An entry already filed under the id stays; the new order remains the caller's.
        if (!books_->working.try_emplace(key, order).second) {
            return true;
        }
    } else {
        books_->fills.emplace(key, order);
    }
    SetHolder(*order, this);
    return true;
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetWorkingOrders() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(books_->working.begin(), books_->working.end(), osWorking, osModified);
}

CLMWireOrder* CLMWireOrderCollection::GetWorkingOrder(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    const auto found = books_->working.find(Low32(orderID));
    return found == books_->working.end() ? nullptr : found->second;
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetFills() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(books_->fills.begin(), books_->fills.end(), osFilled, osFilled);
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetFills(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    const auto range = books_->fills.equal_range(Low32(orderID));
    return WithStatus(range.first, range.second, osFilled, osFilled);
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetCancels() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(books_->fills.begin(), books_->fills.end(), osCancelled, osCancelled);
}

CLMWireOrder* CLMWireOrderCollection::retireWorkingOrder(long orderID) {
    const auto found = books_->working.find(Low32(orderID));
    if (found == books_->working.end()) {
        return nullptr;
    }
    CLMWireOrder* order = found->second;
    books_->working.erase(found);
    return order;
}

void CLMWireOrderCollection::removeAll() {
    VeySafeLock guard(section_);
    guard.Lock();
    DeleteOwned(books_->working);
    DeleteOwned(books_->fills);
}

}  // namespace Lumera
