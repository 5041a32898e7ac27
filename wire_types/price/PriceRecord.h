#pragma once

// The 86-byte market-data price record without an owner: its layout, a view that reads the
// fields straight from the caller's bytes, and a builder that writes them.

#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "wire_types/support/Export.h"
#include "wire_types/support/FieldTables.h"
#include "wire_types/support/detail/Bytes.h"

namespace Lumera {

// Offsets of the record's fields: little-endian, packed, no padding. kFields lists them (see
// FieldTables.h), a depth side as two rows named by the view's accessor: its offsets (Price) and
// its sizes (Size).
struct PriceRecordLayout {
    static constexpr std::size_t kSize = 86;
    static constexpr std::size_t kPriceType = 0;        // unsigned 8-bit
    static constexpr std::size_t kPriceFormatCode = 1;  // unsigned 8-bit
    static constexpr std::size_t kLastSize = 2;         // unsigned 16-bit
    static constexpr std::size_t kLumeraID = 4;         // unsigned 16-bit
    static constexpr std::size_t kLastPrice = 6;        // signed 32-bit ticks
    static constexpr std::size_t kTotalVolume = 10;     // signed 32-bit
    static constexpr std::size_t kTimeStamp = 14;       // signed 32-bit
    static constexpr std::size_t kHigh = 18;            // signed 32-bit ticks
    static constexpr std::size_t kLow = 22;             // signed 32-bit ticks
    static constexpr std::size_t kBidOffsets = 26;      // 10 x signed 8-bit, ticks below last
    static constexpr std::size_t kBidSizes = 36;        // 10 x unsigned 16-bit
    static constexpr std::size_t kAskOffsets = 56;      // 10 x signed 8-bit, ticks above last
    static constexpr std::size_t kAskSizes = 66;        // 10 x unsigned 16-bit
    static constexpr int kLevels = 10;
    static constexpr WireField kFieldList[] = {
        detail::Field("PriceType", kPriceType, 1, FieldKind::Unsigned),
        detail::Field("PriceFormatCode", kPriceFormatCode, 1, FieldKind::Unsigned),
        detail::Field("LastSize", kLastSize, 2, FieldKind::Unsigned),
        detail::Field("LumeraID", kLumeraID, 2, FieldKind::Unsigned),
        detail::Int32Field("LastPrice", kLastPrice),
        detail::Int32Field("TotalVolume", kTotalVolume),
        detail::Int32Field("TimeStamp", kTimeStamp),
        detail::Int32Field("High", kHigh),
        detail::Int32Field("Low", kLow),
        detail::DepthPriceField("Bid", kBidOffsets, kLevels, -1),
        detail::DepthSizeField("Bid", kBidSizes, kLevels),
        detail::DepthPriceField("Ask", kAskOffsets, kLevels, 1),
        detail::DepthSizeField("Ask", kAskSizes, kLevels)};
    static constexpr FieldTable kFields = detail::Table("PriceRecord", kSize, kFieldList);
};
static_assert(detail::Tiles(PriceRecordLayout::kFields));

// The fields lie back to back and the ask sizes end the record.
static_assert(PriceRecordLayout::kLastSize == PriceRecordLayout::kPriceFormatCode + 1 &&
              PriceRecordLayout::kLumeraID == PriceRecordLayout::kLastSize + 2 &&
              PriceRecordLayout::kLastPrice == PriceRecordLayout::kLumeraID + 2 &&
              PriceRecordLayout::kTotalVolume == PriceRecordLayout::kLastPrice + 4 &&
              PriceRecordLayout::kTimeStamp == PriceRecordLayout::kTotalVolume + 4 &&
              PriceRecordLayout::kHigh == PriceRecordLayout::kTimeStamp + 4 &&
              PriceRecordLayout::kLow == PriceRecordLayout::kHigh + 4);
static_assert(
    PriceRecordLayout::kBidOffsets == PriceRecordLayout::kLow + 4 &&
    PriceRecordLayout::kBidSizes == PriceRecordLayout::kBidOffsets + PriceRecordLayout::kLevels &&
    PriceRecordLayout::kAskOffsets ==
        PriceRecordLayout::kBidSizes + 2 * PriceRecordLayout::kLevels &&
    PriceRecordLayout::kAskSizes == PriceRecordLayout::kAskOffsets + PriceRecordLayout::kLevels &&
    PriceRecordLayout::kAskSizes + 2 * PriceRecordLayout::kLevels == PriceRecordLayout::kSize);

struct PriceLevel {
    std::int32_t price;
    std::uint16_t size;
};

namespace detail {

// A depth level of a record: the price is the last price moved by the level's signed offset
// (down for bids, up for asks), wrapping in 32 bits. A level outside 0..9 reads level 0.
inline PriceLevel ReadPriceLevel(const unsigned char* record, std::size_t offsetsAt,
                                 std::size_t sizesAt, int direction, int level) noexcept {
    const std::size_t index = static_cast<unsigned>(level) < unsigned{PriceRecordLayout::kLevels}
                                  ? static_cast<std::size_t>(level)
                                  : 0;
    const auto offset = static_cast<std::int8_t>(record[offsetsAt + index]);
    const std::uint32_t depth =
        LoadLittleEndian<std::uint32_t>(record + PriceRecordLayout::kLastPrice) +
        static_cast<std::uint32_t>(direction * offset);
    return {static_cast<std::int32_t>(depth),
            LoadLittleEndian<std::uint16_t>(record + sizesAt + 2 * index)};
}

}  // namespace detail

// Reads a record in place: nothing is copied, and the bytes must outlive the view.
class PriceRecordView {
  public:
    static constexpr std::size_t kSize = PriceRecordLayout::kSize;

