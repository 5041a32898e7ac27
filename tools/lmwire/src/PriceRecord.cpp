#include "PriceRecord.h"

#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <string_view>
#include <tuple>

#include "Errors.h"
#include "Text.h"

namespace lmwire {
namespace {

// The offset byte that puts a level at `price`: bids lie at last - s, asks at last + s, in
// 32-bit wrapping arithmetic as the record reads them.
unsigned char OffsetByte(std::int32_t last, std::int32_t price, bool bid, int level) {
    const auto lastBits = static_cast<std::uint32_t>(last);
    const auto priceBits = static_cast<std::uint32_t>(price);
    const auto s = static_cast<std::int32_t>(bid ? lastBits - priceBits : priceBits - lastBits);
    if (s < -128 || s > 127) {
        throw BadInput(std::string(bid ? "Bids" : "Asks") + "[" + std::to_string(level) +
                       "].Price " + std::to_string(price) + " is out of reach of LastPrice " +
                       std::to_string(last) + ": " + (bid ? "bids" : "asks") + " lie within " +
                       (bid ? "-127..+128" : "-128..+127") + " ticks of it");
    }
    return static_cast<unsigned char>(static_cast<std::int8_t>(s));
}

}  // namespace

void WritePriceRecord(const PriceFields& fields, unsigned char* record) {
    std::memset(record, 0, kPriceRecordSize);
    record[0] = fields.priceType;
    record[1] = fields.priceFormatCode;
    Lumera::StoreLittleEndian<std::uint16_t>(record + 2, fields.lastSize);
    Lumera::StoreLittleEndian<std::uint16_t>(record + 4, fields.lumeraID);
    Lumera::StoreLittleEndian<std::int32_t>(record + 6, fields.lastPrice);
    Lumera::StoreLittleEndian<std::int32_t>(record + 10, fields.totalVolume);
    Lumera::StoreLittleEndian<std::int32_t>(record + 14, fields.timeStamp);
    Lumera::StoreLittleEndian<std::int32_t>(record + 18, fields.high);
    Lumera::StoreLittleEndian<std::int32_t>(record + 22, fields.low);
    for (int i = 0; i < kDepthLevels; ++i) {
        record[26 + i] = OffsetByte(fields.lastPrice, fields.bids[i].price, true, i);
        Lumera::StoreLittleEndian<std::uint16_t>(record + 36 + 2 * i, fields.bids[i].size);
        record[56 + i] = OffsetByte(fields.lastPrice, fields.asks[i].price, false, i);
        Lumera::StoreLittleEndian<std::uint16_t>(record + 66 + 2 * i, fields.asks[i].size);
    }
}

void PriceRecordReader::Load(const unsigned char* record) {
    // Decode takes a mutable pointer; the record is copied rather than cast.
    std::memcpy(buffer_.data(), record, kPriceRecordSize);
    price_.Decode(buffer_.data());
}

PriceFields PriceRecordReader::Read(const unsigned char* record) {
    Load(record);
    PriceFields fields;
    fields.priceType = static_cast<std::uint8_t>(price_.GetPriceType());
    fields.priceFormatCode = static_cast<std::uint8_t>(price_.GetPriceFormatCode());
    fields.lastSize = price_.GetLastSize();
    fields.lumeraID = static_cast<std::uint16_t>(price_.GetLumeraID());
    fields.lastPrice = static_cast<std::int32_t>(price_.GetLastPrice());
    fields.totalVolume = static_cast<std::int32_t>(price_.GetTotalVolume());
    fields.timeStamp = static_cast<std::int32_t>(price_.GetTimeStamp());
    fields.high = static_cast<std::int32_t>(price_.GetHigh());
    fields.low = static_cast<std::int32_t>(price_.GetLow());
    for (short i = 0; i < kDepthLevels; ++i) {
        long price = 0;
        long size = 0;
        price_.GetBid(i, &price, &size);
        fields.bids[i] = {static_cast<std::int32_t>(price), static_cast<std::uint16_t>(size)};
        price_.GetAsk(i, &price, &size);
        fields.asks[i] = {static_cast<std::int32_t>(price), static_cast<std::uint16_t>(size)};
    }
    return fields;
}

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
    void Depth(const std::array<DepthLevel, kDepthLevels>& levels) {
        for (int i = 0; i < kDepthLevels; ++i) {
            Int(levels[i].price);
            Char(':');
            Int(levels[i].size);
            Char(i + 1 < kDepthLevels ? ',' : ' ');
        }
    }
    void JsonDepth(const std::array<DepthLevel, kDepthLevels>& levels) {
        for (int i = 0; i < kDepthLevels; ++i) {
            Text(i == 0 ? "[{\"Price\":" : ",{\"Price\":");
            Int(levels[i].price);
            Text(",\"Size\":");
            Int(levels[i].size);
            Char('}');
        }
        Char(']');
    }

