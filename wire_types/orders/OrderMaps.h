#pragma once

// Mechanics shared by the two order collections: map keys from caller ids, deep copies and
// release of the orders a map owns.

#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <set>

#include "wire_types/orders/CLMWireOrder.h"

namespace Lumera {

// Keys are 32-bit order ids; an id beyond that range names no entry.
inline std::optional<std::int32_t> OrderKey(long id) {
    if (id < std::numeric_limits<std::int32_t>::min() ||
        id > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(id);
}

template <class Map>
void DeleteOrders(Map& orders) noexcept {
    for (auto& entry : orders) {
        delete entry.second;
    }
    orders.clear();
}

// A map of deep copies in the same order, equal keys included; nothing leaks if a copy throws.
template <class Map>
Map CopyOrders(const Map& source) {
    Map copy;
    try {
        for (const auto& entry : source) {
            auto order = std::make_unique<CLMWireOrder>(*entry.second);
            copy.emplace_hint(copy.end(), entry.first, order.get());
            order.release();
        }
    } catch (...) {
        DeleteOrders(copy);
        throw;
    }
    return copy;
}

template <class Map>
void AddHeld(std::set<const CLMWireOrder*>& held, const Map& orders) {
    for (const auto& entry : orders) {
        held.insert(entry.second);
    }
}

}  // namespace Lumera
