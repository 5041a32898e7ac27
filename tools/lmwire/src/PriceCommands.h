#pragma once

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
    long Divisor() { return order_.GetPriceFormatCodeDivisor(); }
    int DecimalPlaces() { return contract_.GetNumberOfDecimalPlaces(); }

  private:
    long code_;
    Lumera::CLMWireOrder order_;
    Lumera::CLMWireContract contract_;
};

}  // namespace lmwire
