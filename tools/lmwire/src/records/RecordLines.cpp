#include "records/RecordLines.h"

#include <charconv>
#include <cstring>
#include <utility>

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

// Writes into a buffer known to be large enough, without bounds bookkeeping.
class LineWriter {
  public:
    explicit LineWriter(char* at) : at_(at) {}
    char* End() const { return at_; }

    void Text(std::string_view text) {
        if (text.empty()) {
            return;  // its data may be null, which memcpy may not be given
        }
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void Char(char c) { *at_++ = c; }
    // Every number of a record fits 32 bits, whose conversion is the cheaper one.
    void Int(std::int32_t value) { at_ = std::to_chars(at_, at_ + 12, value).ptr; }
    // Zero-padded to `width` digits; value >= 0.
    void Padded(std::int64_t value, int width) {
        char digits[24];
        const char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
        for (auto length = end - digits; length < width; ++length) {
            Char('0');
        }
        Text(std::string_view(digits, static_cast<std::size_t>(end - digits)));
    }

  private:
    char* at_;
};

void WriteIsoTime(LineWriter& w, std::int64_t seconds, std::uint32_t fraction, int digits) {
    // Days since 1970 to a civil date (proleptic Gregorian), floor division for earlier times.
    std::int64_t days = seconds / 86400;
    std::int64_t second = seconds % 86400;
    if (second < 0) {
        second += 86400;
        days -= 1;
    }
    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    const std::int64_t day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
    const std::int64_t month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
    const std::int64_t year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    w.Padded(year, 4);
    w.Char('-');
    w.Padded(month, 2);
    w.Char('-');
    w.Padded(day, 2);
    w.Char('T');
    w.Padded(second / 3600, 2);
    w.Char(':');
    w.Padded(second / 60 % 60, 2);
    w.Char(':');
    w.Padded(second % 60, 2);
    if (digits > 0) {
        w.Char('.');
        w.Padded(fraction, digits);
    }
    w.Char('Z');
}

// The time stamp read in the chosen unit, split into whole seconds and a fraction.
void WriteTimeStamp(LineWriter& w, std::int32_t stamp, TimeUnit unit) {
    const std::int64_t perSecond = unit == TimeUnit::Seconds        ? 1
                                   : unit == TimeUnit::Milliseconds ? 1000
                                                                    : 1000000;
    std::int64_t seconds = stamp / perSecond;
    std::int64_t fraction = stamp % perSecond;
    if (fraction < 0) {
        fraction += perSecond;
        seconds -= 1;
    }
    WriteIsoTime(w, seconds, static_cast<std::uint32_t>(fraction),
                 unit == TimeUnit::Seconds        ? 0
                 : unit == TimeUnit::Milliseconds ? 3
                                                  : 6);
}

// Display texts are a sign, blanks and digits; anything outside printable ASCII (never seen
// from the table) is escaped as JSON requires.
void WriteJsonText(LineWriter& w, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            const std::string escaped = Json(Cp1252ToUtf8(std::string(1, c))).dump();
            w.Text(std::string_view(escaped).substr(1, escaped.size() - 2));
        } else {
            w.Char(c);
        }
    }
}

// The one-sign display text of every front end; valid until the next call on `room`.
std::string_view DisplayText(std::array<char, Lumera::price::kMaxDisplayLength>& room,
                             std::uint8_t code, std::int32_t ticks) {
    const char* end = Lumera::price::DisplayTo(room.data(), room.data() + room.size(), code, ticks);
    return {room.data(), end == nullptr ? 0 : static_cast<std::size_t>(end - room.data())};
}

void WriteCsvText(LineWriter& w, std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        w.Text(text);
        return;
    }
    w.Char('"');
    for (const char c : text) {
        w.Char(c);
        if (c == '"') {
            w.Char('"');
        }
    }
    w.Char('"');
}

// One side's levels; `before` is what comes before the side's list.
template <std::size_t Side>
void WriteSide(LineWriter& w, LineFormat format, const std::string& before,
               const unsigned char* record, std::int32_t last) {
    switch (format) {
        case LineFormat::Text:
            w.Text(before);
            for (int i = 0; i < kLevels; ++i) {
                const Lumera::PriceLevel at = LevelAt<Side>(record, last, i);
                w.Int(at.price);
                w.Char(':');
                w.Int(at.size);
                w.Char(i + 1 < kLevels ? ',' : ' ');
            }
            break;
        case LineFormat::Json:
            w.Text(before);
            for (int i = 0; i < kLevels; ++i) {
                const Lumera::PriceLevel at = LevelAt<Side>(record, last, i);
                w.Text(i == 0 ? JsonLevel<Side>::kFirst.View() : JsonLevel<Side>::kNext.View());
                w.Int(at.price);
                w.Text(JsonLevel<Side>::kSize.View());
                w.Int(at.size);
                w.Char('}');
            }
            w.Char(']');
            break;
        case LineFormat::Csv:
            for (int i = 0; i < kLevels; ++i) {
                const Lumera::PriceLevel at = LevelAt<Side>(record, last, i);
                w.Char(',');
                w.Int(at.price);
                w.Char(',');
                w.Int(at.size);
            }
            break;
    }
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
    LineWriter w(text);
    WriteIsoTime(w, seconds, fraction, digits);
    out.append(text, w.End());
}

