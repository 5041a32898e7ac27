#pragma once

#include <memory>
#include <vector>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/orders/Filed.h"

namespace Lumera::testing {

// An order event; qty tags the event so that tests can tell which object a collection holds.
inline std::unique_ptr<CLMWireOrder> MakeOrder(int status, long orderID, long originalID = 0,
                                               long qty = 0) {
    auto order = std::make_unique<CLMWireOrder>();
    order->setOrderStatus(static_cast<enumOrderStatus>(status));
    order->setOrderID(orderID);
    order->setOriginalOrderID(originalID);
    order->setQty(qty);
    return order;
}

// One field of each order, by default the qty that tags each event.
inline std::vector<long> Qtys(const std::vector<CLMWireOrder*>& orders,
                              long (CLMWireOrder::*field)() const = &CLMWireOrder::getQty) {
    std::vector<long> values;
    for (CLMWireOrder* order : orders) {
        values.push_back((order->*field)());
    }
    return values;
}

// Whether the collection owns the event after filing it.
inline bool Owns(Filed filed) {
    return filed == Filed::Working || filed == Filed::FillOrCancel || filed == Filed::Stored ||
           filed == Filed::AlreadyHeld;
}

}  // namespace Lumera::testing
