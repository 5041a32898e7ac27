#include "records/RecordLines.h"

#include <chrono>
#include <utility>

#include <fmt/compile.h>
#include <fmt/format.h>

#include "common/Errors.h"
#include "common/Text.h"
#include "records/Kinds.h"
#include "wire_types/price/Price.h"
#include "wire_types/support/FieldValues.h"

namespace lmwire {

namespace {

// The record's table, walked at compile time, so that a line costs what reading the record
// through its view costs.
using Lumera::FieldKind;
using Lumera::Spelling;
constexpr const Lumera::FieldTable& kTable = Lumera::PriceRecordLayout::kFields;

constexpr bool IsScalar(const Lumera::WireField& row) {
    return row.kind == FieldKind::Signed || row.kind == FieldKind::Unsigned;
}

constexpr bool SameName(const char* a, const char* b) {
    while (*a != '\0' && *a == *b) {
        ++a;
        ++b;
    }
    return *a == *b;
}

// Rows of the table: of a kind (the scalars, one side's depth prices or sizes) or of a name.
template <std::size_t N, class Pick>
constexpr std::array<std::size_t, N> Rows(Pick pick) {
    std::array<std::size_t, N> rows{};
    std::size_t found = 0;
    for (std::size_t at = 0; at < kTable.count; ++at) {
        if (pick(kTable.first[at])) {
            rows.at(found++) = at;
        }
    }
    return found == N ? rows : throw "the price record's table changed shape";
}

constexpr std::size_t Count(bool (*pick)(const Lumera::WireField&)) {
    std::size_t found = 0;
    for (const Lumera::WireField& row : kTable) {
        found += pick(row) ? 1 : 0;
    }
    return found;
}

constexpr std::size_t kScalarCount = Count(IsScalar);
constexpr auto kScalarRows = Rows<kScalarCount>(IsScalar);
// One side each, bids (below the last price) first as the table has them.
constexpr auto kPriceRows =
    Rows<2>([](const Lumera::WireField& row) { return row.kind == FieldKind::DepthPrice; });
constexpr auto kSizeRows =
    Rows<2>([](const Lumera::WireField& row) { return row.kind == FieldKind::DepthSize; });
static_assert(SameName(kTable.first[kPriceRows[0]].name, kTable.first[kSizeRows[0]].name) &&
              SameName(kTable.first[kPriceRows[1]].name, kTable.first[kSizeRows[1]].name) &&
              kTable.first[kPriceRows[0]].direction < 0);
constexpr int kLevels = kTable.first[kPriceRows[0]].count;

// The scalars the line treats apart: the depth prices move from the last price, and the time
// stamp may be followed by its ISO 8601 form.
constexpr std::size_t kLastPriceRow =
    Rows<1>([](const Lumera::WireField& row) { return SameName(row.name, "LastPrice"); })[0];
constexpr std::size_t ScalarIndex(const char* name) {
    for (std::size_t i = 0; i < kScalarCount; ++i) {
        if (SameName(kTable.first[kScalarRows[i]].name, name)) {
            return i;
        }
    }
    throw "no such scalar";
}
constexpr std::size_t kTimeStampIndex = ScalarIndex("TimeStamp");

template <std::size_t Row>
std::int32_t IntegerAt(const unsigned char* record) {
    constexpr Lumera::WireField row = kTable.first[Row];
    return static_cast<std::int32_t>(Lumera::ReadInteger(row, record));
}

template <std::size_t... I>
std::array<std::int32_t, kScalarCount> ScalarValues(const unsigned char* record,
                                                    std::index_sequence<I...>) {
    return {IntegerAt<kScalarRows[I]>(record)...};
}

template <std::size_t Side>
Lumera::PriceLevel LevelAt(const unsigned char* record, std::int32_t last, int level) {
    constexpr Lumera::WireField price = kTable.first[kPriceRows[Side]];
    constexpr Lumera::WireField size = kTable.first[kSizeRows[Side]];
    return {Lumera::LevelPrice(price, record, last, level),
            static_cast<std::uint16_t>(Lumera::ReadInteger(size, record, level))};
}

std::string Spelled(std::size_t row, Spelling spelling, int level = Lumera::kAllLevels) {
    return Lumera::Spell(kTable.first[row], spelling, level);
}

// Text spelled at compile time, so that the JSON keys written for every level of every record
// are stores of known length.
struct Composed {
    char text[32] = {};
    std::size_t size = 0;

