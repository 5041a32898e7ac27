#include "wire_types/price/detail/PriceMembers.h"

#include <cstdint>

#include "wire_types/price/detail/DecimalText.h"

namespace Lumera::detail {

double TicksToDecimalValue(long ticks, long divisor) {
    const double value = static_cast<std::int32_t>(ticks);
    if (divisor == 0) {
        return value;
    }
    return value / static_cast<double>(divisor);
}

long DecimalValueToTicks(double value, long divisor) {
    const double product = static_cast<double>(divisor) * value;
    // Truncation keeps (-2^31 - 1, 2^31) inside the range; NaN fails both comparisons.
    if (!(product > -2147483649.0 && product < 2147483648.0)) {
        return INT32_MIN;
    }
    return static_cast<std::int32_t>(product);
}

std::string PriceMembers::PriceFromTicks(ATPrice& converter, enumPriceFormatCode code, long ticks) {
    return converter.getDisplayString(ticks, code);
}

long PriceMembers::Divisor(ATPrice& converter, enumPriceFormatCode code) {
    return converter.GetPriceFormatCodeDivisor(code);
}

double PriceMembers::TicksToDecimal(ATPrice& converter, enumPriceFormatCode code, long ticks) {
    return TicksToDecimalValue(ticks, converter.GetPriceFormatCodeDivisor(code));
}

long PriceMembers::DecimalToTicks(ATPrice& converter, enumPriceFormatCode code, double value) {
    return DecimalValueToTicks(value, converter.GetPriceFormatCodeDivisor(code));
}

long PriceMembers::DisplayToTicks(ATPrice& converter, enumPriceFormatCode code,
                                  const std::string& text) {
    // The text is read before the divisor is asked for. Without a row every text is 0 ticks, the
    // neutral result, where the product would be 0 x infinity for "inf" or "1e400".
    const double value = ReadDecimalText(text.c_str());
    const long divisor = converter.GetPriceFormatCodeDivisor(code);
    if (divisor == 0) {
        return 0;
    }
    return DecimalValueToTicks(value, divisor);
}

int PriceMembers::DecimalPlaces(ATPrice& converter, enumPriceFormatCode code) {
    return converter.GetDecimalPlaces(code);
}

}  // namespace Lumera::detail
