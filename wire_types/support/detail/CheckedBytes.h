#pragma once

// The checks shared by every decoder that takes a buffer together with its size. A refusal
// throws before anything is changed: std::invalid_argument for a null buffer that claims bytes,
// std::length_error for too few bytes, its message naming who refused, the bytes needed and the
// bytes given.

#include <cstddef>
#include <cstdint>

namespace Lumera::detail {

// "<who>: needs <needed> bytes, given <given>"; `atLeast` adds "at least" for a lower bound
// (a text whose end is not in sight).
[[noreturn]] void ThrowTooFewBytes(const char* who, std::uint64_t needed, std::size_t given,
                                   bool atLeast = false);

// Null with a non-zero size, or fewer than `needed` bytes.
void RequireBytes(const char* who, const unsigned char* bytes, std::size_t size,
                  std::uint64_t needed);

}  // namespace Lumera::detail
