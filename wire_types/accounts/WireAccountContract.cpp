#include <cstring>

#include "wire_types/accounts/CLMWireAccountContract.h"

namespace Lumera {

WireAccountContract::WireAccountContract() : contract() {
    std::memset(static_cast<void*>(this), 0, kFixedSize);
}

WireAccountContract::WireAccountContract(const WireAccountContract& other)
    : contract(other.contract) {
    std::memcpy(static_cast<void*>(this), &other, kFixedSize);
}

WireAccountContract& WireAccountContract::operator=(const WireAccountContract& other) {
    if (this != &other) {
        // The contract first, the one step that can fail, and as a whole: a failure leaves this
        // record as it was.
        contract = other.contract;
        std::memcpy(static_cast<void*>(this), &other, kFixedSize);
    }
    return *this;
}

}  // namespace Lumera
