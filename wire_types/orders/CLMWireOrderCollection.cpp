#include "wire_types/orders/CLMWireOrderCollection.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "wire_types/orders/detail/NodePool.h"
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

// Each map takes its entries from a pool of its own (see NodePool). The working orders' pool goes
// back to the heap whenever the last working order is retired; fills and cancels are never
// retired, so theirs lives as long as they do.
struct CLMWireOrderCollection::Books {
    using Entry = std::pair<const std::int32_t, CLMWireOrder*>;
    using Allocator = detail::PoolAllocator<Entry>;

    detail::NodePool workingPool;
    detail::NodePool fillPool;
    std::map<std::int32_t, CLMWireOrder*, std::less<std::int32_t>, Allocator> working{
        Allocator(workingPool)};
    std::multimap<std::int32_t, CLMWireOrder*, std::less<std::int32_t>, Allocator> fills{
        Allocator(fillPool)};
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
    // The order an event retires is deleted after the lock is released, so that other threads do
    // not wait for its texts to be freed.
    std::unique_ptr<CLMWireOrder> retired;
    VeySafeLock guard(section_);
    guard.Lock();
    if (order == nullptr || HolderOf(*order) == this) {
        return false;
    }
    const enumOrderStatus status = order->getOrderStatus();
    const long orderID = order->getOrderID();
    const long originalID = order->getOriginalOrderID();
    const std::int32_t key = Low32(orderID);
    auto& working = books_->working;

    // The one allocation an event needs (its entry) comes before anything is retired: when it
    // fails, std::bad_alloc leaves the book as it was and the event the caller's.
    switch (status) {
        case osRemoved:
            retired.reset(retireWorkingOrder(originalID));
            return true;
        case osFilled:
        case osCancelled:
            books_->fills.emplace(key, order);
            retired.reset(retireWorkingOrder(orderID));
            break;
        default: {
            const bool replaces = status == osModified || (status == osWorking && originalID != 0);
            const auto replaced = replaces ? working.find(Low32(originalID)) : working.end();
            if (replaced != working.end() && replaced->first == key) {
                // A replacement under its own id takes over the entry.
                retired.reset(replaced->second);
                replaced->second = order;
                break;
            }
            // An entry already filed under the id stays; the new order remains the caller's.
            const bool filed = working.try_emplace(key, order).second;
            if (replaced != working.end()) {
                retired.reset(replaced->second);
                working.erase(replaced);
            }
            if (!filed) {
                return true;
            }
            break;
        }
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
