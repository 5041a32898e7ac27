#include "commands/PriceCommands.h"

#include <cstdint>
#include <iterator>
#include <limits>

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
    return Cat({"\"", display, "\""});
}

std::string CodeNumber(const price::FormatInfo& format) {
    return std::to_string(format.code);
}

// Every decimal reading of a text ends here, so that its range is checked in one place.
std::int32_t RequireDecimalTicks(const price::FormatInfo& format, const std::string& text) {
    const std::optional<std::int32_t> ticks =
        TicksOfDecimalText(format, text, "price text " + Quoted(text));
    if (!ticks) {
        throw BadInput("price text " + Quoted(text) + " has no tick price in code " +
                       CodeNumber(format) + " (ticks run from " + std::to_string(kMinTicks) +
                       " to " + std::to_string(kMaxTicks) + ")");
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
        throw BadInput("unknown price format code " + std::to_string(number) + " (codes are " +
                       std::to_string(price::begin()->code) + " to " +
                       std::to_string(std::prev(price::end())->code) + ")");
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

void RunPrice(const std::string& code, const std::vector<std::string>& ticks) {
    const price::FormatInfo& format = RequireFormat(code);
    const auto wireCode = static_cast<std::uint8_t>(format.code);
    OriginalDisplay original;
    // The one-sign display gets a column only when some row needs it, so that the table of
    // prices >= 0 stays as it has always been.
    std::vector<std::vector<std::string>> rows;
    bool oneSignColumn = false;
    for (const std::string& text : ticks) {
        const auto value =
            static_cast<std::int32_t>(ParseInteger(text, kMinTicks, kMaxTicks, "ticks"));
        const std::string display(original.Text(wireCode, value));
        const std::string oneSign = price::Display(format.code, value);
        oneSignColumn = oneSignColumn || oneSign != display;
        rows.push_back({std::to_string(value), Quote(display),
                        oneSign != display ? Quote(oneSign) : std::string(),
                        FormatDouble(price::ToDecimal(format.code, value)),
                        std::to_string(original.ReadBack(wireCode, display))});
    }
    std::vector<std::string> header = {"ticks", "display", "one-sign display", "decimal",
                                       "ticks from display"};
    if (!oneSignColumn) {
        header.erase(header.begin() + 2);
        for (std::vector<std::string>& row : rows) {
            row.erase(row.begin() + 2);
        }
    }
    Table table(std::move(header), 0);
    for (std::vector<std::string>& row : rows) {
        table.Add(std::move(row));
    }
    Output out;
    out << table.Render();
    out.Finish();
}

void RunTicks(const std::string& code, const std::vector<std::string>& texts, bool asDecimal) {
    const price::FormatInfo& format = RequireFormat(code);
    OriginalDisplay original;
    Table table({"text", "ticks", "display of ticks"});
    for (const std::string& text : texts) {
        // A decimal reading shows the original text of its result, as it always has; an exact
        // reading shows the text it inverts.
        const std::int32_t ticks =
            asDecimal ? RequireDecimalTicks(format, text) : RequireDisplayTicks(format, text);
        const std::string display =
            asDecimal ? std::string(original.Text(static_cast<std::uint8_t>(format.code), ticks))
                      : price::Display(format.code, ticks);
        table.Add({Quote(text), std::to_string(ticks), Quote(display)});
    }
    Output out;
    out << table.Render();
    out.Finish();
}

void RunFormats() {
    OriginalDisplay original;
    Table table({"code", "divisor", "places", "1 tick", "1234 ticks", "-1234 ticks"}, 0);
    for (const price::FormatInfo* format = price::begin(); format != price::end(); ++format) {
        table.Add({CodeNumber(*format), std::to_string(format->ticksPerUnit),
                   std::to_string(format->decimalPlaces), Quote(price::Display(format->code, 1)),
                   Quote(price::Display(format->code, 1234)),
                   Quote(original.Text(static_cast<std::uint8_t>(format->code), -1234))});
    }
    Output out;
    out << table.Render();
    out.Finish();
}

}  // namespace lmwire
