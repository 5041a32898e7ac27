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
    // A text holding "#" is a roll-over request, any other text an exact contract name.
    CLMWireAccountContract* GetWireAccountContract(const std::string& text);
    // Position in contract ID order; 0 or below gives the first entry.
    CLMWireAccountContract* GetAtIndex(int index);
    int GetNumberOfContracts();

  private:
    CLMWireAccountContract* GetBySymbol(const std::string& text);
    CLMWireAccountContract* GetByRollOver(const std::string& text);

    std::map<std::int32_t, CLMWireAccountContract*> contracts_;
};

}  // namespace Lumera
