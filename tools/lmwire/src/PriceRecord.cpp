#include "PriceRecord.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <tuple>
#include <vector>

#include "Errors.h"
#include "Text.h"

namespace lmwire {

namespace {

// Writes a line into a fixed buffer with no per-field allocation or bounds bookkeeping: a
// record's line has a known maximum length, and a capture decode spends its time here. The
// longest is the JSON line with every price at -2147483648 and every size at 65535: about 160
// bytes of keys, 9 numbers of up to 11 characters and 20 levels of 35, under 1000 in all.
constexpr std::size_t kLineCapacity = 2048;
class LineWriter {
  public:
    explicit LineWriter(char* at) : at_(at) {}
    char* End() const { return at_; }

    void Text(std::string_view text) {
        std::memcpy(at_, text.data(), text.size());
        at_ += text.size();
    }
    void Char(char c) { *at_++ = c; }
    void Int(std::int64_t value) { at_ = std::to_chars(at_, at_ + 24, value).ptr; }

    void Field(std::string_view name, std::int64_t value) {
        Text(name);
        Int(value);
    }
    template <class Level>
    void Depth(Level level) {
        for (int i = 0; i < kLevels; ++i) {
            const Lumera::PriceLevel at = level(i);
            Int(at.price);
            Char(':');
            Int(at.size);
            Char(i + 1 < kLevels ? ',' : ' ');
        }
    }
    template <class Level>
    void JsonDepth(Level level) {
        for (int i = 0; i < kLevels; ++i) {
            const Lumera::PriceLevel at = level(i);
            Text(i == 0 ? "[{\"Price\":" : ",{\"Price\":");
            Int(at.price);
            Text(",\"Size\":");
            Int(at.size);
            Char('}');
        }
        Char(']');
    }

  private:
    static constexpr int kLevels = Lumera::PriceRecordLayout::kLevels;
    char* at_;
};

// The two line forms differ only in their keys and separators.
struct LineStyle {
    std::array<std::string_view, 9> fields;  // each key with the separator before it
    std::string_view bids, asks, lastPriceText, end;
    bool json;
};

constexpr LineStyle kTextLine{{"PriceType=", " PriceFormatCode=", " LastSize=", " LumeraID=",
                               " LastPrice=", " TotalVolume=", " TimeStamp=", " High=", " Low="},
                              " Bids=",
                              "Asks=",
                              "LastPriceText=\"",
                              "\"\n",
                              false};
constexpr LineStyle kJsonLine{
    {"{\"PriceType\":", ",\"PriceFormatCode\":", ",\"LastSize\":", ",\"LumeraID\":",
     ",\"LastPrice\":", ",\"TotalVolume\":", ",\"TimeStamp\":", ",\"High\":", ",\"Low\":"},
    ",\"Bids\":",
    ",\"Asks\":",
    ",\"LastPriceText\":\"",
    "\"}\n",
    true};

// Display texts are at most a sign and a few dozen digits; anything outside printable ASCII
// (never seen from the table) is escaped as JSON requires.
void AppendJsonText(std::string& out, std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F || c == '"' || c == '\\') {
            out += Json(Cp1252ToUtf8(std::string(1, c))).dump().substr(1);
            out.pop_back();
        } else {
            out += c;
        }
    }
}

void AppendStyledLine(OriginalDisplay& display, const LineStyle& style,
                      Lumera::PriceRecordView record, std::string& out) {
    const std::int64_t values[] = {
        record.PriceType(), record.PriceFormatCode(), record.LastSize(),  record.LumeraID(),
        record.LastPrice(), record.TotalVolume(),     record.TimeStamp(), record.High(),
        record.Low()};
    static_assert(std::size(values) == std::tuple_size_v<decltype(style.fields)>);
    char line[kLineCapacity];
    LineWriter w(line);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        w.Field(style.fields[i], values[i]);
    }
    const auto bid = [record](int level) { return record.Bid(level); };
    const auto ask = [record](int level) { return record.Ask(level); };
    w.Text(style.bids);
    style.json ? w.JsonDepth(bid) : w.Depth(bid);
    w.Text(style.asks);
    style.json ? w.JsonDepth(ask) : w.Depth(ask);
    w.Text(style.lastPriceText);
    out.append(line, w.End());
    AppendJsonText(out, display.Text(record.PriceFormatCode(), record.LastPrice()));
    out += style.end;
}

}  // namespace

void PriceRecordLines::AppendLine(Lumera::PriceRecordView record, std::string& out) {
    AppendStyledLine(display_, kTextLine, record, out);
}

