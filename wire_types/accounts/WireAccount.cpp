#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/support/WireStrings.h"

namespace Lumera {

WireAccount::WireAccount() : accountID(0), name(CopyWireText(nullptr)), contracts() {}

WireAccount::~WireAccount() {
    FreeWireText(name);
}

WireAccount::WireAccount(const WireAccount& other) : WireAccount() {
    *this = other;
}

WireAccount& WireAccount::operator=(const WireAccount& other) {
    if (this != &other) {
        accountID = other.accountID;
        FreeWireText(name);
        name = CopyWireText(other.name);
        contracts = other.contracts;
    }
    return *this;
}

}  // namespace Lumera
