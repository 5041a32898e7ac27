#pragma once

// The display text the library's original members write, and their reading of a text, for the
// commands that show them beside the one-sign display (price, formats).

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "wire_types/price/CWirePrice.h"

namespace lmwire {

// A negative price in the original has a sign before each part ("-12.-34" in code 14), which no
// stateless function writes: a record carrying the code is asked, one per code, built on first
// use.
class OriginalDisplay {
  public:
    OriginalDisplay();
    ~OriginalDisplay();
    OriginalDisplay(const OriginalDisplay&) = delete;
    OriginalDisplay& operator=(const OriginalDisplay&) = delete;

    std::string Text(std::uint8_t code, std::int32_t ticks);
    // The original reading of a display text: its leading decimal number times the ticks per
    // unit, truncated toward zero.
    long ReadBack(std::uint8_t code, const std::string& text);

  private:
    Lumera::CWirePrice& RecordOf(std::uint8_t code);

    std::array<std::unique_ptr<Lumera::CWirePrice>, 256> records_;
};

}  // namespace lmwire
