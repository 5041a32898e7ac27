#include "commands/PriceCommands.h"

#include <cstdint>
#include <iterator>
#include <limits>

#include <fmt/format.h>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Table.h"
#include "common/Text.h"
#include "io/Output.h"
#include "records/OriginalDisplay.h"

namespace lmwire {
namespace {

namespace price = Lumera::price;

constexpr std::int64_t kMinTicks = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMaxTicks = std::numeric_limits<std::int32_t>::max();

std::string Quote(std::string_view display) {
    return fmt::format("\"{}\"", display);
}

std::string CodeNumber(const price::FormatInfo& format) {
    return std::to_string(format.code);
}

// Every decimal reading of a text ends here, so that its range is checked in one place.
std::int32_t RequireDecimalTicks(const price::FormatInfo& format, const std::string& text) {
    const std::optional<std::int32_t> ticks =
        TicksOfDecimalText(format, text, "price text " + Quoted(text));
    if (!ticks) {
        throw BadInput(
            fmt::format("price text {} has no tick price in code {} (ticks run from {} to {})",
                        Quoted(text), CodeNumber(format), kMinTicks, kMaxTicks));
    }
    return *ticks;
}

std::int32_t RequireDisplayTicks(const price::FormatInfo& format, const std::string& text) {
    const std::optional<std::int32_t> ticks = price::Parse(format.code, text);
    if (!ticks) {
        throw BadInput("price text " + Quoted(text) + " is not a display text of code " +
                       CodeNumber(format) + " (--as-decimal reads a decimal number)");
    }
    return *ticks;
}

}  // namespace

const price::FormatInfo& RequireFormat(const std::string& code) {
    const auto number = ParseInteger(code, kMinTicks, kMaxTicks, "price format code");
    const price::FormatInfo* format = price::Find(static_cast<long>(number));
    if (format == nullptr) {
        throw BadInput(fmt::format("unknown price format code {} (codes are {} to {})", number,
                                   price::begin()->code, std::prev(price::end())->code));
    }
    return *format;
}

std::optional<std::int32_t> TicksOfDecimalText(const price::FormatInfo& format,
                                               const std::string& given, const std::string& what) {
    std::string_view text = given;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    const double value = ParseDouble(text, what);
    // The original's product and bounds: truncation keeps (-2^31 - 1, 2^31) in range, and NaN
    // fails both comparisons.
    const double product = static_cast<double>(format.ticksPerUnit) * value;
    if (!(product > -2147483649.0 && product < 2147483648.0)) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(product);
}

void RunPrice(const std::string& code, const std::vector<std::string>& ticks,
              bool originalDisplay) {
    const price::FormatInfo& format = RequireFormat(code);
    const auto wireCode = static_cast<std::uint8_t>(format.code);
    OriginalDisplay original;
    std::vector<std::string> header = {"ticks", "display", "decimal", "ticks from display"};
    if (originalDisplay) {
        header.insert(header.begin() + 2, "original display");
    }
    Table table(std::move(header), 0);
    for (const std::string& text : ticks) {
        const auto value =
            static_cast<std::int32_t>(ParseInteger(text, kMinTicks, kMaxTicks, "ticks"));
        const std::string display = price::Display(format.code, value);
        std::vector<std::string> row = {std::to_string(value), Quote(display),
                                        FormatDouble(price::ToDecimal(format.code, value)),
                                        std::to_string(original.ReadBack(wireCode, display))};
        if (originalDisplay) {
            row.insert(row.begin() + 2, Quote(original.Text(wireCode, value)));
        }
        table.Add(std::move(row));
    }
    Output out;
    out << table.Render();
    out.Finish();
}

void RunTicks(const std::string& code, const std::vector<std::string>& texts, bool asDecimal) {
    const price::FormatInfo& format = RequireFormat(code);
    Table table({"text", "ticks", "display of ticks"});
    for (const std::string& text : texts) {
        const std::int32_t ticks =
            asDecimal ? RequireDecimalTicks(format, text) : RequireDisplayTicks(format, text);
        table.Add({Quote(text), std::to_string(ticks), Quote(price::Display(format.code, ticks))});
    }
    Output out;
    out << table.Render();
    out.Finish();
}

void RunFormats(bool originalDisplay) {
    OriginalDisplay original;
    std::vector<std::string> header = {"code",   "divisor",    "places",
                                       "1 tick", "1234 ticks", "-1234 ticks"};
    if (originalDisplay) {
        header.push_back("original display");
    }
    Table table(std::move(header), 0);
    for (const price::FormatInfo* format = price::begin(); format != price::end(); ++format) {
        std::vector<std::string> row = {CodeNumber(*format),
                                        std::to_string(format->ticksPerUnit),
                                        std::to_string(format->decimalPlaces),
                                        Quote(price::Display(format->code, 1)),
                                        Quote(price::Display(format->code, 1234)),
                                        Quote(price::Display(format->code, -1234))};
        if (originalDisplay) {
            // Of the samples, only the negative one is written otherwise by the original.
            row.push_back(Quote(original.Text(static_cast<std::uint8_t>(format->code), -1234)));
        }
        table.Add(std::move(row));
    }
    Output out;
    out << table.Render();
    out.Finish();
}

}  // namespace lmwire
