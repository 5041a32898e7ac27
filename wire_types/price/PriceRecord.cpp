#include "wire_types/price/PriceRecord.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "wire_types/support/CheckedBytes.h"

namespace Lumera {

namespace {

using Layout = PriceRecordLayout;

void RequireLevel(const char* side, int level) {
    if (level < 0 || level >= Layout::kLevels) {
        throw std::out_of_range(std::string("PriceRecordBuilder: ") + side + " level " +
                                std::to_string(level) + " is outside 0..9");
    }
}

struct Side {
    std::size_t offsetsAt;
    std::size_t sizesAt;
    int direction;  // bids lie below the last price, asks above
    const char* name;
};
constexpr Side kBids{Layout::kBidOffsets, Layout::kBidSizes, -1, "bid"};
constexpr Side kAsks{Layout::kAskOffsets, Layout::kAskSizes, 1, "ask"};

// The signed byte that moves the last price to `price`, computed in wrapped 32-bit arithmetic as
// the record reads it back.
void StoreLevel(unsigned char* record, const Side& side, std::int32_t last, int level,
                std::int32_t price, std::uint16_t size) {
    const std::uint32_t moved =
        static_cast<std::uint32_t>(price) - static_cast<std::uint32_t>(last);
    const auto offset = static_cast<std::int32_t>(side.direction > 0 ? moved : 0u - moved);
    if (offset < -128 || offset > 127) {
        throw std::out_of_range(std::string("PriceRecordBuilder: ") + side.name + " level " +
                                std::to_string(level) + " price " + std::to_string(price) +
                                " is out of reach of the last price " + std::to_string(last) +
                                " (offsets -128..127)");
    }
    const auto index = static_cast<std::size_t>(level);
    record[side.offsetsAt + index] = static_cast<unsigned char>(static_cast<std::int8_t>(offset));
    StoreLittleEndian(record + side.sizesAt + 2 * index, size);
}

}  // namespace

PriceRecordView PriceRecordView::Checked(const unsigned char* bytes, std::size_t size) {
    RequireBytes("PriceRecordView", bytes, size, kSize);
    return PriceRecordView(bytes);
}

PriceRecordBuilder& PriceRecordBuilder::PriceType(std::uint8_t value) noexcept {
    priceType_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::PriceFormatCode(std::uint8_t value) noexcept {
    priceFormatCode_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::LastSize(std::uint16_t value) noexcept {
    lastSize_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::LumeraID(std::uint16_t value) noexcept {
    lumeraID_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::LastPrice(std::int32_t value) noexcept {
    lastPrice_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::TotalVolume(std::int32_t value) noexcept {
    totalVolume_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::TimeStamp(std::int32_t value) noexcept {
    timeStamp_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::High(std::int32_t value) noexcept {
    high_ = value;
    return *this;
}
PriceRecordBuilder& PriceRecordBuilder::Low(std::int32_t value) noexcept {
    low_ = value;
    return *this;
}

PriceRecordBuilder& PriceRecordBuilder::Bid(int level, std::int32_t price, std::uint16_t size) {
    RequireLevel("bid", level);
    bids_[level] = {true, price, size};
    return *this;
}

PriceRecordBuilder& PriceRecordBuilder::Ask(int level, std::int32_t price, std::uint16_t size) {
    RequireLevel("ask", level);
    asks_[level] = {true, price, size};
    return *this;
}

std::array<unsigned char, PriceRecordLayout::kSize> PriceRecordBuilder::Bytes() const {
    std::array<unsigned char, Layout::kSize> record{};
    unsigned char* out = record.data();
    out[Layout::kPriceType] = priceType_;
    out[Layout::kPriceFormatCode] = priceFormatCode_;
    StoreLittleEndian(out + Layout::kLastSize, lastSize_);
    StoreLittleEndian(out + Layout::kLumeraID, lumeraID_);
    StoreLittleEndian(out + Layout::kLastPrice, lastPrice_);
    StoreLittleEndian(out + Layout::kTotalVolume, totalVolume_);
    StoreLittleEndian(out + Layout::kTimeStamp, timeStamp_);
    StoreLittleEndian(out + Layout::kHigh, high_);
    StoreLittleEndian(out + Layout::kLow, low_);
    for (const auto& [side, levels] : {std::pair{&kBids, bids_}, std::pair{&kAsks, asks_}}) {
        for (int level = 0; level < Layout::kLevels; ++level) {
            if (levels[level].set) {
                StoreLevel(out, *side, lastPrice_, level, levels[level].price, levels[level].size);
            }
        }
    }
    return record;
}

}  // namespace Lumera
