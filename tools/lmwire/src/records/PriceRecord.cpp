#include "records/PriceRecord.h"

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

#include "common/Errors.h"
#include "common/Text.h"

namespace lmwire {

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
        return Json::parse(PriceRecordJsonLine(Lumera::PriceRecordView(bytes.data())));
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
