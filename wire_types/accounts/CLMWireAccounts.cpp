#include "wire_types/accounts/CLMWireAccounts.h"

#include <memory>
#include <stdexcept>

#include "wire_types/support/OwnedPointers.h"

namespace Lumera {

CLMWireAccounts::CLMWireAccounts() = default;

CLMWireAccounts::CLMWireAccounts(WireArray<WireAccount>* records) {
    if (records == nullptr) {
        throw std::invalid_argument("CLMWireAccounts: null WireArray");
    }
    try {
        for (auto& record : *records) {
            std::unique_ptr<CLMWireAccount> item(new CLMWireAccount(&record));
            AdoptEntry(accounts_, record.accountID, item);
        }
    } catch (...) {
        DeleteOwned(accounts_);
        throw;
    }
}

CLMWireAccounts::CLMWireAccounts(const CLMWireAccounts& other)
    : accounts_(CloneOwned(other.accounts_)) {}

CLMWireAccounts& CLMWireAccounts::operator=(const CLMWireAccounts& other) {
    if (this != &other) {
        auto copy = CloneOwned(other.accounts_);
        DeleteOwned(accounts_);
        accounts_.swap(copy);
    }
    return *this;
}

CLMWireAccounts::~CLMWireAccounts() {
    RemoveAll();
}

void CLMWireAccounts::AddAccount(CLMWireAccount* account) {
    if (account == nullptr) {
        throw std::invalid_argument("AddAccount: null account");
    }
    AddUnlessHeld(accounts_, account->getAccountID(), account);
}

CLMWireAccount* CLMWireAccounts::getAccount(long accountID) {
    return EntryFor(accounts_, accountID);
}

CLMWireAccount* CLMWireAccounts::GetAtIndex(int index) {
    return EntryAt(accounts_, index);
}

int CLMWireAccounts::GetNumberOfAccounts() {
    return static_cast<int>(accounts_.size());
}

void CLMWireAccounts::RemoveAll() {
    DeleteOwned(accounts_);
}

}  // namespace Lumera
