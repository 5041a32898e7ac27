#include "wire_types/price/detail/ATPrice.h"

#include <cstdint>
#include <cstring>

#include "wire_types/price/detail/DisplayPlan.h"
#include "wire_types/support/detail/Scalars.h"

namespace Lumera {

ATPrice::ATPrice() : currentCode_(pfcNone), table_(nullptr) {
    Init();
}

ATPrice::ATPrice(enumPriceFormatCode priceFormatCode)
    : currentCode_(priceFormatCode), table_(nullptr) {
    Init();
}

ATPrice::~ATPrice() = default;

void ATPrice::Init() {
    table_ = &kPriceFormatTable;
}

const PriceFormat* ATPrice::FindFormat(enumPriceFormatCode code) const {
    if (code < 1 || code > static_cast<std::int32_t>(kPriceFormatCount)) {
        return nullptr;
    }
    return &(*table_)[code - 1];
}

std::string ATPrice::getDisplayString(long price, enumPriceFormatCode formatcode) {
    currentCode_.store(formatcode, std::memory_order_relaxed);
    if (formatcode < 1 || formatcode > static_cast<std::int32_t>(kPriceFormatCount)) {
        return std::string();
    }
    char buffer[detail::kDisplayBuffer];
    return std::string(buffer, detail::WriteDisplayText(buffer, formatcode, detail::Low32(price)));
}

long ATPrice::GetPriceFormatCodeDivisor(enumPriceFormatCode formatcode) {
    currentCode_.store(formatcode, std::memory_order_relaxed);
    const PriceFormat* row = FindFormat(formatcode);
    if (row == nullptr) {
        return 0;
    }
    return static_cast<long>(row->primaryFraction) * row->secondaryFraction;
}

int ATPrice::GetDecimalPlaces(enumPriceFormatCode formatcode) {
    const std::string text = getDisplayString(1, formatcode);
    const std::size_t point = text.find('.');
    if (point == std::string::npos) {
        return 0;
    }
    return static_cast<int>(text.size() - point - 1);
}

enumPriceFormatCode ATPrice::GetPriceFormatCode() {
    return currentCode_.load(std::memory_order_relaxed);
}

}  // namespace Lumera
