#pragma once

// The ownership mechanics of every collection that maps keys to objects it owns by pointer
// (std::map or std::multimap): deleting them all, and deep copies.

#include <memory>
#include <type_traits>

namespace Lumera {

// Deletes every object, in key order, and empties the map.
template <class Map>
void DeleteOwned(Map& owned) noexcept {
    for (auto& entry : owned) {
        delete entry.second;
        entry.second = nullptr;
    }
    owned.clear();
}

// A map with the same keys, in the same order (equal keys included), holding a copy of every
// object made by its copy constructor. Nothing leaks if a copy throws.
template <class Map>
Map CloneOwned(const Map& source) {
    Map copy;
    try {
        for (const auto& entry : source) {
            using Object = std::remove_pointer_t<typename Map::mapped_type>;
            std::unique_ptr<Object> object(new Object(*entry.second));
            copy.emplace_hint(copy.end(), entry.first, object.get());
            object.release();
        }
    } catch (...) {
        DeleteOwned(copy);
        throw;
    }
    return copy;
}

// As CloneOwned, into an empty map that the caller made (with an allocator of its choice). On
// failure the copies made so far stay in target, for the caller to delete.
template <class Map>
void CloneOwnedInto(const Map& source, Map& target) {
    for (const auto& entry : source) {
        using Object = std::remove_pointer_t<typename Map::mapped_type>;
        std::unique_ptr<Object> object(new Object(*entry.second));
        target.emplace_hint(target.end(), entry.first, object.get());
        object.release();
    }
}

// The order collections own their orders by pointer too. Each order records which collection
// holds it, so that telling whether an order handed in is already held takes no search.
class CLMWireOrder;

// The collection holding the order, or null.
const void* HolderOf(CLMWireOrder& order);
void SetHolder(CLMWireOrder& order, const void* holder);

// Marks every order of the map as held by holder.
template <class Map>
void SetHolderOfAll(const Map& orders, const void* holder) {
    for (const auto& entry : orders) {
        SetHolder(*entry.second, holder);
    }
}

}  // namespace Lumera
