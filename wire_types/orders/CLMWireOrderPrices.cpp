#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/price/detail/PriceMembers.h"

// Unlike the price record and the contract, an order passes its own code to every member, so a
// change of PriceFormatCode takes effect at the next call.

namespace Lumera {

std::string CLMWireOrder::PriceFromTicks(long ticks) {
    return detail::PriceMembers::PriceFromTicks(*converter_, getPriceFormatCode(), ticks);
}

long CLMWireOrder::GetPriceFormatCodeDivisor() {
    return detail::PriceMembers::Divisor(*converter_, getPriceFormatCode());
}

double CLMWireOrder::TicksToDecimal(long ticks) {
    return detail::PriceMembers::TicksToDecimal(*converter_, getPriceFormatCode(), ticks);
}

long CLMWireOrder::DecimalToTicks(double value) {
    return detail::PriceMembers::DecimalToTicks(*converter_, getPriceFormatCode(), value);
}

long CLMWireOrder::DisplayToTicks(const std::string& text) {
    return detail::PriceMembers::DisplayToTicks(*converter_, getPriceFormatCode(), text);
}

}  // namespace Lumera
