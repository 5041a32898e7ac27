#include "records/PriceRecord.h"

#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
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

std::string OutOfReachText(const Lumera::PriceOutOfReach& refused) {
    const bool bid = refused.Side() == Lumera::PriceOutOfReach::BookSide::Bid;
    return Cat({bid ? "Bids[" : "Asks[", std::to_string(refused.Level()), "].Price ",
                std::to_string(refused.Price()), " is out of reach of LastPrice ",
                std::to_string(refused.LastPrice()), ": ", bid ? "bids" : "asks", " lie within ",
                bid ? "-127..+128" : "-128..+127", " ticks of it"});
}

// The builder refuses the first level out of its reach with all bids before the asks; encode
// names the first depth by depth, the bid before the ask. So for a refused bid, the asks at
// shallower depths are tried on their own, and the reach rule stays the builder's.
std::string OutOfReach(const Lumera::PriceOutOfReach& refused, const Levels& asks) {
    if (refused.Side() == Lumera::PriceOutOfReach::BookSide::Bid) {
        Lumera::PriceRecordBuilder shallower;
        shallower.LastPrice(refused.LastPrice());
        for (int i = 0; i < refused.Level() && i < static_cast<int>(asks.size()); ++i) {
            shallower.Ask(i, asks[static_cast<std::size_t>(i)].price,
                          asks[static_cast<std::size_t>(i)].size);
        }
        try {
            static_cast<void>(shallower.Bytes());
        } catch (const Lumera::PriceOutOfReach& ask) {
            return OutOfReachText(ask);
        }
    }
    return OutOfReachText(refused);
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
        } catch (const Lumera::PriceOutOfReach& refused) {
            throw BadInput(OutOfReach(refused, asks));
        }
    };
    kinds.push_back(std::move(kind));
}

}  // namespace lmwire
