#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "OleText.h"
#include "wire_types/accounts/CLMWireAccount.h"

namespace Lumera::testing {

inline void StoreText(BSTR& field, const OleString& units) {
    SysFreeString(field);
    field = SysAllocStringLen(units.data(), static_cast<unsigned int>(units.size()));
}

inline OleString Units(BSTR field) {
    return field == nullptr ? OLESTR("<null>") : OleString(field, SysStringLen(field));
}

// Every byte distinct and non-zero, so that a lost or shifted byte shows.
inline void FillPattern(void* block, std::size_t size, int seed) {
    for (std::size_t i = 0; i < size; ++i) {
        static_cast<unsigned char*>(block)[i] = static_cast<unsigned char>(seed + 3 * i + 1);
    }
}

inline void FillRaw(WireAccountContract& record, long contractID, const OleString& name) {
    FillPattern(&record, WireAccountContract::kFixedSize, static_cast<int>(contractID));
    FillPattern(&record.contract, WireContract::kFixedSize, static_cast<int>(contractID) + 50);
    record.contract.contractID = static_cast<std::int32_t>(contractID);
    StoreText(record.contract.symbol, OLESTR("S") + name);
    StoreText(record.contract.name, name);
}

inline WireArray<WireAccountContract> RawContracts(
    const std::vector<std::pair<long, OleString>>& entries) {
    WireArray<WireAccountContract> records(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        FillRaw(records[i], entries[i].first, entries[i].second);
    }
    return records;
}

inline std::string NameOf(CLMWireAccountContract* held) {
    return held == nullptr ? "<none>" : held->getWireContract()->getName();
}

// Both fixed blocks and both texts equal, the texts in strings of their own.
inline bool SameRecordOwnStrings(const WireAccountContract& a, const WireAccountContract& b) {
    return std::memcmp(&a, &b, WireAccountContract::kFixedSize) == 0 &&
           std::memcmp(&a.contract, &b.contract, WireContract::kFixedSize) == 0 &&
           Units(a.contract.symbol) == Units(b.contract.symbol) &&
           Units(a.contract.name) == Units(b.contract.name) &&
           a.contract.symbol != b.contract.symbol && a.contract.name != b.contract.name;
}

}  // namespace Lumera::testing
