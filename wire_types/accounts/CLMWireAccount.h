#pragma once

// The account: the raw record WireAccount (identifier, name, raw account contracts) and
// CLMWireAccount, which owns a copy of one and a collection of account contracts built from it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/accounts/CLMWireAccountContractCollection.h"
#include "wire_types/accounts/WireArray.h"
#include "wire_types/support/Export.h"
#include "wire_types/support/FieldTables.h"
#include "wire_types/support/Platform.h"

namespace Lumera {

// The flat form of a WireAccount: the identifier (its whole fixed block), the name, then the
// account contracts as a signed 32-bit count and each one's flat form. kFields lists them (see
// FieldTables.h).
struct WireAccountLayout {
    static constexpr std::size_t kFixedSize = 4;
    static constexpr std::size_t kAccountID = 0;  // signed 32-bit
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("AccountID", kAccountID), detail::FlatTextField("Name"),
        detail::RecordField("AccountContractCollection", WireAccountContractLayout::kFields,
                            FieldKind::Records)};
    static constexpr FieldTable kFields = detail::Table("WireAccount", kFixedSize, kFieldList);
};
static_assert(detail::Tiles(WireAccountLayout::kFields));

struct LMWIRE_API WireAccount {
    std::int32_t accountID;
    BSTR name;
    WireArray<WireAccountContract> contracts;

    // Identifier 0, a new empty name, no account contracts.
    WireAccount();
    ~WireAccount();
    // Texts as new strings of their own, account contracts copied one by one. Throws
    // _com_error(E_OUTOFMEMORY) when a text cannot be allocated; an assignment that throws leaves
    // the record as it was.
    WireAccount(const WireAccount& other);
    WireAccount& operator=(const WireAccount& other);

    template <class Visitor>
    void VisitFlatForm(Visitor& visitor) {
        visitor.Block(&accountID, sizeof accountID);
        visitor.Text(name);
        visitor.Array(contracts);
    }
};

static_assert(offsetof(WireAccount, accountID) == WireAccountLayout::kAccountID &&
              sizeof(WireAccount::accountID) == WireAccountLayout::kFixedSize);

class LMWIRE_API CLMWireAccount {
  public:
    // An account with that identifier, an empty name and no account contracts.
    CLMWireAccount(long accountID);
    // Copies source (never kept nor changed) into its own record and builds the collection from
    // source's account contracts. Throws std::invalid_argument for a null source.
    CLMWireAccount(WireAccount* source);
    // Deep: a record and a collection of its own.
    CLMWireAccount(const CLMWireAccount& other);
    CLMWireAccount& operator=(const CLMWireAccount& other);
    virtual ~CLMWireAccount();

    long getAccountID();
    // Does not re-key the account in a CLMWireAccounts holding it.
    void setAccountID(long accountID);
    std::string getName();
    void setName(const std::string& name);

    // The owned record; its account contracts and the collection's are independent copies.
    WireAccount* getWireAccount();
    // The owned collection; the caller must not delete it.
    CLMWireAccountContractCollection* GetAccountContractCollection();

  private:
    WireAccount* record_;
    CLMWireAccountContractCollection* contracts_;
};

}  // namespace Lumera
