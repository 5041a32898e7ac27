#include <cstring>
#include <utility>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

WireOrder::WireOrder() : VeyID(nullptr), ExchangeOrderNumber(nullptr), reservedText(nullptr) {
    std::memset(static_cast<void*>(this), 0, kFixedSize);
    // A new record holds 1 in all three.
    OrderStatus = osRemoved;
    OrderType = otLimit;
    Restrictions = orDay;
    TimeCreated = detail::CurrentOleDate();
    VeyID = detail::CopyWireText(nullptr);
    ExchangeOrderNumber = detail::CopyWireText(nullptr);
    reservedText = detail::CopyWireText(nullptr);
}

WireOrder::~WireOrder() {
    detail::FreeWireText(VeyID);
    detail::FreeWireText(ExchangeOrderNumber);
    detail::FreeWireText(reservedText);
}

// Exact: the texts keep their units, as the contract's copy keeps its own.
WireOrder::WireOrder(const WireOrder& other)
    : VeyID(nullptr),
      ExchangeOrderNumber(nullptr),
      reservedText(nullptr),
      Contract(other.Contract) {
    std::memcpy(static_cast<void*>(this), &other, kFixedSize);
    try {
        VeyID = detail::DuplicateWireText(other.VeyID);
        ExchangeOrderNumber = detail::DuplicateWireText(other.ExchangeOrderNumber);
        reservedText = detail::DuplicateWireText(other.reservedText);
    } catch (...) {
        detail::FreeWireText(VeyID);
        detail::FreeWireText(ExchangeOrderNumber);
        throw;
    }
}

WireOrder& WireOrder::operator=(const WireOrder& other) {
    if (this != &other) {
        // The new texts first: a failure leaves this record as it was.
        WireOrder copy(other);
        std::memcpy(static_cast<void*>(this), &other, kFixedSize);
        std::swap(VeyID, copy.VeyID);
        std::swap(ExchangeOrderNumber, copy.ExchangeOrderNumber);
        std::swap(reservedText, copy.reservedText);
        std::memcpy(static_cast<void*>(&Contract), &other.Contract, WireContract::kFixedSize);
        std::swap(Contract.symbol, copy.Contract.symbol);
        std::swap(Contract.name, copy.Contract.name);
    }
    return *this;
}

}  // namespace Lumera
