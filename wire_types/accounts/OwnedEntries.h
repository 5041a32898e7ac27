#pragma once

// The keyed collections of owned objects: an ordered map from a key to an object the collection
// owns, adoption of new entries and access by key or by position in key order.

#include <cstddef>
#include <iterator>
#include <map>
#include <memory>

#include "wire_types/support/OwnedPointers.h"

namespace Lumera {

template <class T>
using OwnedEntries = std::map<long, T*>;

// Takes ownership of item under key unless the key is held already; then item stays with the
// caller. Returns whether it was taken.
template <class T>
bool AdoptEntry(OwnedEntries<T>& entries, long key, std::unique_ptr<T>& item) {
    if (!entries.try_emplace(key, item.get()).second) {
        return false;
    }
    item.release();
    return true;
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
    const auto found = entries.find(key);
    return found == entries.end() ? nullptr : found->second;
}

}  // namespace Lumera
