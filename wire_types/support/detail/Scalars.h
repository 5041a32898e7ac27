#pragma once

// The 32-bit view of a `long` argument, and digits without a locale.

#include <cstdint>

namespace Lumera::detail {

// Fields are 32-bit; a wider argument keeps its low 32 bits (modular since C++20, and on every
// supported compiler before).
constexpr std::int32_t Low32(long value) noexcept {
    return static_cast<std::int32_t>(value);
}

// Decimal digit, independent of the locale.
constexpr bool IsDigit(char c) noexcept {
    return c >= '0' && c <= '9';
}

}  // namespace Lumera::detail
