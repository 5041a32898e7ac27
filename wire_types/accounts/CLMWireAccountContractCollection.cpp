#include "wire_types/accounts/CLMWireAccountContractCollection.h"

#include <memory>
#include <stdexcept>

#include "wire_types/accounts/LocalClock.h"
#include "wire_types/support/OwnedPointers.h"

namespace Lumera {

namespace {

constexpr char kMonthCodes[] = "FGHJKMNQUVXZ";

int YearDigit(int year) {
    int digit = year - 2000;
    if (digit > 9) {
        digit = (digit - 10) % 10;
    }
    return digit;
}

}  // namespace

CLMWireAccountContractCollection::CLMWireAccountContractCollection() = default;

CLMWireAccountContractCollection::CLMWireAccountContractCollection(
    WireArray<WireAccountContract>* records) {
    if (records == nullptr) {
        throw std::invalid_argument("CLMWireAccountContractCollection: null WireArray");
    }
    try {
        for (auto& record : *records) {
            std::unique_ptr<CLMWireAccountContract> item(new CLMWireAccountContract(&record));
            AdoptEntry(contracts_, record.contract.contractID, item);
        }
    } catch (...) {
        DeleteOwned(contracts_);
        throw;
    }
}

CLMWireAccountContractCollection::CLMWireAccountContractCollection(
    const CLMWireAccountContractCollection& other)
    : contracts_(CloneOwned(other.contracts_)) {}

CLMWireAccountContractCollection& CLMWireAccountContractCollection::operator=(
    const CLMWireAccountContractCollection& other) {
    if (this != &other) {
        auto copy = CloneOwned(other.contracts_);
        DeleteOwned(contracts_);
        contracts_.swap(copy);
    }
    return *this;
}

CLMWireAccountContractCollection::~CLMWireAccountContractCollection() {
    DeleteOwned(contracts_);
}

void CLMWireAccountContractCollection::AddAccountContract(CLMWireAccountContract* accountContract) {
    if (accountContract == nullptr) {
        throw std::invalid_argument("AddAccountContract: null account contract");
    }
    AddUnlessHeld(contracts_, accountContract->getWireContract()->getContractID(), accountContract);
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetWireAccountContract(long contractID) {
    return EntryFor(contracts_, contractID);
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetWireAccountContract(
    const std::string& text) {
    if (text.find('#') != std::string::npos) {
        return GetByRollOver(text);
    }
    return GetBySymbol(text);
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetAtIndex(int index) {
    return EntryAt(contracts_, index);
}

int CLMWireAccountContractCollection::GetNumberOfContracts() {
    return static_cast<int>(contracts_.size());
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetBySymbol(const std::string& text) {
    for (const auto& entry : contracts_) {
        if (entry.second->getWireContract()->getName() == text) {
            return entry.second;
        }
    }
    return nullptr;
}

// Tries each month from the current one to December of the current year only; a request made in
// December therefore never reaches the next year's contracts.
CLMWireAccountContract* CLMWireAccountContractCollection::GetByRollOver(const std::string& text) {
    const std::string root = text.substr(0, text.find('#'));
    const LocalYearMonth now = CurrentLocalYearMonth();
    const std::string year = std::to_string(YearDigit(now.year));
    for (int month = now.month; month <= 11; ++month) {
        CLMWireAccountContract* found = GetBySymbol(root + kMonthCodes[month] + year);
        if (found != nullptr) {
            return found;
        }
    }
    return nullptr;
}

}  // namespace Lumera
