#include "wire_types/accounts/CLMWireAccount.h"

#include <memory>
#include <stdexcept>
#include <utility>

#include "wire_types/support/detail/FlatForm.h"
#include "wire_types/support/detail/Scalars.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

CLMWireAccount::CLMWireAccount(long accountID) : record_(nullptr), contracts_(nullptr) {
    auto record = std::make_unique<WireAccount>();
    record->accountID = detail::Low32(accountID);
    contracts_ = new CLMWireAccountContractCollection();
    record_ = record.release();
}

CLMWireAccount::CLMWireAccount(WireAccount* source) : record_(nullptr), contracts_(nullptr) {
    if (source == nullptr) {
        throw std::invalid_argument("CLMWireAccount: null WireAccount");
    }
    auto record = std::make_unique<WireAccount>();
    detail::CopyThroughFlatForm(*source, *record);
    contracts_ = new CLMWireAccountContractCollection(&source->contracts);
    record_ = record.release();
}

CLMWireAccount::CLMWireAccount(const CLMWireAccount& other)
    : record_(nullptr), contracts_(nullptr) {
    auto record = std::make_unique<WireAccount>(*other.record_);
    contracts_ = new CLMWireAccountContractCollection(*other.contracts_);
    record_ = record.release();
}

CLMWireAccount& CLMWireAccount::operator=(const CLMWireAccount& other) {
    if (this != &other) {
        CLMWireAccount copy(other);
        std::swap(record_, copy.record_);
        std::swap(contracts_, copy.contracts_);
    }
    return *this;
}

CLMWireAccount::~CLMWireAccount() {
    delete contracts_;
    contracts_ = nullptr;
    delete record_;
    record_ = nullptr;
}

long CLMWireAccount::getAccountID() {
    return record_->accountID;
}
void CLMWireAccount::setAccountID(long accountID) {
    record_->accountID = detail::Low32(accountID);
}

std::string CLMWireAccount::getName() {
    return detail::GetWireText(record_->name);
}
void CLMWireAccount::setName(const std::string& name) {
    detail::SetWireText(record_->name, name);
}

WireAccount* CLMWireAccount::getWireAccount() {
    return record_;
}

CLMWireAccountContractCollection* CLMWireAccount::GetAccountContractCollection() {
    return contracts_;
}

}  // namespace Lumera
