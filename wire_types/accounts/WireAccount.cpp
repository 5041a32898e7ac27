#include <utility>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

WireAccount::WireAccount() : accountID(0), name(detail::CopyWireText(nullptr)), contracts() {}

WireAccount::~WireAccount() {
    detail::FreeWireText(name);
}

// The name is copied last, in the body: a failure there still destroys the copied contracts.
WireAccount::WireAccount(const WireAccount& other)
    : accountID(other.accountID), name(nullptr), contracts(other.contracts) {
    name = detail::DuplicateWireText(other.name);
}

WireAccount& WireAccount::operator=(const WireAccount& other) {
    if (this != &other) {
        // The whole copy first: a failure leaves this record as it was.
        WireAccount copy(other);
        accountID = other.accountID;
        std::swap(name, copy.name);
        contracts.swap(copy.contracts);
    }
    return *this;
}

}  // namespace Lumera
