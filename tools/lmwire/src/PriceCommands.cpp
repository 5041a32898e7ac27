#include "PriceCommands.h"

#include <cstdint>
#include <limits>

#include "Commands.h"
#include "Errors.h"
#include "Output.h"
#include "Table.h"
#include "Text.h"

namespace lmwire {
namespace {

constexpr std::int64_t kMinTicks = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxTicks = std::numeric_limits<std::int32_t>::max();

}  // namespace

FormatCode::FormatCode(const std::string& code)
    : FormatCode(static_cast<long>(ParseInteger(code, kMinTicks, kMaxTicks, "price format code"))) {
}

FormatCode::FormatCode(long code) : code_(code) {
    order_.setPriceFormatCode(static_cast<Lumera::enumPriceFormatCode>(code));
    contract_.setpriceFormatCode(static_cast<Lumera::enumPriceFormatCode>(code));
    // No table look-up is public: a code without a format is the one whose divisor is 0.
    if (Divisor() == 0) {
        throw BadInput("unknown price format code " + std::to_string(code) + " (codes are " +
                       std::to_string(Lumera::pfcFirst) + " to " + std::to_string(Lumera::pfcLast) +
                       ")");
    }
}

std::optional<std::int32_t> FormatCode::TicksOfDecimalText(const std::string& given,
                                                           const std::string& what) {
    // The library reads any leading number and ignores the rest; a typo is refused here.
    std::string_view text = given;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    const double value = ParseDouble(text, what);
    // The library's own product and bounds: truncation keeps (-2^31 - 1, 2^31) in range, and
    // NaN fails both comparisons.
    const double product = static_cast<double>(Divisor()) * value;
    if (!(product > -2147483649.0 && product < 2147483648.0)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(FromText(given));
}

std::int32_t RequireTicks(std::optional<std::int32_t> ticks, const std::string& text,
                          const FormatCode& format) {
    if (!ticks) {
        throw BadInput("price text " + Quoted(text) + " has no tick price in code " +
                       std::to_string(format.Code()) + " (ticks run from " +
                       std::to_string(kMinTicks) + " to " + std::to_string(kMaxTicks) + ")");
    }
    return *ticks;
}

void RunPrice(const std::string& code, const std::vector<std::string>& ticks) {
    FormatCode format(code);
    Table table({"ticks", "display", "decimal", "ticks from display"}, 0);
    for (const std::string& text : ticks) {
        const long value = static_cast<long>(ParseInteger(text, kMinTicks, kMaxTicks, "ticks"));
        const std::string display = format.Display(value);
        table.Add({std::to_string(value), '"' + display + '"', FormatDouble(format.Decimal(value)),
                   std::to_string(format.FromText(display))});
    }
    Output out;
    out << table.Render();
    out.Finish();
}

void RunTicks(const std::string& code, const std::vector<std::string>& texts) {
    FormatCode format(code);
    Table table({"text", "ticks", "display of ticks"});
    for (const std::string& text : texts) {
        const std::int32_t ticks = RequireTicks(
            format.TicksOfDecimalText(text, "price text " + Quoted(text)), text, format);
        table.Add({'"' + text + '"', std::to_string(ticks), '"' + format.Display(ticks) + '"'});
    }
    Output out;
    out << table.Render();
    out.Finish();
}

void RunFormats() {
    Table table({"code", "divisor", "places", "1 tick", "1234 ticks", "-1234 ticks"}, 0);
    for (long code = Lumera::pfcFirst; code <= Lumera::pfcLast; ++code) {
        FormatCode format(code);
        table.Add({std::to_string(code), std::to_string(format.Divisor()),
                   std::to_string(format.DecimalPlaces()), '"' + format.Display(1) + '"',
                   '"' + format.Display(1234) + '"', '"' + format.Display(-1234) + '"'});
    }
    Output out;
    out << table.Render();
    out.Finish();
}

}  // namespace lmwire