    // Trusts `bytes` to hold 86 readable bytes.
    explicit PriceRecordView(const unsigned char* bytes) noexcept : bytes_(bytes) {}
    // Fewer than 86 bytes throw std::length_error, null with a non-zero size
    // std::invalid_argument; longer input is read from its start.
    [[nodiscard]] LMWIRE_API static PriceRecordView Checked(const unsigned char* bytes,
                                                            std::size_t size);
    // The same from a char or std::byte buffer.
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static PriceRecordView Checked(const Byte* bytes, std::size_t size) {
        return Checked(detail::AsUnsignedBytes(bytes), size);
    }

    std::uint8_t PriceType() const noexcept { return bytes_[PriceRecordLayout::kPriceType]; }
    std::uint8_t PriceFormatCode() const noexcept {
        return bytes_[PriceRecordLayout::kPriceFormatCode];
    }
    std::uint16_t LastSize() const noexcept { return U16(PriceRecordLayout::kLastSize); }
    std::uint16_t LumeraID() const noexcept { return U16(PriceRecordLayout::kLumeraID); }
    std::int32_t LastPrice() const noexcept { return I32(PriceRecordLayout::kLastPrice); }
    std::int32_t TotalVolume() const noexcept { return I32(PriceRecordLayout::kTotalVolume); }
    std::int32_t TimeStamp() const noexcept { return I32(PriceRecordLayout::kTimeStamp); }
    std::int32_t High() const noexcept { return I32(PriceRecordLayout::kHigh); }
    std::int32_t Low() const noexcept { return I32(PriceRecordLayout::kLow); }
    // Levels 0..9; any other level reads level 0, as the owning record does.
    PriceLevel Bid(int level) const noexcept {
        return detail::ReadPriceLevel(bytes_, PriceRecordLayout::kBidOffsets,
                                      PriceRecordLayout::kBidSizes, -1, level);
    }
    PriceLevel Ask(int level) const noexcept {
        return detail::ReadPriceLevel(bytes_, PriceRecordLayout::kAskOffsets,
                                      PriceRecordLayout::kAskSizes, 1, level);
    }
    const unsigned char* data() const noexcept { return bytes_; }

