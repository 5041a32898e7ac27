#include "records/PriceRecord.h"

#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <string_view>
#include <tuple>
#include <vector>

#include <fmt/format.h>

#include "common/Errors.h"
#include "common/Text.h"
#include "records/TableFields.h"

namespace lmwire {

namespace {

using Lumera::FieldKind;
constexpr const Lumera::FieldTable& kTable = Lumera::PriceRecordLayout::kFields;
// The scalar the depth prices are offsets from.
constexpr const char* kLastPrice = "LastPrice";

struct Level {
    std::int32_t price;
    std::uint16_t size;
};
using Levels = std::vector<Level>;

// A side's levels as encode was given them; its list holds {price, size} elements.
Levels LevelsFrom(const Field& list, const Json& values) {
    const Json& given = values.at(list.name);
    if (given.size() > static_cast<std::size_t>(list.wire->count)) {
        throw BadInput(fmt::format("{}: at most {} levels, got {}", list.name, list.wire->count,
                                   given.size()));
    }
    Levels levels;
    for (const Json& level : given) {
        levels.push_back(
            {static_cast<std::int32_t>(level.at(list.element[0].name).get<std::int64_t>()),
             static_cast<std::uint16_t>(level.at(list.element[1].name).get<std::int64_t>())});
    }
    return levels;
}

const Lumera::WireField& DepthRow(bool bid) {
    for (const Lumera::WireField& row : kTable) {
        if (row.kind == FieldKind::DepthPrice && (row.direction < 0) == bid) {
            return row;
        }
    }
    throw std::logic_error("the price record has no depth prices");
}

std::string OutOfReachText(const Lumera::PriceOutOfReach& refused) {
    const bool bid = refused.Side() == Lumera::PriceOutOfReach::BookSide::Bid;
    return fmt::format("{} {} is out of reach of {} {}: {} lie within {} ticks of it",
                       Lumera::Spell(DepthRow(bid), Lumera::Spelling::Json, refused.Level()),
                       refused.Price(), kLastPrice, refused.LastPrice(), bid ? "bids" : "asks",
                       bid ? "-127..+128" : "-128..+127");
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
    Kind kind{"price-record",
              "market-data price record, 86 bytes (a capture: many records back to back)",
              kPriceRecordSize,
              FieldsOf(kTable),
              {},
              {}};
    kind.fields.push_back(DerivedField(kTextNames[0], FieldType::Text));
    kind.decode = [kind](const Bytes& bytes) {
        RequireSize(kind, bytes, kPriceRecordSize);
        return Json::parse(PriceRecordJsonLine(Lumera::PriceRecordView(bytes.data())));
    };
    kind.encode = [fields = kind.fields](const Json& values) {
        // The builder writes the depth, which only it may judge in reach; every scalar is then
        // written by the table over its bytes.
        const auto last = static_cast<std::int32_t>(values.at(kLastPrice).get<std::int64_t>());
        Lumera::PriceRecordBuilder builder;
        builder.LastPrice(last);
        Levels asks;
        for (const Field& list : fields) {
            if (list.type != FieldType::List) {
                continue;
            }
            const Levels levels = LevelsFrom(list, values);
            const bool bid = list.wire->direction < 0;
            // A level not given reads back as the last price with no size.
            for (std::size_t i = 0; i < levels.size(); ++i) {
                if (bid) {
                    builder.Bid(static_cast<int>(i), levels[i].price, levels[i].size);
                } else {
                    builder.Ask(static_cast<int>(i), levels[i].price, levels[i].size);
                }
            }
            if (!bid) {
                asks = levels;
            }
        }
        try {
            const auto record = builder.Bytes();
            Bytes wire(record.begin(), record.end());
            WriteFixed(kTable, wire.data(), values);
            return wire;
        } catch (const Lumera::PriceOutOfReach& refused) {
            throw BadInput(OutOfReach(refused, asks));
        }
    };
    kinds.push_back(std::move(kind));
}

}  // namespace lmwire
