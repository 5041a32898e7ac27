#include "wire_types/orders/CLMWireOrderCollection.h"

#include <utility>

#include "wire_types/orders/OrderMaps.h"
#include "wire_types/support/VeySafeLock.h"

namespace Lumera {

namespace {

constexpr std::int32_t kRemoved = 1;
constexpr std::int32_t kWorking = 2;
constexpr std::int32_t kFilled = 3;
constexpr std::int32_t kModified = 4;
constexpr std::int32_t kCancelled = 5;

std::int32_t StatusOf(const CLMWireOrder* order) {
    return static_cast<std::int32_t>(order->getOrderStatus());
}

// The orders of [first, last) whose status, read now, is one of the two given.
template <class Iterator>
std::vector<CLMWireOrder*> WithStatus(Iterator first, Iterator last, std::int32_t status,
                                      std::int32_t alsoStatus) {
    std::vector<CLMWireOrder*> result;
    for (; first != last; ++first) {
        const std::int32_t current = StatusOf(first->second);
        if (current == status || current == alsoStatus) {
            result.push_back(first->second);
        }
    }
    return result;
}

}  // namespace

CLMWireOrderCollection::CLMWireOrderCollection() = default;

CLMWireOrderCollection::CLMWireOrderCollection(const CLMWireOrderCollection& other) {
    copyFrom(other, workingOrders_, fillsAndCancels_);
    try {
        AddHeld(held_, workingOrders_);
        AddHeld(held_, fillsAndCancels_);
    } catch (...) {
        DeleteOwned(workingOrders_);
        DeleteOwned(fillsAndCancels_);
        throw;
    }
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
        std::swap(workingOrders_, copy.workingOrders_);
        std::swap(fillsAndCancels_, copy.fillsAndCancels_);
        std::swap(held_, copy.held_);
    }
    return *this;
}

void CLMWireOrderCollection::copyFrom(const CLMWireOrderCollection& other, WorkingMap& working,
                                      FillMap& fills) {
    VeySafeLock guard(other.section_);
    guard.Lock();
    WorkingMap workingCopy = CloneOwned(other.workingOrders_);
    try {
        fills = CloneOwned(other.fillsAndCancels_);
    } catch (...) {
        DeleteOwned(workingCopy);
        throw;
    }
    working = std::move(workingCopy);
}

CLMWireOrderCollection::~CLMWireOrderCollection() {
    removeAll();
}

bool CLMWireOrderCollection::AddOrder(CLMWireOrder* order) {
    VeySafeLock guard(section_);
    guard.Lock();
    if (order == nullptr || held_.count(order) != 0) {
        return false;
    }
    const std::int32_t status = StatusOf(order);
    const long orderID = order->getOrderID();
    const long originalID = order->getOriginalOrderID();
    const auto key = static_cast<std::int32_t>(orderID);

    bool toWorking = true;
    switch (status) {
        case kRemoved:
            removeOrder(originalID);
            return true;
        case kWorking:
            if (originalID != 0) {
                removeOrder(originalID);
            }
            break;
        case kModified:
            removeOrder(originalID);
            break;
        case kFilled:
        case kCancelled:
            removeOrder(orderID);
            toWorking = false;
            break;
        default:
            break;
    }

    held_.insert(order);
    try {
        if (toWorking) {
            // An entry already filed under the id stays; the new order remains the caller's.
            if (!workingOrders_.emplace(key, order).second) {
                held_.erase(order);
            }
        } else {
            fillsAndCancels_.emplace(key, order);
        }
    } catch (...) {
        held_.erase(order);
        throw;
    }
    return true;
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetWorkingOrders() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(workingOrders_.begin(), workingOrders_.end(), kWorking, kModified);
}

CLMWireOrder* CLMWireOrderCollection::GetWorkingOrder(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    const auto key = OrderKey(orderID);
    if (!key) {
        return nullptr;
    }
    const auto found = workingOrders_.find(*key);
    return found == workingOrders_.end() ? nullptr : found->second;
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetFills() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(fillsAndCancels_.begin(), fillsAndCancels_.end(), kFilled, kFilled);
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetFills(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    const auto key = OrderKey(orderID);
    if (!key) {
        return {};
    }
    const auto range = fillsAndCancels_.equal_range(*key);
    return WithStatus(range.first, range.second, kFilled, kFilled);
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetCancels() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(fillsAndCancels_.begin(), fillsAndCancels_.end(), kCancelled, kCancelled);
}

void CLMWireOrderCollection::removeOrder(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    const auto found = workingOrders_.find(static_cast<std::int32_t>(orderID));
    if (found == workingOrders_.end()) {
        return;
    }
    CLMWireOrder* order = found->second;
    workingOrders_.erase(found);
    held_.erase(order);
    delete order;
}

void CLMWireOrderCollection::removeAll() {
    VeySafeLock guard(section_);
    guard.Lock();
    held_.clear();
    DeleteOwned(workingOrders_);
    DeleteOwned(fillsAndCancels_);
}

}  // namespace Lumera
