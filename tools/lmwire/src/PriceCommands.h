#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/orders/CLMWireOrder.h"

namespace lmwire {

// Conversions in one price format code. The library converts only through a record that carries
// a code; an order is the one whose members all follow a changed code at once, and a contract the
// only one that tells the decimal places.
class FormatCode {
  public:
    // BadInput for a code that has no format.
    explicit FormatCode(const std::string& code);
    explicit FormatCode(long code);

    long Code() const { return code_; }
    std::string Display(long ticks) { return order_.PriceFromTicks(ticks); }
    double Decimal(long ticks) { return order_.TicksToDecimal(ticks); }
    long FromText(const std::string& text) { return order_.DisplayToTicks(text); }
    // The ticks of a text read as a decimal number (the library's reading), or nothing when the
    // text is not a number or its value falls outside the ticks a record can carry; where the
    // library would give -2147483648 for both, this tells them from a true -2147483648.
    std::optional<std::int32_t> TicksOfDecimalText(const std::string& text,
                                                   const std::string& what);
    long Divisor() { return order_.GetPriceFormatCodeDivisor(); }
    int DecimalPlaces() { return contract_.GetNumberOfDecimalPlaces(); }

  private:
    long code_;
    Lumera::CLMWireOrder order_;
    Lumera::CLMWireContract contract_;
};

// Every reading of a text into ticks ends here: BadInput when the reading found no tick price.
std::int32_t RequireTicks(std::optional<std::int32_t> ticks, const std::string& text,
                          const FormatCode& format);

}  // namespace lmwire
