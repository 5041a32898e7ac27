#include "records/RecordLines.h"

#include <charconv>
#include <cstring>

#include "common/Errors.h"
#include "common/Text.h"
#include "records/Kinds.h"
#include "wire_types/price/Price.h"

namespace lmwire {

std::array<std::int32_t, kScalarFields.size()> ScalarValues(Lumera::PriceRecordView record) {
    return {record.PriceType(), record.PriceFormatCode(), record.LastSize(),  record.LumeraID(),
            record.LastPrice(), record.TotalVolume(),     record.TimeStamp(), record.High(),
            record.Low()};
}

namespace {

constexpr int kLevels = Lumera::PriceRecordLayout::kLevels;
constexpr std::size_t kTimeStampIndex = 6;
static_assert(kScalarFields[kTimeStampIndex].key == "TimeStamp");

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
    for (std::size_t i = 0; i < kScalarFields.size(); ++i) {
        const std::string_view key = kScalarFields[i].key;
        switch (format_) {
            case LineFormat::Text:
                before_[i] = Cat({i == 0 ? "" : " ", key, "="});
                break;
            case LineFormat::Json:
                before_[i] = Cat({i == 0 ? "\"" : ",\"", key, "\":"});
                break;
            case LineFormat::Csv:
                // Appended: GCC 12 misreads assigning either of two literals (-Wrestrict).
                if (i != 0) {
                    before_[i] += ',';
                }
                break;
        }
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
    for (std::size_t i = 0; i < kScalarFields.size(); ++i) {
        add(kScalarFields[i].column);
        if (i == kTimeStampIndex && timeUnit_ != TimeUnit::None) {
            add(kTimeColumn);
        }
    }
    for (const std::string_view side : {"bid", "ask"}) {
        for (int level = 0; level < kLevels; ++level) {
            const std::string at = std::to_string(level);
            add(Cat({side, "_price_", at}));
            add(Cat({side, "_size_", at}));
        }
    }
    for (const FieldName& field : kTextFields) {
        add(field.column);
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

char* PriceRecordLines::Write(char* at, Lumera::PriceRecordView record,
                              std::string_view capturePrefix) {
    const auto values = ScalarValues(record);
    LineWriter w(at);
    if (format_ == LineFormat::Json) {
        w.Char('{');
    }
    w.Text(capturePrefix);
    for (std::size_t i = 0; i < values.size(); ++i) {
        w.Text(before_[i]);
        w.Int(values[i]);
        if (i == kTimeStampIndex && timeUnit_ != TimeUnit::None) {
            w.Text(format_ == LineFormat::Text   ? " TimeStampUTC="
                   : format_ == LineFormat::Json ? ",\"TimeStampUTC\":\""
                                                 : ",");
            WriteTimeStamp(w, record.TimeStamp(), timeUnit_);
            if (format_ == LineFormat::Json) {
                w.Char('"');
            }
        }
    }
    for (const bool bids : {true, false}) {
        switch (format_) {
            case LineFormat::Text:
                w.Text(bids ? " Bids=" : "Asks=");
                for (int i = 0; i < kLevels; ++i) {
                    const Lumera::PriceLevel at = bids ? record.Bid(i) : record.Ask(i);
                    w.Int(at.price);
                    w.Char(':');
                    w.Int(at.size);
                    w.Char(i + 1 < kLevels ? ',' : ' ');
                }
                break;
            case LineFormat::Json:
                w.Text(bids ? ",\"Bids\":" : ",\"Asks\":");
                for (int i = 0; i < kLevels; ++i) {
                    const Lumera::PriceLevel at = bids ? record.Bid(i) : record.Ask(i);
                    w.Text(i == 0 ? "[{\"Price\":" : ",{\"Price\":");
                    w.Int(at.price);
                    w.Text(",\"Size\":");
                    w.Int(at.size);
                    w.Char('}');
                }
                w.Char(']');
                break;
            case LineFormat::Csv:
                for (int i = 0; i < kLevels; ++i) {
                    const Lumera::PriceLevel at = bids ? record.Bid(i) : record.Ask(i);
                    w.Char(',');
                    w.Int(at.price);
                    w.Char(',');
                    w.Int(at.size);
                }
                break;
        }
    }
    const std::uint8_t code = record.PriceFormatCode();
    std::array<char, Lumera::price::kMaxDisplayLength> room;
    switch (format_) {
        case LineFormat::Text:
            w.Text("LastPriceText=\"");
            w.Text(DisplayText(room, code, record.LastPrice()));
            w.Text("\"\n");
            break;
        case LineFormat::Json:
            w.Text(",\"LastPriceText\":\"");
            WriteJsonText(w, DisplayText(room, code, record.LastPrice()));
            w.Text("\"}\n");
            break;
        case LineFormat::Csv:
            for (const std::int32_t price :
                 {record.LastPrice(), record.Bid(0).price, record.Ask(0).price}) {
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
