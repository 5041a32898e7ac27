#pragma once

// The display text the library's original members write, for the output that has always shown
// it (price, formats, the LastPriceText of a decoded record).

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/Price.h"

namespace lmwire {

// For a price >= 0, and for a code without a row, the original text is price::Display's. A
// negative price in the original has a sign before each part ("-12.-34" in code 14), which no
// stateless function writes; only then is a record carrying the code asked, one per code, built
// on first use.
class OriginalDisplay {
  public:
    OriginalDisplay();
    ~OriginalDisplay();
    OriginalDisplay(const OriginalDisplay&) = delete;
    OriginalDisplay& operator=(const OriginalDisplay&) = delete;

    // Valid until the next call: a capture decode asks once per record and must not allocate.
    std::string_view Text(std::uint8_t code, std::int32_t ticks);
    // The original reading of a display text: its leading decimal number times the ticks per
    // unit, truncated toward zero.
    long ReadBack(std::uint8_t code, const std::string& text);

  private:
    Lumera::CWirePrice& RecordOf(std::uint8_t code);

    std::array<std::unique_ptr<Lumera::CWirePrice>, 256> records_;
    std::array<char, Lumera::price::kMaxDisplayLength> text_{};
    std::string negative_;
};

}  // namespace lmwire
