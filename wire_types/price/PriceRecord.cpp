#include "wire_types/price/PriceRecord.h"

#include <stdexcept>
#include <string>

#include "wire_types/support/detail/CheckedBytes.h"

namespace Lumera {

void detail::ThrowLevelOutside(const char* side, int level) {
    throw std::out_of_range(std::string("PriceRecordBuilder: ") + side + " level " +
                            std::to_string(level) + " is outside 0..9");
}

void detail::ThrowOutOfReach(const char* side, int level, std::int32_t price, std::int32_t last) {
    throw std::out_of_range(std::string("PriceRecordBuilder: ") + side + " level " +
                            std::to_string(level) + " price " + std::to_string(price) +
                            " is out of reach of the last price " + std::to_string(last) +
                            " (offsets -128..127)");
}

PriceRecordView PriceRecordView::Checked(const unsigned char* bytes, std::size_t size) {
    detail::RequireBytes("PriceRecordView", bytes, size, kSize);
    return PriceRecordView(bytes);
}

}  // namespace Lumera
