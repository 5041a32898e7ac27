#include "wire_types/accounts/CLMWireContract.h"

#include <cstring>
#include <utility>

#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

WireContract::WireContract() : symbol(nullptr), name(nullptr) {
    std::memset(static_cast<void*>(this), 0, kFixedSize);
    symbol = detail::CopyWireText(nullptr);
    name = detail::CopyWireText(nullptr);
}

WireContract::~WireContract() {
    detail::FreeWireText(symbol);
    detail::FreeWireText(name);
}

WireContract::WireContract(const WireContract& other) : symbol(nullptr), name(nullptr) {
    std::memcpy(static_cast<void*>(this), &other, kFixedSize);
    symbol = detail::DuplicateWireText(other.symbol);
    try {
        name = detail::DuplicateWireText(other.name);
    } catch (...) {
        detail::FreeWireText(symbol);
        throw;
    }
}

WireContract& WireContract::operator=(const WireContract& other) {
    if (this != &other) {
        // The new texts first: a failure leaves this record as it was.
        WireContract copy(other);
        std::memcpy(static_cast<void*>(this), &other, kFixedSize);
        std::swap(symbol, copy.symbol);
        std::swap(name, copy.name);
    }
    return *this;
}

}  // namespace Lumera
