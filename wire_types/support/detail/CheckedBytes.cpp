#include "wire_types/support/detail/CheckedBytes.h"

#include <stdexcept>
#include <string>

namespace Lumera::detail {

void ThrowTooFewBytes(const char* who, std::uint64_t needed, std::size_t given, bool atLeast) {
    throw std::length_error(std::string(who) + ": needs " + (atLeast ? "at least " : "") +
                            std::to_string(needed) + " bytes, given " + std::to_string(given));
}

void RequireBytes(const char* who, const unsigned char* bytes, std::size_t size,
                  std::uint64_t needed) {
    if (bytes == nullptr && size != 0) {
        throw std::invalid_argument(std::string(who) + ": null buffer of " + std::to_string(size) +
                                    " bytes");
    }
    if (size < needed) {
        ThrowTooFewBytes(who, needed, size);
    }
}

}  // namespace Lumera::detail
