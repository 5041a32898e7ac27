#include "wire_types/accounts/CLMWireContract.h"

#include <cstring>

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

WireContract::WireContract(const WireContract& other) : WireContract() {
    *this = other;
}

WireContract& WireContract::operator=(const WireContract& other) {
    if (this != &other) {
        std::memcpy(static_cast<void*>(this), &other, kFixedSize);
        detail::FreeWireText(symbol);
        symbol = detail::CopyWireText(other.symbol);
        detail::FreeWireText(name);
        name = detail::CopyWireText(other.name);
    }
    return *this;
}

}  // namespace Lumera