    constexpr Composed& operator+(const char* part) {
        while (*part != '\0') {
            text[size++] = *part++;
        }
        return *this;
    }
    std::string_view View() const { return {text, size}; }
};

// The key of a level's price or size within a side's list: "Price" of "Bids[0].Price".
constexpr Composed LevelKey(std::size_t row) {
    Composed spelled;
    spelled.size = static_cast<std::size_t>(
        Lumera::SpellTo(spelled.text, spelled.text + 31, kTable.first[row], Spelling::Json, 0) -
        spelled.text);
    std::size_t dot = spelled.size;
    while (spelled.text[dot - 1] != '.') {
        --dot;
    }
    Composed key;
    return key + (spelled.text[spelled.size] = '\0', spelled.text + dot);
}

template <std::size_t Side>
struct JsonLevel {
    static constexpr Composed kFirst =
        Composed{} + "[{\"" + LevelKey(kPriceRows[Side]).text + "\":";
    static constexpr Composed kNext = Composed{} + ",{\"" + LevelKey(kPriceRows[Side]).text + "\":";
    static constexpr Composed kSize = Composed{} + ",\"" + LevelKey(kSizeRows[Side]).text + "\":";
};

// Every piece of a line is written by {fmt}, its format compiled with the program, straight into
// a buffer known to be large enough: no bounds bookkeeping, no allocation.
char* Put(char* out, std::string_view text) {
    // An empty view may have no data at all, which the copy underneath must not be given.
    return text.empty() ? out : fmt::format_to(out, FMT_COMPILE("{}"), text);
}

// The civil date of <chrono>, whose years end at 32767: whole 400-year cycles of the calendar
// (146097 days each) are taken out first and added back, so that any capture time is written.
char* WriteIsoTime(char* out, std::int64_t seconds, std::uint32_t fraction, int digits) {
    using namespace std::chrono;
    const sys_seconds time{std::chrono::seconds(seconds)};
    const sys_days day = floor<days>(time);
    const hh_mm_ss clock(time - day);
    constexpr std::int64_t kCycle = 146097;
    const std::int64_t count = day.time_since_epoch().count();
    const std::int64_t cycles = (count >= 0 ? count : count - kCycle + 1) / kCycle;
    const year_month_day date{sys_days{days{count - cycles * kCycle}}};
    // The year filled, not sign-aware zero-padded: a year before 0 reads as it always has.
    out = fmt::format_to(out, FMT_COMPILE("{:0>4}-{:02}-{:02}T{:02}:{:02}:{:02}"),
                         static_cast<int>(date.year()) + cycles * 400,
                         static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                         clock.hours().count(), clock.minutes().count(), clock.seconds().count());
    if (digits > 0) {
        out = fmt::format_to(out, FMT_COMPILE(".{:0{}}"), fraction, digits);
    }
    *out++ = 'Z';
    return out;
}

// The time stamp read in the chosen unit, split into whole seconds and a fraction.
char* WriteTimeStamp(char* out, std::int32_t stamp, TimeUnit unit) {
    const std::int64_t perSecond = unit == TimeUnit::Seconds        ? 1
                                   : unit == TimeUnit::Milliseconds ? 1000
                                                                    : 1000000;
    std::int64_t seconds = stamp / perSecond;
    std::int64_t fraction = stamp % perSecond;
    if (fraction < 0) {
        fraction += perSecond;
        seconds -= 1;
    }
    return WriteIsoTime(out, seconds, static_cast<std::uint32_t>(fraction),
                        unit == TimeUnit::Seconds        ? 0
                        : unit == TimeUnit::Milliseconds ? 3
                                                         : 6);
}

// Display texts are a sign, blanks and digits; anything outside printable ASCII (never seen
// from the table) is escaped as JSON requires.
char* WriteJsonText(char* out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            const std::string escaped = Json(Cp1252ToUtf8(std::string(1, c))).dump();
            out = Put(out, std::string_view(escaped).substr(1, escaped.size() - 2));
        } else {
            *out++ = c;
        }
    }
    return out;
}

// The one-sign display text of every front end; valid until the next call on `room`.
std::string_view DisplayText(std::array<char, Lumera::price::kMaxDisplayLength>& room,
                             std::uint8_t code, std::int32_t ticks) {
    const char* end = Lumera::price::DisplayTo(room.data(), room.data() + room.size(), code, ticks);
    return {room.data(), end == nullptr ? 0 : static_cast<std::size_t>(end - room.data())};
}

