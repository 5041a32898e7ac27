#pragma once

// The 86-byte market-data price record as lines of text: records are read in place through the
// library's view, and written by its builder.

#include <cstddef>
#include <string>

#include "Kinds.h"
#include "OriginalDisplay.h"
#include "wire_types/price/PriceRecord.h"

namespace lmwire {

constexpr std::size_t kPriceRecordSize = Lumera::PriceRecordLayout::kSize;

// Keeps the converters of the original display texts across records, so that a capture costs no
// allocation per record.
class PriceRecordLines {
  public:
    // One line: every field as Name=value, depth as price:size pairs.
    void AppendLine(Lumera::PriceRecordView record, std::string& out);
    // One JSON object, written directly: building a JSON value per record would make a large
    // capture many times slower.
    void AppendJsonLine(Lumera::PriceRecordView record, std::string& out);

  private:
    OriginalDisplay display_;
};

}  // namespace lmwire