  private:
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
void AppendJsonText(std::string& out, const std::string& text) {
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

void AppendStyledLine(PriceRecordReader& reader, const LineStyle& style,
                      const unsigned char* record, std::string& out) {
    const PriceFields f = reader.Read(record);
    const std::int64_t values[] = {f.priceType, f.priceFormatCode, f.lastSize,  f.lumeraID,
                                   f.lastPrice, f.totalVolume,     f.timeStamp, f.high,
                                   f.low};
    static_assert(std::size(values) == std::tuple_size_v<decltype(style.fields)>);
    char line[kLineCapacity];
    LineWriter w(line);
    for (std::size_t i = 0; i < std::size(values); ++i) {
        w.Field(style.fields[i], values[i]);
    }
    w.Text(style.bids);
    style.json ? w.JsonDepth(f.bids) : w.Depth(f.bids);
    w.Text(style.asks);
    style.json ? w.JsonDepth(f.asks) : w.Depth(f.asks);
    w.Text(style.lastPriceText);
    out.append(line, w.End());
    AppendJsonText(out, reader.DisplayText(f.lastPrice));
    out += style.end;
}

}  // namespace

void PriceRecordReader::AppendLine(const unsigned char* record, std::string& out) {
    AppendStyledLine(*this, kTextLine, record, out);
}

void PriceRecordReader::AppendJsonLine(const unsigned char* record, std::string& out) {
    AppendStyledLine(*this, kJsonLine, record, out);
}

namespace {

std::array<DepthLevel, kDepthLevels> DepthFrom(const Json& given, std::int32_t last,
                                               const char* name) {
    if (given.size() > kDepthLevels) {
        throw BadInput(std::string(name) + ": at most 10 levels, got " +
                       std::to_string(given.size()));
    }
    std::array<DepthLevel, kDepthLevels> levels{};
    for (std::size_t i = 0; i < kDepthLevels; ++i) {
        // A level not given sits at the last price with no size, as an offset byte of 0 reads.
        levels[i] =
            i < given.size()
                ? DepthLevel{static_cast<std::int32_t>(given[i].at("Price").get<std::int64_t>()),
                             static_cast<std::uint16_t>(given[i].at("Size").get<std::int64_t>())}
                : DepthLevel{last, 0};
    }
    return levels;
}

bool SameDepth(const std::array<DepthLevel, kDepthLevels>& a,
               const std::array<DepthLevel, kDepthLevels>& b) {
    for (int i = 0; i < kDepthLevels; ++i) {
        if (a[i].price != b[i].price || a[i].size != b[i].size) {
            return false;
        }
    }
    return true;
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
        PriceRecordReader().AppendJsonLine(bytes.data(), line);
        return Json::parse(line);
    };
    kind.encode = [](const Json& values) {
        const auto get = [&values](const char* name) {
            return values.at(name).get<std::int64_t>();
        };
        PriceFields fields;
        fields.priceType = static_cast<std::uint8_t>(get("PriceType"));
        fields.priceFormatCode = static_cast<std::uint8_t>(get("PriceFormatCode"));
        fields.lastSize = static_cast<std::uint16_t>(get("LastSize"));
        fields.lumeraID = static_cast<std::uint16_t>(get("LumeraID"));
        fields.lastPrice = static_cast<std::int32_t>(get("LastPrice"));
        fields.totalVolume = static_cast<std::int32_t>(get("TotalVolume"));
        fields.timeStamp = static_cast<std::int32_t>(get("TimeStamp"));
        fields.high = static_cast<std::int32_t>(get("High"));
        fields.low = static_cast<std::int32_t>(get("Low"));
        fields.bids = DepthFrom(values.at("Bids"), fields.lastPrice, "Bids");
        fields.asks = DepthFrom(values.at("Asks"), fields.lastPrice, "Asks");
        Bytes record(kPriceRecordSize);
        WritePriceRecord(fields, record.data());
        const PriceFields back = PriceRecordReader().Read(record.data());
        if (back.lastPrice != fields.lastPrice || back.lumeraID != fields.lumeraID ||
            back.high != fields.high || back.low != fields.low ||
            !SameDepth(back.bids, fields.bids) || !SameDepth(back.asks, fields.asks)) {
            throw std::logic_error("price record written by layout reads back differently");
        }
        return record;
    };
    kinds.push_back(std::move(kind));
}

}  // namespace lmwire
