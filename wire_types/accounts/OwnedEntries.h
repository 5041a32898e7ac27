#pragma once

// The mechanics shared by the keyed collections of owned objects: an ordered map from a key to
// an object the collection owns, positional access in key order, deep copies and destruction.

#include <cstddef>
#include <iterator>
#include <map>
#include <memory>

namespace Lumera {

template <class T>
using OwnedEntries = std::map<long, T*>;

// Destroys every object, in ascending key order, and empties the map.
template <class T>
void DestroyEntries(OwnedEntries<T>& entries) noexcept {
    for (auto& entry : entries) {
        delete entry.second;
        entry.second = nullptr;
    }
    entries.clear();
}

// A map with the same keys and a deep copy of every object. On failure nothing is kept.
template <class T>
OwnedEntries<T> CloneEntries(const OwnedEntries<T>& source) {
    OwnedEntries<T> copy;
    try {
        for (const auto& entry : source) {
            std::unique_ptr<T> item(new T(*entry.second));
            copy.emplace(entry.first, item.get());
            item.release();
        }
    } catch (...) {
        DestroyEntries(copy);
        throw;
    }
    return copy;
}

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
