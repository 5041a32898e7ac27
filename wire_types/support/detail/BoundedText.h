#pragma once

// Fixed-capacity text fields of packets: a NUL-terminated narrow string in a char array of N
// bytes, so at most N-1 characters.

#include <cstddef>
#include <string>

namespace Lumera::detail {

// Stores value and a terminator, zeroing the rest of the field so that no earlier text lingers
// on the wire. A value of capacity or more characters is refused: the field is left empty and
// std::invalid_argument names fieldName and the capacity.
void StoreBoundedText(char* field, std::size_t capacity, const std::string& value,
                      const char* fieldName);

// The characters before the first NUL, or all capacity bytes when foreign bytes hold none.
std::string ReadBoundedText(const char* field, std::size_t capacity);

template <std::size_t N>
void StoreBoundedText(char (&field)[N], const std::string& value, const char* fieldName) {
    StoreBoundedText(field, N, value, fieldName);
}

template <std::size_t N>
std::string ReadBoundedText(const char (&field)[N]) {
    return ReadBoundedText(field, N);
}

}  // namespace Lumera::detail
