#include "wire_types/support/detail/BoundedText.h"

#include <cstring>
#include <stdexcept>

namespace Lumera::detail {

void StoreBoundedText(char* field, std::size_t capacity, const std::string& value,
                      const char* fieldName) {
    std::memset(field, 0, capacity);
    // The text is the string's characters before its first NUL, as a C-string copy sees it.
    const std::size_t length = std::strlen(value.c_str());
    if (length >= capacity) {
        throw std::invalid_argument(std::string(fieldName) + ": text of " + std::to_string(length) +
                                    " characters does not fit the field's capacity of " +
                                    std::to_string(capacity) + " bytes (at most " +
                                    std::to_string(capacity - 1) + " characters)");
    }
    std::memcpy(field, value.data(), length);
}

std::string ReadBoundedText(const char* field, std::size_t capacity) {
    const void* terminator = std::memchr(field, '\0', capacity);
    const std::size_t length =
        terminator == nullptr ? capacity : static_cast<const char*>(terminator) - field;
    return std::string(field, length);
}

}  // namespace Lumera::detail
