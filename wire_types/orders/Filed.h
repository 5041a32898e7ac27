#pragma once

// What an order collection did with an order event handed to its Apply, and so who owns the
// object afterwards. Apply empties the caller's pointer exactly for the results that leave the
// object with the collection (Working, FillOrCancel, Stored, AlreadyHeld); for the others the
// caller still owns it.

#include "wire_types/support/Export.h"

namespace Lumera {

enum class Filed {
    // Order book: filed in the working-order map (statuses 2 and 4 are listed by
    // GetWorkingOrders; 0, 6 and any other status are filed but not listed). The book owns it.
    Working,
    // Order book: a fill (3) or a cancel (5), kept with the fills and cancels. The book owns it.
    FillOrCancel,
    // Order book: a status-1 event retired the working order it names and was not kept.
    RetiredOnly,
    // Order book: a working order whose id the book already holds under another object; that one
    // stays, this one was not kept.
    DuplicateId,
    // This very object is held by the collection already: nothing changed, and the caller's
    // pointer is released (not deleted), since the collection owned the object all along.
    AlreadyHeld,
    // A null pointer; in the completed collection also a fill (3) whose FillID is already held as
    // an order id. Nothing changed.
    Refused,
    // Completed collection: stored under its order id. The collection owns it.
    Stored,
};

}  // namespace Lumera
