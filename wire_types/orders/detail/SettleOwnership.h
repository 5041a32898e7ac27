#pragma once

// The one place that says which filing results leave an order event with the collection, so that
// both collections' Apply hand the object over in the caller's pointer alike.

#include <memory>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/orders/Filed.h"

namespace Lumera::detail {

// Releases (never deletes) the caller's pointer when the collection owns the object after the
// result; returns the result.
inline Filed SettleOwnership(Filed filed, std::unique_ptr<CLMWireOrder>& order) noexcept {
    switch (filed) {
        case Filed::Working:
        case Filed::FillOrCancel:
        case Filed::Stored:
        case Filed::AlreadyHeld:
            order.release();
            break;
        case Filed::RetiredOnly:
        case Filed::DuplicateId:
        case Filed::Refused:
            break;
    }
    return filed;
}

}  // namespace Lumera::detail