PriceRecordLines::PriceRecordLines(LineFormat format, TimeUnit timeUnit)
    : format_(format), timeUnit_(timeUnit) {
    const std::string time = Lumera::Spell(kTimeName, Spelling::Json);
    const std::string lastPriceText = Lumera::Spell(kTextNames[0], Spelling::Json);
    for (std::size_t i = 0; i < kScalarCount; ++i) {
        const std::string key = Spelled(kScalarRows[i], Spelling::Json);
        switch (format_) {
            case LineFormat::Text:
                before_.push_back(Cat({i == 0 ? "" : " ", key, "="}));
                break;
            case LineFormat::Json:
                before_.push_back(Cat({i == 0 ? "\"" : ",\"", key, "\":"}));
                break;
            case LineFormat::Csv:
                before_.push_back(i == 0 ? "" : ",");
                break;
        }
    }
    for (std::size_t side = 0; side < 2; ++side) {
        const std::string key = Spelled(kPriceRows[side], Spelling::Json);
        sides_[side] = format_ == LineFormat::Text ? Cat({side == 0 ? " " : "", key, "="})
                                                   : Cat({",\"", key, "\":"});
    }
    switch (format_) {
        case LineFormat::Text:
            time_ = Cat({" ", time, "="});
            lastPriceText_ = Cat({lastPriceText, "=\""});
            break;
        case LineFormat::Json:
            time_ = Cat({",\"", time, "\":\""});
            lastPriceText_ = Cat({",\"", lastPriceText, "\":\""});
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
    const std::string sourcePort = std::to_string(capture.sourcePort);
    const std::string destinationPort = std::to_string(capture.destinationPort);
    switch (format_) {
        case LineFormat::Text: {
            // An IPv6 address is bracketed so that its port stands apart.
            const auto endpoint = [](const std::string& address, const std::string& port) {
                return address.find(':') == std::string::npos ? Cat({address, ":", port})
                                                              : Cat({"[", address, "]:", port});
            };
            return Cat({"CaptureTime=", time, " Source=", endpoint(capture.source, sourcePort),
                        " Destination=", endpoint(capture.destination, destinationPort), " "});
        }
        case LineFormat::Json:
            return Cat({"\"CaptureTime\":\"", time, "\",\"Source\":\"", capture.source,
                        "\",\"SourcePort\":", sourcePort, ",\"Destination\":\"",
                        capture.destination, "\",\"DestinationPort\":", destinationPort, ","});
        case LineFormat::Csv:
            break;
    }
    return Cat({time, ",", capture.source, ",", sourcePort, ",", capture.destination, ",",
                destinationPort, ","});
}

char* PriceRecordLines::Write(char* at, Lumera::PriceRecordView view,
                              std::string_view capturePrefix) {
    const unsigned char* record = view.data();
    const auto values = ScalarValues(record, std::make_index_sequence<kScalarCount>());
    LineWriter w(at);
    if (format_ == LineFormat::Json) {
        w.Char('{');
    }
    w.Text(capturePrefix);
    for (std::size_t i = 0; i < values.size(); ++i) {
        w.Text(before_[i]);
        w.Int(values[i]);
        if (i == kTimeStampIndex && timeUnit_ != TimeUnit::None) {
            w.Text(time_);
            WriteTimeStamp(w, values[i], timeUnit_);
            if (format_ == LineFormat::Json) {
                w.Char('"');
            }
        }
    }
    const std::int32_t last = IntegerAt<kLastPriceRow>(record);
    WriteSide<0>(w, format_, sides_[0], record, last);
    WriteSide<1>(w, format_, sides_[1], record, last);
    const std::uint8_t code = view.PriceFormatCode();
    std::array<char, Lumera::price::kMaxDisplayLength> room;
    switch (format_) {
        case LineFormat::Text:
            w.Text(lastPriceText_);
            w.Text(DisplayText(room, code, last));
            w.Text("\"\n");
            break;
        case LineFormat::Json:
            w.Text(lastPriceText_);
            WriteJsonText(w, DisplayText(room, code, last));
            w.Text("\"}\n");
            break;
        case LineFormat::Csv:
            for (const std::int32_t price :
                 {last, LevelAt<0>(record, last, 0).price, LevelAt<1>(record, last, 0).price}) {
                w.Char(',');
                WriteCsvText(w, DisplayText(room, code, price));
            }
            w.Char('\n');
            break;
    }
    return w.End();
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
