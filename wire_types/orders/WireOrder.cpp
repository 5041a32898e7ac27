#include <cstring>

#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/support/FlatForm.h"
#include "wire_types/support/WireStrings.h"

namespace Lumera {

namespace {
constexpr std::int32_t kInitialStatus = 1;
}

WireOrder::WireOrder() : VeyID(nullptr), ExchangeOrderNumber(nullptr), reservedText(nullptr) {
    std::memset(static_cast<void*>(this), 0, kFixedSize);
    OrderStatus = static_cast<enumOrderStatus>(kInitialStatus);
    OrderType = static_cast<enumOrderTypes>(kInitialStatus);
    Restrictions = static_cast<enumOrderRestrictions>(kInitialStatus);
    TimeCreated = CurrentOleDate();
    VeyID = CopyWireText(nullptr);
    ExchangeOrderNumber = CopyWireText(nullptr);
    reservedText = CopyWireText(nullptr);
}

WireOrder::~WireOrder() {
    FreeWireText(VeyID);
    FreeWireText(ExchangeOrderNumber);
    FreeWireText(reservedText);
}

WireOrder::WireOrder(const WireOrder& other) : WireOrder() {
    *this = other;
}

WireOrder& WireOrder::operator=(const WireOrder& other) {
    if (this != &other) {
        // Writing the flat form only reads the source.
        CopyThroughFlatForm(const_cast<WireOrder&>(other), *this);
    }
    return *this;
}

}  // namespace Lumera
