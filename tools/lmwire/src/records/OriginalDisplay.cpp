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

std::string_view OriginalDisplay::Text(std::uint8_t code, std::int32_t ticks) {
    if (ticks < 0 && Lumera::price::Find(code) != nullptr) {
        negative_ = RecordOf(code).PriceFromTicks(ticks);
        return negative_;
    }
    const char* end =
        Lumera::price::DisplayTo(text_.data(), text_.data() + text_.size(), code, ticks);
    return {text_.data(), static_cast<std::size_t>(end - text_.data())};
}

long OriginalDisplay::ReadBack(std::uint8_t code, const std::string& text) {
    return RecordOf(code).DisplayToTicks(text);
}

}  // namespace lmwire