  private:
    std::uint16_t U16(std::size_t at) const noexcept {
        return detail::LoadLittleEndian<std::uint16_t>(bytes_ + at);
    }
    std::int32_t I32(std::size_t at) const noexcept {
        return detail::LoadLittleEndian<std::int32_t>(bytes_ + at);
    }

    const unsigned char* bytes_;
};

// What PriceRecordBuilder::Bytes() throws for a depth price out of reach of the last price,
// with the refused level as values, so that a caller can name it in its own terms. what() is the
// std::out_of_range text of earlier releases.
class LMWIRE_API PriceOutOfReach : public std::out_of_range {
  public:
    enum class BookSide : unsigned char { Bid, Ask };

    PriceOutOfReach(BookSide side, int level, std::int32_t price, std::int32_t lastPrice);
    ~PriceOutOfReach() override;

    BookSide Side() const noexcept { return side_; }
    int Level() const noexcept { return level_; }
    std::int32_t Price() const noexcept { return price_; }
    std::int32_t LastPrice() const noexcept { return lastPrice_; }

  private:
    BookSide side_;
    int level_;
    std::int32_t price_;
    std::int32_t lastPrice_;
};

namespace detail {

[[noreturn]] LMWIRE_API void ThrowLevelOutside(const char* side, int level);
[[noreturn]] LMWIRE_API void ThrowOutOfReach(const char* side, int level, std::int32_t price,
                                             std::int32_t last);

}  // namespace detail

// Fields to bytes. A depth level that is not set reads back as the last price with size 0.
// Inline, so that building a record costs what writing its bytes by hand costs: the fields are
// kept as values and written once, by Bytes(), with stores the size of each field (a record
// written piecemeal and then copied whole makes the copy wait on every narrow store).
class PriceRecordBuilder {
  public:
    PriceRecordBuilder& PriceType(std::uint8_t value) noexcept { return Set(priceType_, value); }
    PriceRecordBuilder& PriceFormatCode(std::uint8_t value) noexcept {
        return Set(priceFormatCode_, value);
    }
    PriceRecordBuilder& LastSize(std::uint16_t value) noexcept { return Set(lastSize_, value); }
    PriceRecordBuilder& LumeraID(std::uint16_t value) noexcept { return Set(lumeraID_, value); }
    PriceRecordBuilder& LastPrice(std::int32_t value) noexcept { return Set(lastPrice_, value); }
    PriceRecordBuilder& TotalVolume(std::int32_t value) noexcept {
        return Set(totalVolume_, value);
    }
    PriceRecordBuilder& TimeStamp(std::int32_t value) noexcept { return Set(timeStamp_, value); }
    PriceRecordBuilder& High(std::int32_t value) noexcept { return Set(high_, value); }
    PriceRecordBuilder& Low(std::int32_t value) noexcept { return Set(low_, value); }
    // A level outside 0..9 throws std::out_of_range at once.
    PriceRecordBuilder& Bid(int level, std::int32_t price, std::uint16_t size) {
        return SetLevel(kBid, level, price, size);
    }
    PriceRecordBuilder& Ask(int level, std::int32_t price, std::uint16_t size) {
        return SetLevel(kAsk, level, price, size);
    }

