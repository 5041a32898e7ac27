#include "wire_types/accounts/CLMWireAccountContractCollection.h"

#include <cstdint>
#include <memory>
#include <stdexcept>

#include "wire_types/accounts/detail/LocalClock.h"
#include "wire_types/support/detail/OwnedPointers.h"

namespace Lumera {

namespace {

constexpr char kMonthCodes[] = "FGHJKMNQUVXZ";

// The digit the contract names carry for `year`: its last decimal digit from 2000 on. Computed
// wide, so that no int year overflows.
std::int64_t YearDigit(int year) {
    std::int64_t digit = static_cast<std::int64_t>(year) - 2000;
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
            detail::AdoptEntry(contracts_, record.contract.contractID, item);
        }
    } catch (...) {
        detail::DeleteOwned(contracts_);
        throw;
    }
}

CLMWireAccountContractCollection::CLMWireAccountContractCollection(
    const CLMWireAccountContractCollection& other)
    : contracts_(detail::CloneOwned(other.contracts_)) {}

CLMWireAccountContractCollection& CLMWireAccountContractCollection::operator=(
    const CLMWireAccountContractCollection& other) {
    if (this != &other) {
        auto copy = detail::CloneOwned(other.contracts_);
        detail::DeleteOwned(contracts_);
        contracts_.swap(copy);
    }
    return *this;
}

CLMWireAccountContractCollection::~CLMWireAccountContractCollection() {
    detail::DeleteOwned(contracts_);
}

void CLMWireAccountContractCollection::AddAccountContract(CLMWireAccountContract* accountContract) {
    if (accountContract == nullptr) {
        throw std::invalid_argument("AddAccountContract: null account contract");
    }
    detail::AddUnlessHeld(contracts_, accountContract->getWireContract()->getContractID(),
                          accountContract);
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetWireAccountContract(long contractID) {
    return detail::EntryFor(contracts_, contractID);
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetWireAccountContract(
    const std::string& text) {
    if (text.find('#') != std::string::npos) {
        return GetByRollOver(text);
    }
    return GetBySymbol(text);
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetAtIndex(int index) {
    return detail::EntryAt(contracts_, index);
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

CLMWireAccountContract* CLMWireAccountContractCollection::GetWireAccountContract(
    const std::string& request, int year, int month) {
    if (month < 1 || month > 12) {
        return nullptr;
    }
    const std::size_t hash = request.find('#');
    if (hash == std::string::npos) {
        return GetBySymbol(request);
    }
    // Root, month code, year digit; only the code changes from one candidate to the next.
    std::string candidate = request.substr(0, hash);
    candidate += ' ';
    candidate += std::to_string(YearDigit(year));
    char& code = candidate[hash];
    // Tries each month from the given one to December of the given year only; a request made in
    // December therefore never reaches the next year's contracts.
    for (int index = month - 1; index <= 11; ++index) {
        code = kMonthCodes[index];
        CLMWireAccountContract* found = GetBySymbol(candidate);
        if (found != nullptr) {
            return found;
        }
    }
    return nullptr;
}

CLMWireAccountContract* CLMWireAccountContractCollection::GetByRollOver(const std::string& text) {
    const detail::LocalYearMonth today = detail::CurrentLocalYearMonth();
    return GetWireAccountContract(text, today.year, today.month);
}

}  // namespace Lumera
