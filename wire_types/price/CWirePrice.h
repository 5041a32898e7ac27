#pragma once

// The market-data price record: last trade, high, low, volume, a timestamp and ten levels of
// bid and ask depth, 86 packed little-endian bytes on the wire.

#include <cstddef>
#include <string>

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

    long GetLumeraID();
    long GetPriceFormatCode();
    enumPriceTypes GetPriceType();
    unsigned short GetLastSize();
    long GetLastPrice();
    long GetHigh();
    long GetLow();
    long GetTotalVolume();
    long GetTimeStamp();

    // Levels outside 0..9 read level 0.
    void GetBid(short level, long* price, long* size);
    void GetAsk(short level, long* price, long* size);

    std::string PriceFromTicks(long ticks);
    long GetPriceFormatCodeDivisor();
    double TicksToDecimal(long ticks);
    // These two use the converter's current code: the code of the last of the three members
    // above to run, or the decoded code until one has.
    long DecimalToTicks(double value);
    long DisplayToTicks(const std::string& text);

  private:
    enumPriceFormatCode OwnCode() const;
    void GetDepth(std::size_t offsetsAt, std::size_t sizesAt, int direction, short level,
                  long* price, long* size) const;

    unsigned char* m_record;
    ATPrice* m_converter;
};

}  // namespace Lumera