char* WriteCsvText(char* out, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return Put(out, text);
    }
    *out++ = '"';
    for (const char c : text) {
        *out++ = c;
        if (c == '"') {
            *out++ = '"';
        }
    }
    *out++ = '"';
    return out;
}

// One side's levels; `before` is what comes before the side's list.
template <std::size_t Side>
char* WriteSide(char* out, LineFormat format, const std::string& before,
                const unsigned char* record, std::int32_t last) {
    switch (format) {
        case LineFormat::Text:
            out = Put(out, before);
            for (int i = 0; i < kLevels; ++i) {
                const Lumera::PriceLevel at = LevelAt<Side>(record, last, i);
                out = fmt::format_to(out, FMT_COMPILE("{}:{}{}"), at.price, at.size,
                                     i + 1 < kLevels ? ',' : ' ');
            }
            return out;
        case LineFormat::Json:
            out = Put(out, before);
            for (int i = 0; i < kLevels; ++i) {
                const Lumera::PriceLevel at = LevelAt<Side>(record, last, i);
                out = fmt::format_to(
                    out, FMT_COMPILE("{}{}{}{}}}"),
                    i == 0 ? JsonLevel<Side>::kFirst.View() : JsonLevel<Side>::kNext.View(),
                    at.price, JsonLevel<Side>::kSize.View(), at.size);
            }
            *out++ = ']';
            return out;
        case LineFormat::Csv:
            for (int i = 0; i < kLevels; ++i) {
                const Lumera::PriceLevel at = LevelAt<Side>(record, last, i);
                out = fmt::format_to(out, FMT_COMPILE(",{},{}"), at.price, at.size);
            }
            return out;
    }
    return out;
}

}  // namespace

LineFormat FormatOf(bool json, bool csv) {
    if (json && csv) {
        throw BadInput("--json and --csv: choose one");
    }
    return json ? LineFormat::Json : csv ? LineFormat::Csv : LineFormat::Text;
}

TimeUnit ParseTimeUnit(const std::string& unit) {
    if (unit.empty()) {
        return TimeUnit::None;
    }
    if (unit == "s") {
        return TimeUnit::Seconds;
    }
    if (unit == "ms") {
        return TimeUnit::Milliseconds;
    }
    if (unit == "us") {
        return TimeUnit::Microseconds;
    }
    throw BadInput("--time-unit " + Quoted(unit) + ": expected s, ms or us");
}

void AppendIsoTime(std::string& out, std::int64_t seconds, std::uint32_t fraction, int digits) {
    char text[64];
    out.append(text, WriteIsoTime(text, seconds, fraction, digits));
}

PriceRecordLines::PriceRecordLines(LineFormat format, TimeUnit timeUnit)
    : format_(format), timeUnit_(timeUnit) {
    const std::string time = Lumera::Spell(kTimeName, Spelling::Json);
    const std::string lastPriceText = Lumera::Spell(kTextNames[0], Spelling::Json);
    for (std::size_t i = 0; i < kScalarCount; ++i) {
        const std::string key = Spelled(kScalarRows[i], Spelling::Json);
        switch (format_) {
            case LineFormat::Text:
                before_.push_back(fmt::format("{}{}=", i == 0 ? "" : " ", key));
                break;
            case LineFormat::Json:
                before_.push_back(fmt::format("{}\"{}\":", i == 0 ? "" : ",", key));
                break;
            case LineFormat::Csv:
                before_.push_back(i == 0 ? "" : ",");
                break;
        }
    }
    for (std::size_t side = 0; side < 2; ++side) {
        const std::string key = Spelled(kPriceRows[side], Spelling::Json);
        sides_[side] = format_ == LineFormat::Text ? fmt::format("{}{}=", side == 0 ? " " : "", key)
                                                   : fmt::format(",\"{}\":", key);
    }
    switch (format_) {
        case LineFormat::Text:
            time_ = fmt::format(" {}=", time);
            lastPriceText_ = fmt::format("{}=\"", lastPriceText);
            break;
        case LineFormat::Json:
            time_ = fmt::format(",\"{}\":\"", time);
            lastPriceText_ = fmt::format(",\"{}\":\"", lastPriceText);
            break;
        case LineFormat::Csv:
            time_ = ",";
            break;
    }
}

