#pragma once

// The array through which callers hand over raw records: an owning, contiguous, growable array
// with the interface and semantics of std::vector. Elements are copied with the record's own copy
// semantics (fixed blocks byte for byte, texts as new strings of their own).

#include <vector>

#include "wire_types/support/Export.h"

namespace Lumera {

template <class T>
class WireArray : public std::vector<T> {
  public:
    using std::vector<T>::vector;
};

}  // namespace Lumera
