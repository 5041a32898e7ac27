// The price conversions with any code, any ticks, any decimal value and any text, through the
// original price members of an order, a contract and a price record (each reads its record's code
// at the call) and the stateless functions. None may crash; the members must agree with each
// other, with the formats that Lumera::price publishes and with the C library, and for the
// formats whose display reads back the display text must give the ticks back.

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/Price.h"

namespace {

using namespace Lumera;

// The display is the whole tick count (and a ".0"): it reads back exactly, any sign.
bool ShowsWholeTicks(long code) {
    return code == 17 || code == 21 || code == 47;
}

// The number of fraction digits of a format whose display is the ticks as a decimal fraction of a
// power of ten, with as many digits as the power has zeros (a unit and a tick show as "1.0...01"),
// or 0. Code 62 prints six digits for 100000 ticks a unit and is not one of them.
int DecimalDigits(const price::FormatInfo* info) {
    if (info == nullptr || info->decimalPlaces < 1) {
        return 0;
    }
    std::int64_t power = 1;
    for (int i = 0; i < info->decimalPlaces; ++i) {
        power *= 10;
    }
    std::string unitAndTick = "1.";
    unitAndTick.append(static_cast<std::size_t>(info->decimalPlaces - 1), '0');
    unitAndTick += '1';
    const bool decimal = info->ticksPerUnit == power &&
                         price::Display(info->code, info->ticksPerUnit + 1) == unitAndTick;
    return decimal ? info->decimalPlaces : 0;
}

// Ticks of 0 or more written as a decimal number of units with `digits` fraction digits.
std::string DecimalText(std::int32_t ticks, std::int32_t ticksPerUnit, int digits) {
    const std::string fraction = std::to_string(ticks % ticksPerUnit);
    std::string text = std::to_string(ticks / ticksPerUnit);
    text += '.';
    text.append(static_cast<std::size_t>(digits) - fraction.size(), '0');
    text += fraction;
    return text;
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
    static CLMWireContract contract;
    order.setPriceFormatCode(static_cast<enumPriceFormatCode>(code));
    contract.setpriceFormatCode(static_cast<enumPriceFormatCode>(code));
    const price::FormatInfo* info = price::Find(code);
    const long divisor = order.GetPriceFormatCodeDivisor();
    FUZZ_CHECK(divisor == (info == nullptr ? 0 : info->ticksPerUnit));
    FUZZ_CHECK(contract.GetPriceFormatCodeDivisor() == divisor);
    FUZZ_CHECK(contract.GetNumberOfDecimalPlaces() == (info == nullptr ? 0 : info->decimalPlaces));

    const std::string shown = order.PriceFromTicks(ticks);
    FUZZ_CHECK((info == nullptr) == shown.empty());
    FUZZ_CHECK(shown.size() <= 256 && shown.find('\0') == std::string::npos);
    FUZZ_CHECK(contract.PriceFromTicks(ticks) == shown);
    if (ticks >= 0) {
        FUZZ_CHECK(price::Display(code, ticks) == shown);
    }
    // The price record carries its code in one byte.
    if (code >= 0 && code <= 255) {
        static CWirePrice quote;
        unsigned char record[CWirePrice::kRecordSize] = {};
        record[PriceRecordLayout::kPriceFormatCode] = static_cast<unsigned char>(code);
        quote.Decode(record, sizeof record);
        FUZZ_CHECK(quote.PriceFromTicks(ticks) == shown);
        FUZZ_CHECK(quote.GetPriceFormatCodeDivisor() == divisor);
    }

    const double decimal = order.TicksToDecimal(ticks);
    const auto exact = static_cast<double>(ticks);
    FUZZ_CHECK(decimal == (divisor == 0 ? exact : exact / static_cast<double>(divisor)));
    FUZZ_CHECK(lmwire_fuzz::SameBits(price::ToDecimal(code, ticks), decimal));
    const long fromValue = order.DecimalToTicks(value);
    if (std::isnan(value) || (divisor == 0 && std::isinf(value))) {
        FUZZ_CHECK(fromValue == -2147483648L);
    } else if (divisor == 0) {
        FUZZ_CHECK(fromValue == 0);
    }

    // Text is read as the C library reads it in the "C" locale (the fuzzer never sets another).
    // Without a row every text is 0 ticks, "inf" and "nan" included.
    const double read = std::strtod(text.c_str(), nullptr);
    FUZZ_CHECK(order.DisplayToTicks(text) == (divisor == 0 ? 0 : order.DecimalToTicks(read)));

    // Reading the display back multiplies the nearest double by the divisor and truncates, so a
    // decimal display of a price of 0 or more comes back exact or one tick lower (0.29 * 100 is
    // 28.999999999999996).
    const long back = order.DisplayToTicks(shown);
    const int digits = DecimalDigits(info);
    if (ShowsWholeTicks(code)) {
        FUZZ_CHECK(back == ticks);
    } else if (digits > 0 && ticks >= 0) {
        FUZZ_CHECK(shown == DecimalText(ticks, info->ticksPerUnit, digits));
        FUZZ_CHECK(back == ticks || back == ticks - 1L);
    }
    return 0;
}
