#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

WireAccount::WireAccount() : accountID(0), name(detail::CopyWireText(nullptr)), contracts() {}

WireAccount::~WireAccount() {
    detail::FreeWireText(name);
}

WireAccount::WireAccount(const WireAccount& other) : WireAccount() {
    *this = other;
}

WireAccount& WireAccount::operator=(const WireAccount& other) {
    if (this != &other) {
        accountID = other.accountID;
        detail::FreeWireText(name);
        name = detail::CopyWireText(other.name);
        contracts = other.contracts;
    }
    return *this;
}

}  // namespace Lumera
