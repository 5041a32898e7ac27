#pragma once

// Mechanics shared by the two order collections: map keys from caller ids and the set of held
// orders.

#include <cstdint>
#include <limits>
#include <optional>
#include <set>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/support/OwnedPointers.h"

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
void AddHeld(std::set<const CLMWireOrder*>& held, const Map& orders) {
    for (const auto& entry : orders) {
        held.insert(entry.second);
    }
}

}  // namespace Lumera