void PriceRecordLines::AppendJsonLine(Lumera::PriceRecordView record, std::string& out) {
    AppendStyledLine(display_, kJsonLine, record, out);
}

namespace {

struct Level {
    std::int32_t price;
    std::uint16_t size;
};
using Levels = std::vector<Level>;

Levels LevelsFrom(const Json& given, const char* name) {
    if (given.size() > Lumera::PriceRecordLayout::kLevels) {
        throw BadInput(std::string(name) + ": at most 10 levels, got " +
                       std::to_string(given.size()));
    }
    Levels levels;
    for (const Json& level : given) {
        levels.push_back({static_cast<std::int32_t>(level.at("Price").get<std::int64_t>()),
                          static_cast<std::uint16_t>(level.at("Size").get<std::int64_t>())});
    }
    return levels;
}

// The builder names a level out of its reach in its own words; encode names it by the field the
// user gave. Tried one level at a time, bid before ask at each depth, so that the reach rule
// stays the builder's.
std::optional<std::string> OutOfReach(std::int32_t last, const Levels& bids, const Levels& asks) {
    for (std::size_t i = 0; i < std::max(bids.size(), asks.size()); ++i) {
        for (const bool bid : {true, false}) {
            const Levels& side = bid ? bids : asks;
            if (i >= side.size()) {
                continue;
            }
            Lumera::PriceRecordBuilder alone;
            alone.LastPrice(last);
            const int level = static_cast<int>(i);
            if (bid) {
                alone.Bid(level, side[i].price, side[i].size);
            } else {
                alone.Ask(level, side[i].price, side[i].size);
            }
            try {
                alone.Bytes();
            } catch (const std::out_of_range&) {
                return Cat({bid ? "Bids[" : "Asks[", std::to_string(i), "].Price ",
                            std::to_string(side[i].price), " is out of reach of LastPrice ",
                            std::to_string(last), ": ", bid ? "bids" : "asks", " lie within ",
                            bid ? "-127..+128" : "-128..+127", " ticks of it"});
            }
        }
    }
    return std::nullopt;
}

}  // namespace

void AddPriceRecordKind(std::vector<Kind>& kinds) {
    const std::vector<Field> level = {Int32("Price"), Unsigned("Size", 16)};
    Kind kind{"price-record",
              "market-data price record, 86 bytes (a capture: many records back to back)",
              kPriceRecordSize,
              {Unsigned("PriceType", 8), Unsigned("PriceFormatCode", 8), Unsigned("LastSize", 16),
               Unsigned("LumeraID", 16), Int32("LastPrice"), Int32("TotalVolume"),
               Int32("TimeStamp"), Int32("High"), Int32("Low"), List("Bids", level),
               List("Asks", level), Derived(Text("LastPriceText", 0))},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, kPriceRecordSize);
        std::string line;
        PriceRecordLines().AppendJsonLine(Lumera::PriceRecordView(bytes.data()), line);
        return Json::parse(line);
    };
    kind.encode = [](const Json& values) {
        const auto get = [&values](const char* name) {
            return values.at(name).get<std::int64_t>();
        };
        const auto last = static_cast<std::int32_t>(get("LastPrice"));
        const Levels bids = LevelsFrom(values.at("Bids"), "Bids");
        const Levels asks = LevelsFrom(values.at("Asks"), "Asks");
        Lumera::PriceRecordBuilder builder;
        builder.PriceType(static_cast<std::uint8_t>(get("PriceType")))
            .PriceFormatCode(static_cast<std::uint8_t>(get("PriceFormatCode")))
            .LastSize(static_cast<std::uint16_t>(get("LastSize")))
            .LumeraID(static_cast<std::uint16_t>(get("LumeraID")))
            .LastPrice(last)
            .TotalVolume(static_cast<std::int32_t>(get("TotalVolume")))
            .TimeStamp(static_cast<std::int32_t>(get("TimeStamp")))
            .High(static_cast<std::int32_t>(get("High")))
            .Low(static_cast<std::int32_t>(get("Low")));
        // A level not given reads back as the last price with no size.
        for (std::size_t i = 0; i < bids.size(); ++i) {
            builder.Bid(static_cast<int>(i), bids[i].price, bids[i].size);
        }
        for (std::size_t i = 0; i < asks.size(); ++i) {
            builder.Ask(static_cast<int>(i), asks[i].price, asks[i].size);
        }
        try {
            const auto record = builder.Bytes();
            return Bytes(record.begin(), record.end());
        } catch (const std::out_of_range& error) {
            throw BadInput(OutOfReach(last, bids, asks).value_or(error.what()));
        }
    };
    kinds.push_back(std::move(kind));
}

}  // namespace lmwire
