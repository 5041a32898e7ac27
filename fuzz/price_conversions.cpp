// The price conversions with any code, any ticks, any decimal value and any text, through the
// price members of an order (which read the order's code at each call) and the converter. None
// may crash; each result must agree with the format table and the C library, and for the
// formats whose display reads back the display text must give the ticks back.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/price/ATPrice.h"
#include "wire_types/price/detail/DecimalText.h"
#include "wire_types/price/PriceFormat.h"

namespace {

using namespace Lumera;

const PriceFormat* Row(std::int32_t code) {
    return code >= 1 && code <= static_cast<std::int32_t>(kPriceFormatCount)
               ? &kPriceFormatTable[code - 1]
               : nullptr;
}

// The display is the whole tick count (and a ".0"): it reads back exactly, any sign.
bool ShowsWholeTicks(std::int32_t code) {
    return code == 17 || code == 21 || code == 47;
}

// The display is the ticks as a decimal fraction of a power of ten, printed with as many digits
// as the power has zeros (code 62 prints six for 100000 and is not one of them). Reading it back
// multiplies the nearest double by that power and truncates, so a non-negative price comes back
// exact or one tick lower (0.29 * 100 is 28.999999999999996).
bool ShowsDecimalTicks(std::int32_t code) {
    const PriceFormat* row = Row(code);
    if (row == nullptr || row->secondaryFraction != 1 || row->primaryFractionMultiplier != 1.0 ||
        row->primaryFraction == 1) {
        return false;
    }
    int zeros = 0;
    for (std::int32_t p = row->primaryFraction; p > 1; p /= 10, ++zeros) {
        if (p % 10 != 0) {
            return false;
        }
    }
    return std::string(row->sprintfFormat) == "%d.%0" + std::to_string(zeros) + "d";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // Mostly table codes, sometimes any 32-bit code.
    const std::int32_t code = input.ConsumeBool() ? input.ConsumeIntegral<std::int32_t>()
                                                  : input.ConsumeIntegralInRange(0, 63);
    const auto ticks = input.ConsumeIntegral<std::int32_t>();
    double value = 0;
    const auto valueBits = input.ConsumeIntegral<std::uint64_t>();
    std::memcpy(&value, &valueBits, sizeof value);
    const std::string text = input.ConsumeRemainingBytesAsString();

    static CLMWireOrder order;
    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(code));
    const PriceFormat* row = Row(code);
    const long divisor = order.GetPriceFormatCodeDivisor();
    FUZZ_CHECK(divisor ==
               (row == nullptr ? 0 : long{row->primaryFraction} * row->secondaryFraction));

    const std::string shown = order.PriceFromTicks(ticks);
    FUZZ_CHECK((row == nullptr) == shown.empty());
    FUZZ_CHECK(shown.size() <= 256 && shown.find('\0') == std::string::npos);

    const double decimal = order.TicksToDecimal(ticks);
    const auto exact = static_cast<double>(ticks);
    FUZZ_CHECK(decimal == (divisor == 0 ? exact : exact / static_cast<double>(divisor)));
    const long fromValue = order.DecimalToTicks(value);
    if (std::isnan(value) || (divisor == 0 && std::isinf(value))) {
        FUZZ_CHECK(fromValue == -2147483648L);
    } else if (divisor == 0) {
        FUZZ_CHECK(fromValue == 0);
    }

    // Text is read as the C library reads it in the "C" locale (the fuzzer never sets another).
    const double read = ReadDecimalText(text);
    const double expected = std::strtod(text.c_str(), nullptr);
    FUZZ_CHECK(std::isnan(read) ? std::isnan(expected) : lmwire_fuzz::SameBits(read, expected));
    // Without a row every text is 0 ticks, "inf" and "nan" included.
    FUZZ_CHECK(order.DisplayToTicks(text) == (divisor == 0 ? 0 : order.DecimalToTicks(read)));

    const long back = order.DisplayToTicks(shown);
    if (ShowsWholeTicks(code)) {
        FUZZ_CHECK(back == ticks);
    } else if (ShowsDecimalTicks(code) && ticks >= 0) {
        FUZZ_CHECK(back == ticks || back == ticks - 1L);
    }

    // The converter on its own, with the code as an argument rather than a record's field.
    ATPrice converter;
    FUZZ_CHECK(converter.getDisplayString(ticks, static_cast<enumPriceFormatCode>(code)) == shown);
    FUZZ_CHECK(converter.GetPriceFormatCode() == code);
    const int places = converter.GetDecimalPlaces(static_cast<enumPriceFormatCode>(code));
    FUZZ_CHECK(places >= 0 && places <= 6);
    return 0;
}
