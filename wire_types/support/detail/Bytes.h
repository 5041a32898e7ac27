#pragma once

// Little-endian integers in byte buffers, the one way the library reads and writes them. Installed
// with the public headers, because the price record's inline view and builder read and write
// through it; not part of the API.

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace Lumera::detail {

// The price record's getters are inline, so this header is also read as C++17, without
// std::endian.
#if defined(__cpp_lib_endian)
static_assert(std::endian::native == std::endian::little,
              "wire forms are copied in host byte order, which must be little-endian");
#elif defined(__BYTE_ORDER__)
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__,
              "wire forms are copied in host byte order, which must be little-endian");
#endif

// The value stored at bytes, any alignment.
template <class T>
T LoadLittleEndian(const unsigned char* bytes) noexcept {
    static_assert(std::is_trivially_copyable_v<T>);
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

template <class T>
void StoreLittleEndian(unsigned char* bytes, T value) noexcept {
    static_assert(std::is_trivially_copyable_v<T>);
    std::memcpy(bytes, &value, sizeof value);
}

}  // namespace Lumera::detail
