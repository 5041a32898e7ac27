#pragma once

// The market-data price record: last trade, high, low, volume, a timestamp and ten levels of
// bid and ask depth, 86 packed little-endian bytes on the wire.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Bytes.h"
#include "wire_types/support/Export.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

class ATPrice;

class LMWIRE_API CWirePrice {
  public:
    static constexpr std::size_t kRecordSize = 86;

    // 86 zero bytes; a converter without a code.
    CWirePrice();
    // Decodes `bytes` (throws as Decode does), then builds the converter with the decoded code.
    CWirePrice(unsigned char* bytes);
    // Deep: own record, own converter with the same current code.
    CWirePrice(const CWirePrice& other);
    CWirePrice& operator=(const CWirePrice& other);
    ~CWirePrice();

    // Replaces the record with the 86 bytes at `bytes`. A null source leaves the record all zero
    // and throws `new VeyException(...)`. The converter keeps its current code.
    void Decode(unsigned char* bytes);
    // Checked: fewer than 86 bytes throw std::length_error, null with a non-zero size
    // std::invalid_argument, and the record is then unchanged.
    void Decode(const unsigned char* bytes, std::size_t size);
    // A new 86-byte buffer (array new) that the caller releases with array delete.
    unsigned char* Encode();

    // The getters are read for every update a front end receives: inline, they cost what
    // reading the bytes costs.
    long GetLumeraID() { return LoadLittleEndian<std::uint16_t>(record_ + kLumeraID); }
    long GetPriceFormatCode() { return record_[kFormatCode]; }
    enumPriceTypes GetPriceType() { return static_cast<enumPriceTypes>(record_[kPriceType]); }
    unsigned short GetLastSize() { return LoadLittleEndian<std::uint16_t>(record_ + kLastSize); }
    long GetLastPrice() { return LoadLittleEndian<std::int32_t>(record_ + kLastPrice); }
    long GetHigh() { return LoadLittleEndian<std::int32_t>(record_ + kHigh); }
    long GetLow() { return LoadLittleEndian<std::int32_t>(record_ + kLow); }
    long GetTotalVolume() { return LoadLittleEndian<std::int32_t>(record_ + kTotalVolume); }
    long GetTimeStamp() { return LoadLittleEndian<std::int32_t>(record_ + kTimeStamp); }

    // Levels outside 0..9 read level 0.
    void GetBid(short level, long* price, long* size) {
        GetDepth(kBidOffsets, kBidSizes, -1, level, price, size);
    }
    void GetAsk(short level, long* price, long* size) {
        GetDepth(kAskOffsets, kAskSizes, 1, level, price, size);
    }

    std::string PriceFromTicks(long ticks);
    long GetPriceFormatCodeDivisor();
    double TicksToDecimal(long ticks);
    // These two use the converter's current code: the code of the last of the three members
    // above to run, or the decoded code until one has.
    long DecimalToTicks(double value);
    long DisplayToTicks(const std::string& text);

  private:
    static constexpr std::size_t kPriceType = 0;
    static constexpr std::size_t kFormatCode = 1;
    static constexpr std::size_t kLastSize = 2;
    static constexpr std::size_t kLumeraID = 4;
    static constexpr std::size_t kLastPrice = 6;
    static constexpr std::size_t kTotalVolume = 10;
    static constexpr std::size_t kTimeStamp = 14;
    static constexpr std::size_t kHigh = 18;
    static constexpr std::size_t kLow = 22;
    static constexpr std::size_t kBidOffsets = 26;
    static constexpr std::size_t kBidSizes = 36;
    static constexpr std::size_t kAskOffsets = 56;
    static constexpr std::size_t kAskSizes = 66;
    static constexpr unsigned kLevels = 10;
    // The fields lie back to back with no padding, and the ask sizes end the record.
    static_assert(kLastSize == kFormatCode + 1 && kLumeraID == kLastSize + 2 &&
                  kLastPrice == kLumeraID + 2 && kTotalVolume == kLastPrice + 4 &&
                  kTimeStamp == kTotalVolume + 4 && kHigh == kTimeStamp + 4 && kLow == kHigh + 4);
    static_assert(kBidOffsets == kLow + 4 && kBidSizes == kBidOffsets + kLevels &&
                  kAskOffsets == kBidSizes + 2 * kLevels && kAskSizes == kAskOffsets + kLevels &&
                  kAskSizes + 2 * kLevels == kRecordSize);

    void GetDepth(std::size_t offsetsAt, std::size_t sizesAt, int direction, short level,
                  long* price, long* size) const {
        // A select rather than a branch: a level out of range reads level 0.
        const std::size_t index =
            static_cast<unsigned short>(level) < kLevels ? static_cast<std::size_t>(level) : 0;
        const auto offset = static_cast<std::int8_t>(record_[offsetsAt + index]);
        // The depth price wraps in 32 bits as the last price does.
        const std::uint32_t depth = LoadLittleEndian<std::uint32_t>(record_ + kLastPrice) +
                                    static_cast<std::uint32_t>(direction * offset);
        *price = static_cast<std::int32_t>(depth);
        *size = LoadLittleEndian<std::uint16_t>(record_ + sizesAt + 2 * index);
    }

    enumPriceFormatCode OwnCode() const;

    unsigned char* record_;
    ATPrice* converter_;
};

}  // namespace Lumera
