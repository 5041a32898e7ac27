#include "wire_types/orders/CLMWireOrderCollection.h"

#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "wire_types/orders/detail/NodePool.h"
#include "wire_types/orders/detail/SettleOwnership.h"
#include "wire_types/support/detail/OwnedPointers.h"
#include "wire_types/support/detail/Scalars.h"
#include "wire_types/support/detail/VeySafeLock.h"

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

    // The filing rules, the one copy that AddOrder and Apply share. Called with the lock held by
    // a book whose mark is `holder`; the working order that the event retires is handed out in
    // `retired`, for the caller to delete once it has released the lock, so that other threads
    // do not wait for its texts to be freed.
    //
    // The one allocation an event needs (its entry) comes before anything is retired: when it
    // fails, std::bad_alloc leaves the book as it was and the event the caller's.
    Filed File(CLMWireOrder* order, const void* holder, std::unique_ptr<CLMWireOrder>& retired) {
        if (order == nullptr) {
            return Filed::Refused;
        }
        if (detail::HolderOf(*order) == holder) {
            return Filed::AlreadyHeld;
        }
        const enumOrderStatus status = order->getOrderStatus();
        const long orderID = order->getOrderID();
        const long originalID = order->getOriginalOrderID();
        const std::int32_t key = detail::Low32(orderID);
        Filed filed = Filed::Working;
        switch (status) {
            case osRemoved:
                retired.reset(Retire(originalID));
                return Filed::RetiredOnly;
            case osFilled:
            case osCancelled:
                fills.emplace(key, order);
                retired.reset(Retire(orderID));
                filed = Filed::FillOrCancel;
                break;
            default: {
                const bool replaces =
                    status == osModified || (status == osWorking && originalID != 0);
                const auto replaced =
                    replaces ? working.find(detail::Low32(originalID)) : working.end();
                if (replaced != working.end() && replaced->first == key) {
                    // A replacement under its own id takes over the entry.
                    retired.reset(replaced->second);
                    replaced->second = order;
                    break;
                }
                // An entry already filed under the id stays; the new order remains the caller's.
                const bool added = working.try_emplace(key, order).second;
                if (replaced != working.end()) {
                    retired.reset(replaced->second);
                    working.erase(replaced);
                }
                if (!added) {
                    return Filed::DuplicateId;
                }
                break;
            }
        }
        detail::SetHolder(*order, holder);
        return filed;
    }

    // Unfiles the working order under the id and returns it (or null).
    CLMWireOrder* Retire(long orderID) noexcept {
        const auto found = working.find(detail::Low32(orderID));
        if (found == working.end()) {
            return nullptr;
        }
        CLMWireOrder* order = found->second;
        working.erase(found);
        return order;
    }
};

CLMWireOrderCollection::CLMWireOrderCollection() : books_(std::make_unique<Books>()) {}

CLMWireOrderCollection::CLMWireOrderCollection(const CLMWireOrderCollection& other)
    : books_(std::make_unique<Books>()) {
    VeySafeLock guard(other.section_);
    guard.Lock();
    try {
        detail::CloneOwnedInto(other.books_->working, books_->working);
        detail::CloneOwnedInto(other.books_->fills, books_->fills);
    } catch (...) {
        detail::DeleteOwned(books_->working);
        detail::DeleteOwned(books_->fills);
        throw;
    }
    detail::SetHolderOfAll(books_->working, this);
    detail::SetHolderOfAll(books_->fills, this);
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
        detail::SetHolderOfAll(books_->working, this);
        detail::SetHolderOfAll(books_->fills, this);
    }
    return *this;
}

CLMWireOrderCollection::~CLMWireOrderCollection() {
    removeAll();
}

bool CLMWireOrderCollection::AddOrder(CLMWireOrder* order) {
    std::unique_ptr<CLMWireOrder> retired;  // deleted after the lock is released
    VeySafeLock guard(section_);
    guard.Lock();
    const Filed filed = books_->File(order, this, retired);
    return filed != Filed::Refused && filed != Filed::AlreadyHeld;
}

Filed CLMWireOrderCollection::Apply(std::unique_ptr<CLMWireOrder>& order) {
    std::unique_ptr<CLMWireOrder> retired;  // deleted after the lock is released
    VeySafeLock guard(section_);
    guard.Lock();
    return detail::SettleOwnership(books_->File(order.get(), this, retired), order);
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetWorkingOrders() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(books_->working.begin(), books_->working.end(), osWorking, osModified);
}

CLMWireOrder* CLMWireOrderCollection::GetWorkingOrder(long orderID) {
    VeySafeLock guard(section_);
    guard.Lock();
    const auto found = books_->working.find(detail::Low32(orderID));
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
    const auto range = books_->fills.equal_range(detail::Low32(orderID));
    return WithStatus(range.first, range.second, osFilled, osFilled);
}

std::vector<CLMWireOrder*> CLMWireOrderCollection::GetCancels() {
    VeySafeLock guard(section_);
    guard.Lock();
    return WithStatus(books_->fills.begin(), books_->fills.end(), osCancelled, osCancelled);
}

void CLMWireOrderCollection::removeAll() {
    VeySafeLock guard(section_);
    guard.Lock();
    detail::DeleteOwned(books_->working);
    detail::DeleteOwned(books_->fills);
}

}  // namespace Lumera
