#include "wire_types/orders/CLMWireOrderCompletedCollection.h"

#include <utility>

#include "wire_types/orders/detail/SettleOwnership.h"
#include "wire_types/support/detail/OwnedPointers.h"
#include "wire_types/support/detail/Scalars.h"
#include "wire_types/support/detail/VeySafeLock.h"

namespace Lumera {

namespace {

// The filing rule, the one copy that AddOrder and Apply share; called with the lock held by the
// collection whose mark is `holder`. The entry is the only allocation, made last: when it fails,
// std::bad_alloc leaves the collection as it was and the order the caller's.
Filed File(std::multimap<std::int32_t, CLMWireOrder*>& orders, CLMWireOrder* order,
           const void* holder) {
    if (order == nullptr) {
        return Filed::Refused;
    }
    if (detail::HolderOf(*order) == holder) {
        return Filed::AlreadyHeld;
    }
    // A fill is recognised as already recorded by its FillID among the order ids held.
    if (order->getOrderStatus() == osFilled &&
        orders.count(detail::Low32(order->getFillID())) != 0) {
        return Filed::Refused;
    }
    orders.emplace(detail::Low32(order->getOrderID()), order);
    detail::SetHolder(*order, holder);
    return Filed::Stored;
}

}  // namespace

CLMWireOrderCompletedCollection::CLMWireOrderCompletedCollection() = default;

CLMWireOrderCompletedCollection::CLMWireOrderCompletedCollection(
    const CLMWireOrderCompletedCollection& other)
    // Copied under the source's lock; the copy has a lock of its own.
    : orders_([&other] {
          VeySafeLock guard(other.section_);
          guard.Lock();
          return detail::CloneOwned(other.orders_);
      }()) {
    detail::SetHolderOfAll(orders_, this);
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
        detail::SetHolderOfAll(orders_, this);
    }
    return *this;
}

CLMWireOrderCompletedCollection::~CLMWireOrderCompletedCollection() {
    removeAll();
}

bool CLMWireOrderCompletedCollection::AddOrder(CLMWireOrder* order) {
    VeySafeLock guard(section_);
    guard.Lock();
    return File(orders_, order, this) == Filed::Stored;
}

Filed CLMWireOrderCompletedCollection::Apply(std::unique_ptr<CLMWireOrder>& order) {
    VeySafeLock guard(section_);
    guard.Lock();
    return detail::SettleOwnership(File(orders_, order.get(), this), order);
}

std::vector<CLMWireOrder*> CLMWireOrderCompletedCollection::Find(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    std::vector<CLMWireOrder*> result;
    const auto range = orders_.equal_range(detail::Low32(orderID));
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
    detail::DeleteOwned(orders_);
}

}  // namespace Lumera
