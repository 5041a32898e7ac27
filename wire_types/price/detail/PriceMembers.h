#pragma once

// The price members shared by every record that carries prices (the price record, contracts and
// orders), and the tick conversions they are built on.

#include <string>

#include "wire_types/price/detail/ATPrice.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera::detail {

struct PriceMembers {
    // `code` is the record's own code, or converter.GetPriceFormatCode() for the members that
    // use the converter's current code.
    static std::string PriceFromTicks(ATPrice& converter, enumPriceFormatCode code, long ticks);
    static long Divisor(ATPrice& converter, enumPriceFormatCode code);
    static double TicksToDecimal(ATPrice& converter, enumPriceFormatCode code, long ticks);
    static long DecimalToTicks(ATPrice& converter, enumPriceFormatCode code, double value);
    static long DisplayToTicks(ATPrice& converter, enumPriceFormatCode code,
                               const std::string& text);
    static int DecimalPlaces(ATPrice& converter, enumPriceFormatCode code);
};

// Ticks (low 32 bits) over the divisor; the ticks themselves when the divisor is 0.
double TicksToDecimalValue(long ticks, long divisor);

// divisor x value truncated toward zero; -2147483648 when the product is not a number or lies
// outside the signed 32-bit range.
long DecimalValueToTicks(double value, long divisor);

}  // namespace Lumera::detail
