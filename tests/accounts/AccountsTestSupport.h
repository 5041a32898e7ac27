#pragma once

// Builders and probes shared by the tests of the contract and account classes.

#include <cstring>
#include <string>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/LocalClock.h"
#include "wire_types/support/Platform.h"

namespace Lumera::testing {

inline void StoreText(BSTR& field, const std::u16string& units) {
    SysFreeString(field);
    field = SysAllocStringLen(units.data(), static_cast<unsigned int>(units.size()));
}

inline std::u16string Units(BSTR field) {
    return field == nullptr ? std::u16string() : std::u16string(field, SysStringLen(field));
}

// Every byte of the block distinct and non-zero, so that a lost or shifted byte shows.
inline void FillPattern(void* block, std::size_t size, unsigned char seed) {
    auto* bytes = static_cast<unsigned char*>(block);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(seed + 3 * i + 1);
    }
}

inline void FillRawContract(WireContract& contract, long contractID, const std::u16string& symbol,
                            const std::u16string& name) {
    FillPattern(&contract, WireContract::kFixedSize, static_cast<unsigned char>(contractID));
    contract.contractID = static_cast<std::int32_t>(contractID);
    StoreText(contract.symbol, symbol);
    StoreText(contract.name, name);
}

inline void FillRawAccountContract(WireAccountContract& record, long contractID,
                                   const std::u16string& name) {
    FillPattern(&record, WireAccountContract::kFixedSize, static_cast<unsigned char>(contractID));
    FillRawContract(record.contract, contractID, u"S" + name, name);
}

inline bool SameBlock(const void* a, const void* b, std::size_t size) {
    return std::memcmp(a, b, size) == 0;
}

// Sets the local month seen by the roll-over look-up for the lifetime of the object.
class ScopedLocalMonth {
  public:
    ScopedLocalMonth(int year, int month) : previous_(SetLocalClock(&Now)) {
        current_ = LocalYearMonth{year, month};
    }
    ~ScopedLocalMonth() { SetLocalClock(previous_); }
    ScopedLocalMonth(const ScopedLocalMonth&) = delete;
    ScopedLocalMonth& operator=(const ScopedLocalMonth&) = delete;

  private:
    static LocalYearMonth Now() { return current_; }
    static inline LocalYearMonth current_{2000, 0};
    LocalClockFunction previous_;
};

}  // namespace Lumera::testing
