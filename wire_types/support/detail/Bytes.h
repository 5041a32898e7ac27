#pragma once

// INTERNAL: not part of the API. Nothing here is documented or kept stable, and it may change or
// go in any release; include the public headers instead.
//
// Little-endian integers in byte buffers, the one way the library reads and writes them, and the
// byte buffers the public factories accept besides unsigned char. Installed with the public
// headers only because inline members of the price record's view and builder and the packets'
// buffer overloads use it.

#include <bit>
#include <cstddef>
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

// The other buffers users hold bytes in. A template parameter deduced from the argument, rather
// than plain overloads, so that only a char or std::byte pointer selects them: a literal 0, NULL
// or nullptr cannot be deduced and still reaches the unsigned char overload, as before they
// existed.
template <class Byte>
using IfOtherByte =
    std::enable_if_t<std::is_same_v<Byte, char> || std::is_same_v<Byte, std::byte>, int>;

template <class Byte>
const unsigned char* AsUnsignedBytes(const Byte* bytes) noexcept {
    return reinterpret_cast<const unsigned char*>(bytes);
}

}  // namespace Lumera::detail
