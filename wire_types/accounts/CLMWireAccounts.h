#pragma once

// The accounts a client sees, keyed and ordered by account ID.

#include <cstdint>
#include <map>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/WireArray.h"
#include "wire_types/support/Export.h"

namespace Lumera {

class LMWIRE_API CLMWireAccounts {
  public:
    CLMWireAccounts();
    // Copies each raw account in index order; of accounts sharing an ID the first stays.
    // Throws std::invalid_argument for a null array.
    CLMWireAccounts(WireArray<WireAccount>* records);
    // Deep: the same keys, with copies of their own of every account.
    CLMWireAccounts(const CLMWireAccounts& other);
    CLMWireAccounts& operator=(const CLMWireAccounts& other);
    virtual ~CLMWireAccounts();

    // Keyed by the account's ID. The collection takes ownership unless the key is held already,
    // in which case the argument stays with the caller; an account the collection holds already
    // (whatever its ID now) is not stored again. Throws std::invalid_argument for null.
    void AddAccount(CLMWireAccount* account);
    CLMWireAccount* getAccount(long accountID);
    // Position in account ID order; 0 or below gives the first account.
    CLMWireAccount* GetAtIndex(int index);
    int GetNumberOfAccounts();
    // Destroys every account; the collection stays usable.
    void RemoveAll();

  private:
    std::map<std::int32_t, CLMWireAccount*> accounts_;
};

}  // namespace Lumera