    // The record. A depth price is in reach when its offset from the last price, in wrapped
    // 32-bit arithmetic, fits a signed byte; the first one out of reach (bids first, then asks,
    // each from level 0) throws PriceOutOfReach, a std::out_of_range, naming its side and level.
    std::array<unsigned char, PriceRecordLayout::kSize> Bytes() const {
        using L = PriceRecordLayout;
        std::array<unsigned char, L::kSize> record;
        unsigned char* out = record.data();
        out[L::kPriceType] = priceType_;
        out[L::kPriceFormatCode] = priceFormatCode_;
        detail::StoreLittleEndian(out + L::kLastSize, lastSize_);
        detail::StoreLittleEndian(out + L::kLumeraID, lumeraID_);
        detail::StoreLittleEndian(out + L::kLastPrice, lastPrice_);
        detail::StoreLittleEndian(out + L::kTotalVolume, totalVolume_);
        detail::StoreLittleEndian(out + L::kTimeStamp, timeStamp_);
        detail::StoreLittleEndian(out + L::kHigh, high_);
        detail::StoreLittleEndian(out + L::kLow, low_);
        const auto last = static_cast<std::uint32_t>(lastPrice_);
        // Every level at once, without a branch: an offset out of reach sets a bit above the low
        // byte of `reach`, and the search for the first one waits for the rare case.
        std::uint32_t reach = 0;
        for (int level = 0; level < L::kLevels; ++level) {
            const std::uint32_t bid = Offset(kBid, level, last);
            const std::uint32_t ask = Offset(kAsk, level, last);
            reach |= (bid + 128u) | (ask + 128u);
            const auto at = static_cast<std::size_t>(level);
            out[L::kBidOffsets + at] = static_cast<unsigned char>(bid);
            out[L::kAskOffsets + at] = static_cast<unsigned char>(ask);
            detail::StoreLittleEndian(out + L::kBidSizes + 2 * at, sizes_[Slot(kBid, level)]);
            detail::StoreLittleEndian(out + L::kAskSizes + 2 * at, sizes_[Slot(kAsk, level)]);
        }
        if (reach > 255u) {
            ThrowFirstOutOfReach(last);
        }
        return record;
    }

  private:
    static constexpr int kBid = 0;
    static constexpr int kAsk = 1;

    // Bids at 0..9, asks at 10..19.
    static constexpr int Slot(int side, int level) noexcept {
        return side * PriceRecordLayout::kLevels + level;
    }

    template <class T>
    PriceRecordBuilder& Set(T& field, T value) noexcept {
        field = value;
        return *this;
    }

    PriceRecordBuilder& SetLevel(int side, int level, std::int32_t price, std::uint16_t size) {
        if (static_cast<unsigned>(level) >= unsigned{PriceRecordLayout::kLevels}) {
            detail::ThrowLevelOutside(side == kBid ? "bid" : "ask", level);
        }
        prices_[Slot(side, level)] = price;
        sizes_[Slot(side, level)] = size;
        set_ |= 1u << Slot(side, level);
        return *this;
    }

    // The offset that moves the last price to the level's price (0 for a level not set), in
    // wrapped 32-bit arithmetic: bids lie below the last price, asks above it.
    std::uint32_t Offset(int side, int level, std::uint32_t last) const noexcept {
        const auto price = static_cast<std::uint32_t>(prices_[Slot(side, level)]);
        const std::uint32_t offset = side == kBid ? last - price : price - last;
        return offset & (0u - (set_ >> Slot(side, level) & 1u));
    }

    [[noreturn]] void ThrowFirstOutOfReach(std::uint32_t last) const {
        for (int side = kBid; side <= kAsk; ++side) {
            for (int level = 0; level < PriceRecordLayout::kLevels; ++level) {
                if (Offset(side, level, last) + 128u > 255u) {
                    detail::ThrowOutOfReach(side == kBid ? "bid" : "ask", level,
                                            prices_[Slot(side, level)],
                                            static_cast<std::int32_t>(last));
                }
            }
        }
        detail::ThrowOutOfReach("bid", 0, prices_[0], static_cast<std::int32_t>(last));
    }

    std::uint8_t priceType_ = 0;
    std::uint8_t priceFormatCode_ = 0;
    std::uint16_t lastSize_ = 0;
    std::uint16_t lumeraID_ = 0;
    std::int32_t lastPrice_ = 0;
    std::int32_t totalVolume_ = 0;
    std::int32_t timeStamp_ = 0;
    std::int32_t high_ = 0;
    std::int32_t low_ = 0;
    std::int32_t prices_[2 * PriceRecordLayout::kLevels] = {};
    std::uint16_t sizes_[2 * PriceRecordLayout::kLevels] = {};
    std::uint32_t set_ = 0;  // bit Slot(side, level) for each level that has been set
};

}  // namespace Lumera
