#pragma once

// Shared by the fuzz targets: a failed property aborts, which libFuzzer reports as a crash and
// keeps the input that caused it.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
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

// Little-endian loads assembled byte by byte, so that an oracle reads the wire without the
// library's helpers or the host's byte order.
inline std::uint16_t U16At(const unsigned char* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
inline std::uint32_t U32At(const unsigned char* p) {
    return std::uint32_t{p[0]} | (std::uint32_t{p[1]} << 8) | (std::uint32_t{p[2]} << 16) |
           (std::uint32_t{p[3]} << 24);
}
inline std::int16_t I16At(const unsigned char* p) {
    return static_cast<std::int16_t>(U16At(p));
}
inline std::int32_t I32At(const unsigned char* p) {
    return static_cast<std::int32_t>(U32At(p));
}
inline double F64At(const unsigned char* p) {
    return std::bit_cast<double>(std::uint64_t{U32At(p)} | (std::uint64_t{U32At(p + 4)} << 32));
}
inline void PutU32(unsigned char* p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        p[i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

// A fixed-capacity text field as a receiver reads it: the bytes before the first NUL, or all of
// them when the sender left no NUL.
inline std::string TextAt(const unsigned char* p, std::size_t capacity) {
    std::size_t length = 0;
    while (length < capacity && p[length] != 0) {
        ++length;
    }
    return std::string(reinterpret_cast<const char*>(p), length);
}

enum class Outcome { kAccepted, kTooShort, kInvalidArgument };

// Which of the checked decoders' two refusals a call ends in; any other exception escapes and
// fails the run.
template <class Call>
Outcome Attempt(Call&& call) {
    try {
        call();
    } catch (const std::invalid_argument&) {
        return Outcome::kInvalidArgument;
    } catch (const std::length_error&) {
        return Outcome::kTooShort;
    }
    return Outcome::kAccepted;
}

// A null buffer given to a checked decoder: one that claims bytes is an invalid argument; one of
// zero bytes is simply too short, since every form checked here needs at least one byte. The
// caller compares the object's state afterwards.
template <class Decode>
void CheckNullBuffer(Decode&& decode, std::size_t size) {
    const Outcome outcome = Attempt([&] { decode(nullptr, size); });
    FUZZ_CHECK(outcome == (size != 0 ? Outcome::kInvalidArgument : Outcome::kTooShort));
}

}  // namespace lmwire_fuzz
