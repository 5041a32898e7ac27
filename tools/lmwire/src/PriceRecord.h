#pragma once

// The 86-byte market-data price record. The library reads one (CWirePrice) but offers no way to
// build one, so records are written here by their layout and checked by reading them back.

#include <array>
#include <cstdint>
#include <string>

#include "Kinds.h"
#include "wire_types/price/CWirePrice.h"

namespace lmwire {

constexpr std::size_t kPriceRecordSize = Lumera::CWirePrice::kRecordSize;
constexpr int kDepthLevels = 10;

struct DepthLevel {
    std::int32_t price = 0;
    std::uint16_t size = 0;
};

struct PriceFields {
    std::uint8_t priceType = 0;
    std::uint8_t priceFormatCode = 0;
    std::uint16_t lastSize = 0;
    std::uint16_t lumeraID = 0;
    std::int32_t lastPrice = 0;
    std::int32_t totalVolume = 0;
    std::int32_t timeStamp = 0;
    std::int32_t high = 0;
    std::int32_t low = 0;
    std::array<DepthLevel, kDepthLevels> bids{};
    std::array<DepthLevel, kDepthLevels> asks{};
};

// BadInput when a depth price lies outside what one offset byte can reach from the last price.
void WritePriceRecord(const PriceFields& fields, unsigned char* record);

// Reads records through one CWirePrice, so that a capture costs no allocation per record.
class PriceRecordReader {
  public:
    PriceFields Read(const unsigned char* record);
    // One line: every field as Name=value, depth as price:size pairs.
    void AppendLine(const unsigned char* record, std::string& out);
    // One JSON object, written directly: building a JSON value per record would make a large
    // capture many times slower.
    void AppendJsonLine(const unsigned char* record, std::string& out);
    std::string DisplayText(long ticks) { return price_.PriceFromTicks(ticks); }

  private:
    void Load(const unsigned char* record);
    Lumera::CWirePrice price_;
    std::array<unsigned char, kPriceRecordSize> buffer_{};
};

}  // namespace lmwire