std::string PriceRecordLines::Header(bool capture) const {
    if (format_ != LineFormat::Csv) {
        return "";
    }
    std::string header;
    const auto add = [&header](std::string_view column) {
        if (!header.empty()) {
            header += ',';
        }
        header += column;
    };
    if (capture) {
        for (const FieldName& field : kCaptureFields) {
            add(field.column);
        }
    }
    for (std::size_t i = 0; i < kScalarCount; ++i) {
        add(Spelled(kScalarRows[i], Spelling::Snake));
        if (i == kTimeStampIndex && timeUnit_ != TimeUnit::None) {
            add(Lumera::Spell(kTimeName, Spelling::Snake));
        }
    }
    for (std::size_t side = 0; side < 2; ++side) {
        for (int level = 0; level < kLevels; ++level) {
            add(Spelled(kPriceRows[side], Spelling::Snake, level));
            add(Spelled(kSizeRows[side], Spelling::Snake, level));
        }
    }
    for (const char* name : kTextNames) {
        add(Lumera::Spell(name, Spelling::Snake));
    }
    header += '\n';
    return header;
}

std::string PriceRecordLines::CapturePrefix(const CaptureInfo& capture) const {
    std::string time;
    AppendIsoTime(time, capture.seconds, capture.microseconds, 6);
    const CaptureInfo& c = capture;
    switch (format_) {
        case LineFormat::Text: {
            // An IPv6 address is bracketed so that its port stands apart.
            const auto endpoint = [](const std::string& address, std::uint16_t port) {
                return address.find(':') == std::string::npos
                           ? fmt::format("{}:{}", address, port)
                           : fmt::format("[{}]:{}", address, port);
            };
            return fmt::format("CaptureTime={} Source={} Destination={} ", time,
                               endpoint(c.source, c.sourcePort),
                               endpoint(c.destination, c.destinationPort));
        }
        case LineFormat::Json:
            return fmt::format(
                "\"CaptureTime\":\"{}\",\"Source\":\"{}\",\"SourcePort\":{},\"Destination\":\"{}\","
                "\"DestinationPort\":{},",
                time, c.source, c.sourcePort, c.destination, c.destinationPort);
        case LineFormat::Csv:
            break;
    }
    return fmt::format("{},{},{},{},{},", time, c.source, c.sourcePort, c.destination,
                       c.destinationPort);
}

char* PriceRecordLines::Write(char* at, Lumera::PriceRecordView view,
                              std::string_view capturePrefix) {
    const unsigned char* record = view.data();
    const auto values = ScalarValues(record, std::make_index_sequence<kScalarCount>());
    char* out = at;
    if (format_ == LineFormat::Json) {
        *out++ = '{';
    }
    out = Put(out, capturePrefix);
    for (std::size_t i = 0; i < values.size(); ++i) {
        out = fmt::format_to(out, FMT_COMPILE("{}{}"), before_[i], values[i]);
        if (i == kTimeStampIndex && timeUnit_ != TimeUnit::None) {
            out = WriteTimeStamp(Put(out, time_), values[i], timeUnit_);
            if (format_ == LineFormat::Json) {
                *out++ = '"';
            }
        }
    }
    const std::int32_t last = IntegerAt<kLastPriceRow>(record);
    out = WriteSide<0>(out, format_, sides_[0], record, last);
    out = WriteSide<1>(out, format_, sides_[1], record, last);
    const std::uint8_t code = view.PriceFormatCode();
    std::array<char, Lumera::price::kMaxDisplayLength> room;
    switch (format_) {
        case LineFormat::Text:
            return Put(Put(Put(out, lastPriceText_), DisplayText(room, code, last)), "\"\n");
        case LineFormat::Json:
            return Put(WriteJsonText(Put(out, lastPriceText_), DisplayText(room, code, last)),
                       "\"}\n");
        case LineFormat::Csv:
            for (const std::int32_t price :
                 {last, LevelAt<0>(record, last, 0).price, LevelAt<1>(record, last, 0).price}) {
                *out++ = ',';
                out = WriteCsvText(out, DisplayText(room, code, price));
            }
            *out++ = '\n';
            break;
    }
    return out;
}

void PriceRecordLines::Append(Lumera::PriceRecordView record, std::string& out,
                              std::string_view capturePrefix) {
    char line[kMaxLine];
    out.append(line, Write(line, record, capturePrefix));
}

std::string PriceRecordJsonLine(Lumera::PriceRecordView record) {
    std::string line;
    PriceRecordLines(LineFormat::Json).Append(record, line);
    return line;
}

}  // namespace lmwire
