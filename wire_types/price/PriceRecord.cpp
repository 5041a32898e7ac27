#include "wire_types/price/PriceRecord.h"

#include <stdexcept>
#include <string>

#include "wire_types/support/detail/CheckedBytes.h"

namespace Lumera {

void detail::ThrowLevelOutside(const char* side, int level) {
    throw std::out_of_range(std::string("PriceRecordBuilder: ") + side + " level " +
                            std::to_string(level) + " is outside 0..9");
}

namespace {

std::string OutOfReachText(PriceOutOfReach::BookSide side, int level, std::int32_t price,
                           std::int32_t last) {
    return std::string("PriceRecordBuilder: ") +
           (side == PriceOutOfReach::BookSide::Bid ? "bid" : "ask") + " level " +
           std::to_string(level) + " price " + std::to_string(price) +
           " is out of reach of the last price " + std::to_string(last) + " (offsets -128..127)";
}

}  // namespace

PriceOutOfReach::PriceOutOfReach(BookSide side, int level, std::int32_t price,
                                 std::int32_t lastPrice)
    : std::out_of_range(OutOfReachText(side, level, price, lastPrice)),
      side_(side),
      level_(level),
      price_(price),
      lastPrice_(lastPrice) {}

// Out of line, so that the vtable and type information live once, in the library.
PriceOutOfReach::~PriceOutOfReach() = default;

// Inline code compiled against earlier headers passes the side as "bid" or "ask".
void detail::ThrowOutOfReach(const char* side, int level, std::int32_t price, std::int32_t last) {
    throw PriceOutOfReach(
        side[0] == 'b' ? PriceOutOfReach::BookSide::Bid : PriceOutOfReach::BookSide::Ask, level,
        price, last);
}

PriceRecordView PriceRecordView::Checked(const unsigned char* bytes, std::size_t size) {
    detail::RequireBytes("PriceRecordView", bytes, size, kSize);
    return PriceRecordView(bytes);
}

}  // namespace Lumera
