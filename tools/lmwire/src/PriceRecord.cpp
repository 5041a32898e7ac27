#include "PriceRecord.h"

#include <cstring>

#include "Errors.h"
#include "Text.h"

namespace lmwire {
namespace {

void Put16(unsigned char* at, std::uint16_t value) {
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void Put32(unsigned char* at, std::int32_t value) {
    const auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<unsigned char>(bits >> (8 * i));
    }
}

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
    Put16(record + 2, fields.lastSize);
    Put16(record + 4, fields.lumeraID);
    Put32(record + 6, fields.lastPrice);
    Put32(record + 10, fields.totalVolume);
    Put32(record + 14, fields.timeStamp);
    Put32(record + 18, fields.high);
    Put32(record + 22, fields.low);
    for (int i = 0; i < kDepthLevels; ++i) {
        record[26 + i] = OffsetByte(fields.lastPrice, fields.bids[i].price, true, i);
        Put16(record + 36 + 2 * i, fields.bids[i].size);
        record[56 + i] = OffsetByte(fields.lastPrice, fields.asks[i].price, false, i);
        Put16(record + 66 + 2 * i, fields.asks[i].size);
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

void AppendField(std::string& out, const char* name, std::int64_t value) {
    out += name;
    out += '=';
    AppendInteger(out, value);
    out += ' ';
}

void AppendDepth(std::string& out, const char* name,
                 const std::array<DepthLevel, kDepthLevels>& levels) {
    out += name;
    out += '=';
    for (int i = 0; i < kDepthLevels; ++i) {
        AppendInteger(out, levels[i].price);
        out += ':';
        AppendInteger(out, levels[i].size);
        out += i + 1 < kDepthLevels ? ',' : ' ';
    }
}

Json DepthJson(const std::array<DepthLevel, kDepthLevels>& levels) {
    Json side = Json::array();
    for (const DepthLevel& level : levels) {
        side.push_back({{"Price", level.price}, {"Size", level.size}});
    }
    return side;
}

}  // namespace

void PriceRecordReader::AppendLine(const unsigned char* record, std::string& out) {
    const PriceFields f = Read(record);
    AppendField(out, "PriceType", f.priceType);
    AppendField(out, "PriceFormatCode", f.priceFormatCode);
    AppendField(out, "LastSize", f.lastSize);
    AppendField(out, "LumeraID", f.lumeraID);
    AppendField(out, "LastPrice", f.lastPrice);
    AppendField(out, "TotalVolume", f.totalVolume);
    AppendField(out, "TimeStamp", f.timeStamp);
    AppendField(out, "High", f.high);
    AppendField(out, "Low", f.low);
    AppendDepth(out, "Bids", f.bids);
    AppendDepth(out, "Asks", f.asks);
    out += "LastPriceText=\"";
    out += price_.PriceFromTicks(f.lastPrice);
    out += "\"\n";
}

Json PriceRecordReader::ToJson(const unsigned char* record) {
    const PriceFields f = Read(record);
    return Json{{"PriceType", f.priceType},
                {"PriceFormatCode", f.priceFormatCode},
                {"LastSize", f.lastSize},
                {"LumeraID", f.lumeraID},
                {"LastPrice", f.lastPrice},
                {"TotalVolume", f.totalVolume},
                {"TimeStamp", f.timeStamp},
                {"High", f.high},
                {"Low", f.low},
                {"Bids", DepthJson(f.bids)},
                {"Asks", DepthJson(f.asks)},
                {"LastPriceText", Cp1252ToUtf8(price_.PriceFromTicks(f.lastPrice))}};
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
        levels[i] = i < given.size()
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
              {Unsigned("PriceType", 8), Unsigned("PriceFormatCode", 8),
               Unsigned("LastSize", 16), Unsigned("LumeraID", 16), Int32("LastPrice"),
               Int32("TotalVolume"), Int32("TimeStamp"), Int32("High"), Int32("Low"),
               List("Bids", level), List("Asks", level), Derived(Text("LastPriceText", 0))},
              {},
              {}};
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, kPriceRecordSize);
        return PriceRecordReader().ToJson(bytes.data());
    };
    kind.encode = [](const Json& values) {
        const auto get = [&values](const char* name) { return values.at(name).get<std::int64_t>(); };
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
