#pragma once

// Shared by the fuzz targets: a failed property aborts, which libFuzzer reports as a crash and
// keeps the input that caused it.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)

namespace lmwire_fuzz {

using Bytes = std::vector<unsigned char>;

// A buffer from the library's Encode, released with delete[] as its callers do.
inline Bytes Take(unsigned char* buffer, std::size_t size) {
    const std::unique_ptr<unsigned char[]> owned(buffer);
    FUZZ_CHECK(owned != nullptr);
    return Bytes(owned.get(), owned.get() + size);
}

// Bitwise, so that NaN payloads count as equal to themselves.
inline bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace lmwire_fuzz
