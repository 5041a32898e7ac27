#pragma once

// Arguments of type long beyond 32 bits, which exist only where long is wider than the 32 bits
// of the original target. Checks that a value counts by its low 32 bits hold trivially on a
// 32-bit build; checks that need the high bits run only where they exist.

#include <cstdint>

namespace lmwire_test {

inline constexpr bool kLongHasHighBits = sizeof(long) > 4;

// low + 2^32 where a long holds it, low itself elsewhere.
constexpr long WithBit32(long low) {
    return kLongHasHighBits ? static_cast<long>(low + (std::int64_t{1} << 32)) : low;
}

}  // namespace lmwire_test
