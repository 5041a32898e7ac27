#pragma once

// The ownership mechanics of every collection that maps keys to objects it owns by pointer
// (std::map or std::multimap): deleting them all, deep copies, adoption of new entries and access
// by key or by position in key order.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <map>
#include <memory>
#include <type_traits>

#include "wire_types/support/detail/Scalars.h"

namespace Lumera {

class CLMWireOrder;

namespace detail {

// Deletes every object, in key order, and empties the map.
template <class Map>
void DeleteOwned(Map& owned) noexcept {
    for (auto& entry : owned) {
        delete entry.second;
        entry.second = nullptr;
    }
    owned.clear();
}

// Copies every object of source into target, an empty map that the caller made (with an allocator
// of its choice). On failure the copies made so far stay in target, for the caller to delete.
template <class Map>
void CloneOwnedInto(const Map& source, Map& target) {
    for (const auto& entry : source) {
        using Object = std::remove_pointer_t<typename Map::mapped_type>;
        std::unique_ptr<Object> object(new Object(*entry.second));
        target.emplace_hint(target.end(), entry.first, object.get());
        object.release();
    }
}

// A map with the same keys, in the same order (equal keys included), holding a copy of every
// object made by its copy constructor. Nothing leaks if a copy throws.
template <class Map>
Map CloneOwned(const Map& source) {
    Map copy;
    try {
        CloneOwnedInto(source, copy);
    } catch (...) {
        DeleteOwned(copy);
        throw;
    }
    return copy;
}

// A map from a caller's id to an object the collection owns, one object per id. Ids are 32-bit
// fields: a `long` id counts by its low 32 bits wherever it is filed or looked up, and these
// helpers are the one place that applies the rule.
template <class T>
using OwnedEntries = std::map<std::int32_t, T*>;

// Whether the object is held under any key. A held object whose id changed since it was added
// sits under its old key, so a look-up by its current id would miss it.
template <class Map>
bool HoldsObject(const Map& owned, const typename Map::mapped_type object) {
    return std::any_of(owned.begin(), owned.end(),
                       [object](const auto& entry) { return entry.second == object; });
}

// Takes ownership of item under key unless the key is held already; then item stays with the
// caller. Returns whether it was taken.
template <class T>
bool AdoptEntry(OwnedEntries<T>& entries, long key, std::unique_ptr<T>& item) {
    if (!entries.try_emplace(Low32(key), item.get()).second) {
        return false;
    }
    item.release();
    return true;
}

// Adds an object handed in by a caller under key unless the key or the object itself is held
// already: the collection owns the object once, however its id changed. Returns whether it was
// added.
template <class T>
bool AddUnlessHeld(OwnedEntries<T>& entries, long key, T* object) {
    if (HoldsObject(entries, object)) {
        return false;
    }
    return entries.try_emplace(Low32(key), object).second;
}

// The object at a position in key order: 0 or below gives the first, past the end null.
template <class T>
T* EntryAt(const OwnedEntries<T>& entries, int index) {
    if (index <= 0) {
        return entries.empty() ? nullptr : entries.begin()->second;
    }
    if (static_cast<std::size_t>(index) >= entries.size()) {
        return nullptr;
    }
    return std::next(entries.begin(), index)->second;
}

template <class T>
T* EntryFor(const OwnedEntries<T>& entries, long key) {
    const auto found = entries.find(Low32(key));
    return found == entries.end() ? nullptr : found->second;
}

// The order collections own their orders by pointer too. Each order records which collection
// holds it, so that telling whether an order handed in is already held takes no search.

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

}  // namespace detail
}  // namespace Lumera
