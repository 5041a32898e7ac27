#pragma once

// The account contracts of one account, keyed and ordered by contract ID, found by ID, by
// position, by contract name or by a roll-over request ("ES#": the nearest month held).

#include <cstdint>
#include <map>
#include <string>

#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/accounts/WireArray.h"
#include "wire_types/support/Export.h"

namespace Lumera {

class LMWIRE_API CLMWireAccountContractCollection {
  public:
    CLMWireAccountContractCollection();
    // Copies each record in index order; of records sharing a contract ID the first stays.
    // Throws std::invalid_argument for a null array.
    CLMWireAccountContractCollection(WireArray<WireAccountContract>* records);
    // Deep: the same keys, with copies of their own of every account contract.
    CLMWireAccountContractCollection(const CLMWireAccountContractCollection& other);
    CLMWireAccountContractCollection& operator=(const CLMWireAccountContractCollection& other);
    virtual ~CLMWireAccountContractCollection();

    // Keyed by the contract object's ID. The collection takes ownership unless the key is held
    // already, in which case the argument stays with the caller; an account contract the
    // collection holds already (whatever its ID now) is not stored again. Throws
    // std::invalid_argument for null.
    void AddAccountContract(CLMWireAccountContract* accountContract);
    CLMWireAccountContract* GetWireAccountContract(long contractID);
    // A text holding "#" is a roll-over request, any other text an exact contract name. The
    // roll-over request is answered at the local date, as the overload below answers it.
    CLMWireAccountContract* GetWireAccountContract(const std::string& text);
    // The same look-up with the current date given: `year` as 2026, `month` 1 (January) to 12.
    // A roll-over request ("ES#": the root before the first "#", anything after it ignored)
    // tries the root with each month code from `month` to December of `year` and the year's
    // digit (its last decimal digit from 2000 on), and returns the first contract so named;
    // the search never goes on into the next year. A month outside 1 to 12 finds nothing,
    // whatever the request. Reads no clock.
    CLMWireAccountContract* GetWireAccountContract(const std::string& request, int year, int month);
    // Position in contract ID order; 0 or below gives the first entry.
    CLMWireAccountContract* GetAtIndex(int index);
    int GetNumberOfContracts();

  private:
    CLMWireAccountContract* GetBySymbol(const std::string& text);
    // The roll-over look-up at the local date.
    CLMWireAccountContract* GetByRollOver(const std::string& text);

    std::map<std::int32_t, CLMWireAccountContract*> contracts_;
};

}  // namespace Lumera
