// The stateless price functions with any code, any ticks and any text. Display and Parse must
// agree with each other for every code, Display must agree with the original members on
// non-negative prices, DisplayTo must never write past its end, and any text that Parse accepts
// must be exactly a display text.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/price/Price.h"

namespace {

using namespace Lumera;

bool SharesTexts(long code) {
    return code == 40 || code == 41 || code == 58;
}

std::string Trimmed(const std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const long code = input.ConsumeIntegralInRange<long>(-2, 65);
    const auto ticks = input.ConsumeIntegral<std::int32_t>();
    const std::size_t room = input.ConsumeIntegralInRange<std::size_t>(0, 30);
    const std::string text = input.ConsumeRemainingBytesAsString();
    const price::FormatInfo* row = price::Find(code);

    const std::string shown = price::Display(code, ticks);
    FUZZ_CHECK(shown.size() < price::kMaxDisplayLength);
    FUZZ_CHECK((row == nullptr) == shown.empty());
    if (ticks >= 0 && row != nullptr) {
        static CLMWireOrder order;
        order.setPriceFormatCode(static_cast<enumPriceFormatCode>(code));
        FUZZ_CHECK(shown == order.PriceFromTicks(ticks));
    }

    // DisplayTo writes the same text where it fits and nothing where it does not.
    char buffer[40];
    std::fill(std::begin(buffer), std::end(buffer), '#');
    char* end = price::DisplayTo(buffer, buffer + room, code, ticks);
    if (shown.size() <= room) {
        FUZZ_CHECK(end != nullptr && std::string(buffer, end) == shown);
    } else {
        FUZZ_CHECK(end == nullptr);
    }
    for (std::size_t i = end == nullptr ? 0 : static_cast<std::size_t>(end - buffer);
         i < sizeof buffer; ++i) {
        FUZZ_CHECK(buffer[i] == '#');
    }

    if (row != nullptr) {
        const std::optional<std::int32_t> back = price::Parse(code, shown);
        FUZZ_CHECK(back.has_value() && price::Display(code, *back) == shown);
        // Where prices share a text, the one nearest zero comes back.
        const auto magnitude = [](std::int64_t t) { return t < 0 ? -t : t; };
        FUZZ_CHECK(SharesTexts(code) ? magnitude(*back) <= magnitude(ticks) : *back == ticks);
    }

    // Whatever text Parse accepts is a display text, surrounding spaces aside.
    const std::optional<std::int32_t> parsed = price::Parse(code, text);
    if (parsed.has_value()) {
        FUZZ_CHECK(row != nullptr);
        FUZZ_CHECK(Trimmed(price::Display(code, *parsed)) == Trimmed(text));
    }
    return 0;
}
