#include <cstring>

#include "wire_types/accounts/CLMWireAccountContract.h"

namespace Lumera {

WireAccountContract::WireAccountContract() : contract() {
    std::memset(static_cast<void*>(this), 0, kFixedSize);
}

WireAccountContract::WireAccountContract(const WireAccountContract& other) : WireAccountContract() {
    *this = other;
}

WireAccountContract& WireAccountContract::operator=(const WireAccountContract& other) {
    if (this != &other) {
        std::memcpy(static_cast<void*>(this), &other, kFixedSize);
        contract = other.contract;
    }
    return *this;
}

}  // namespace Lumera
