#include "records/OriginalDisplay.h"

#include "wire_types/price/PriceRecord.h"

namespace lmwire {

OriginalDisplay::OriginalDisplay() = default;
OriginalDisplay::~OriginalDisplay() = default;

Lumera::CWirePrice& OriginalDisplay::RecordOf(std::uint8_t code) {
    std::unique_ptr<Lumera::CWirePrice>& record = records_[code];
    if (!record) {
        // The record's own code selects the row of its conversions.
        auto bytes = Lumera::PriceRecordBuilder().PriceFormatCode(code).Bytes();
        record = std::make_unique<Lumera::CWirePrice>(bytes.data());
    }
    return *record;
}

std::string OriginalDisplay::Text(std::uint8_t code, std::int32_t ticks) {
    return RecordOf(code).PriceFromTicks(ticks);
}

long OriginalDisplay::ReadBack(std::uint8_t code, const std::string& text) {
    return RecordOf(code).DisplayToTicks(text);
}

}  // namespace lmwire
