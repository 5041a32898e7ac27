#include "wire_types/accounts/CLMWireContract.h"

#include <cstring>

#include "wire_types/support/WireStrings.h"

namespace Lumera {

WireContract::WireContract() : symbol(nullptr), name(nullptr) {
    std::memset(static_cast<void*>(this), 0, kFixedSize);
    symbol = CopyWireText(nullptr);
    name = CopyWireText(nullptr);
}

WireContract::~WireContract() {
    FreeWireText(symbol);
    FreeWireText(name);
}

WireContract::WireContract(const WireContract& other) : WireContract() {
    *this = other;
}

WireContract& WireContract::operator=(const WireContract& other) {
    if (this != &other) {
        std::memcpy(static_cast<void*>(this), &other, kFixedSize);
        FreeWireText(symbol);
        symbol = CopyWireText(other.symbol);
        FreeWireText(name);
        name = CopyWireText(other.name);
    }
    return *this;
}

}  // namespace Lumera
