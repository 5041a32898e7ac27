#include "wire_types/accounts/CLMWireAccounts.h"

#include <memory>
#include <stdexcept>

#include "wire_types/support/detail/OwnedPointers.h"

namespace Lumera {

CLMWireAccounts::CLMWireAccounts() = default;

CLMWireAccounts::CLMWireAccounts(WireArray<WireAccount>* records) {
    if (records == nullptr) {
        throw std::invalid_argument("CLMWireAccounts: null WireArray");
    }
    try {
        for (auto& record : *records) {
            std::unique_ptr<CLMWireAccount> item(new CLMWireAccount(&record));
            detail::AdoptEntry(accounts_, record.accountID, item);
        }
    } catch (...) {
        detail::DeleteOwned(accounts_);
        throw;
    }
}

CLMWireAccounts::CLMWireAccounts(const CLMWireAccounts& other)
    : accounts_(detail::CloneOwned(other.accounts_)) {}

CLMWireAccounts& CLMWireAccounts::operator=(const CLMWireAccounts& other) {
    if (this != &other) {
        auto copy = detail::CloneOwned(other.accounts_);
        detail::DeleteOwned(accounts_);
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
    detail::AddUnlessHeld(accounts_, account->getAccountID(), account);
}

CLMWireAccount* CLMWireAccounts::getAccount(long accountID) {
    return detail::EntryFor(accounts_, accountID);
}

CLMWireAccount* CLMWireAccounts::GetAtIndex(int index) {
    return detail::EntryAt(accounts_, index);
}

int CLMWireAccounts::GetNumberOfAccounts() {
    return static_cast<int>(accounts_.size());
}

void CLMWireAccounts::RemoveAll() {
    detail::DeleteOwned(accounts_);
}

}  // namespace Lumera
