#pragma once

// The market-data price record: last trade, high, low, volume, a timestamp and ten levels of
// bid and ask depth, 86 packed little-endian bytes on the wire.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/price/PriceRecord.h"
#include "wire_types/support/Export.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

class ATPrice;

class LMWIRE_API CWirePrice {
  public:
    static constexpr std::size_t kRecordSize = PriceRecordLayout::kSize;

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
    long GetLumeraID() { return View().LumeraID(); }
    long GetPriceFormatCode() { return View().PriceFormatCode(); }
    enumPriceTypes GetPriceType() { return static_cast<enumPriceTypes>(View().PriceType()); }
    unsigned short GetLastSize() { return View().LastSize(); }
    long GetLastPrice() { return View().LastPrice(); }
    long GetHigh() { return View().High(); }
    long GetLow() { return View().Low(); }
    long GetTotalVolume() { return View().TotalVolume(); }
    long GetTimeStamp() { return View().TimeStamp(); }

    // Levels outside 0..9 read level 0.
    void GetBid(short level, long* price, long* size) { Store(View().Bid(level), price, size); }
    void GetAsk(short level, long* price, long* size) { Store(View().Ask(level), price, size); }

    // The record in place: each read sees what the record holds then, as long as this object
    // lives.
    PriceRecordView View() const noexcept { return PriceRecordView(record_); }

    std::string PriceFromTicks(long ticks);
    long GetPriceFormatCodeDivisor();
    double TicksToDecimal(long ticks);
    // These two use the converter's current code: the code of the last of the three members
    // above to run, or the decoded code until one has.
    long DecimalToTicks(double value);
    long DisplayToTicks(const std::string& text);

  private:
    static void Store(PriceLevel level, long* price, long* size) {
        *price = level.price;
        *size = level.size;
    }

    unsigned char* record_;
    ATPrice* converter_;
};

}  // namespace Lumera
