#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

#include <utility>

#include "wire_types/orders/OrderMaps.h"
#include "wire_types/support/VeySafeLock.h"

namespace Lumera {

namespace {
constexpr std::int32_t kFilled = 3;
}

CLMWireOrderCompletedCollection::CLMWireOrderCompletedCollection() = default;

CLMWireOrderCompletedCollection::CLMWireOrderCompletedCollection(
    const CLMWireOrderCompletedCollection& other)
    : orders_(copyOf(other)) {
    try {
        AddHeld(held_, orders_);
    } catch (...) {
        DeleteOwned(orders_);
        throw;
    }
}

CLMWireOrderCompletedCollection& CLMWireOrderCompletedCollection::operator=(
    const CLMWireOrderCompletedCollection& other) {
    if (this == &other) {
        return *this;
    }
    // Built under the source's lock alone, then swapped in under this one's.
    CLMWireOrderCompletedCollection copy(other);
    {
        VeySafeLock guard(section_);
        guard.Lock();
        std::swap(orders_, copy.orders_);
        std::swap(held_, copy.held_);
    }
    return *this;
}

CLMWireOrderCompletedCollection::OrderMap CLMWireOrderCompletedCollection::copyOf(
    const CLMWireOrderCompletedCollection& other) {
    VeySafeLock guard(other.section_);
    guard.Lock();
    return CloneOwned(other.orders_);
}

CLMWireOrderCompletedCollection::~CLMWireOrderCompletedCollection() {
    removeAll();
}

bool CLMWireOrderCompletedCollection::AddOrder(CLMWireOrder* order) {
    VeySafeLock guard(section_);
    guard.Lock();
    if (order == nullptr || held_.count(order) != 0) {
        return false;
    }
    const auto status = static_cast<std::int32_t>(order->getOrderStatus());
    const auto key = static_cast<std::int32_t>(order->getOrderID());
    const auto fillID = static_cast<std::int32_t>(order->getFillID());
    // A fill is recognised as already recorded by its FillID among the order ids held.
    if (status == kFilled && orders_.count(fillID) != 0) {
        return false;
    }
    held_.insert(order);
    try {
        orders_.emplace(key, order);
    } catch (...) {
        held_.erase(order);
        throw;
    }
    return true;
}

std::vector<CLMWireOrder*> CLMWireOrderCompletedCollection::Find(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    std::vector<CLMWireOrder*> result;
    const auto key = OrderKey(orderID);
    if (!key) {
        return result;
    }
    const auto range = orders_.equal_range(*key);
    for (auto entry = range.first; entry != range.second; ++entry) {
        result.push_back(entry->second);
    }
    return result;
}

unsigned int CLMWireOrderCompletedCollection::Count() {
    VeySafeLock guard(section_);
    guard.Lock();
    return static_cast<unsigned int>(orders_.size());
}

CLMWireOrder* CLMWireOrderCompletedCollection::GetAtIndex(unsigned int index) {
    VeySafeLock guard(section_);
    guard.Lock();
    auto entry = orders_.begin();
    for (unsigned int step = 0; step < index && entry != orders_.end(); ++step) {
        ++entry;
    }
    return entry == orders_.end() ? nullptr : entry->second;
}

void CLMWireOrderCompletedCollection::removeAll() {
    VeySafeLock guard(section_);
    guard.Lock();
    held_.clear();
    DeleteOwned(orders_);
}

}  // namespace Lumera
