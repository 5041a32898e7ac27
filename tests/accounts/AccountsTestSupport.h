#pragma once

// Builders and probes shared by the tests of the contract and account classes.

#include <cstring>
#include <string>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/LocalClock.h"

namespace Lumera::testing {

inline void StoreText(BSTR& field, const std::u16string& units) {
    SysFreeString(field);
    field = SysAllocStringLen(units.data(), static_cast<unsigned int>(units.size()));
}

inline std::u16string Units(BSTR field) {
    return field == nullptr ? u"<null>" : std::u16string(field, SysStringLen(field));
}

// Every byte distinct and non-zero, so that a lost or shifted byte shows.
inline void FillPattern(void* block, std::size_t size, int seed) {
    for (std::size_t i = 0; i < size; ++i) {
        static_cast<unsigned char*>(block)[i] = static_cast<unsigned char>(seed + 3 * i + 1);
    }
}

inline void FillRaw(WireAccountContract& record, long contractID, const std::u16string& name) {
    FillPattern(&record, WireAccountContract::kFixedSize, static_cast<int>(contractID));
    FillPattern(&record.contract, WireContract::kFixedSize, static_cast<int>(contractID) + 50);
    record.contract.contractID = static_cast<std::int32_t>(contractID);
    StoreText(record.contract.symbol, u"S" + name);
    StoreText(record.contract.name, name);
}

// Both fixed blocks and both texts equal, the texts in strings of their own.
inline bool SameRecordOwnStrings(const WireAccountContract& a, const WireAccountContract& b) {
    return std::memcmp(&a, &b, WireAccountContract::kFixedSize) == 0 &&
           std::memcmp(&a.contract, &b.contract, WireContract::kFixedSize) == 0 &&
           Units(a.contract.symbol) == Units(b.contract.symbol) &&
           Units(a.contract.name) == Units(b.contract.name) &&
           a.contract.symbol != b.contract.symbol && a.contract.name != b.contract.name;
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
