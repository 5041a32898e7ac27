// A price ladder from one market-data record: the 86 bytes a feed delivers are read in place, and
// the five best bid and ask levels are shown in the contract's own price format (thirty-seconds
// here, as for a bond future).
#include <array>
#include <cstdint>
#include <cstdio>
#include <string>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

namespace {

// What a peer sends: depth goes on the wire as offsets from the last price, which the builder
// works out from the absolute prices.
std::array<unsigned char, PriceRecordLayout::kSize> FeedRecord() {
    const std::int32_t last = 109 * 32 + 12;  // 109 and 12/32
    PriceRecordBuilder record;
    record.PriceType(static_cast<std::uint8_t>(ptTrade))
        .PriceFormatCode(6)  // thirty-seconds
        .LastSize(12)
        .LumeraID(4711)
        .LastPrice(last)
        .TotalVolume(183400);
    for (int level = 0; level < PriceRecordLayout::kLevels; ++level) {
        record.Bid(level, last - (level + 1), static_cast<std::uint16_t>(100 + 10 * level));
        record.Ask(level, last + (level + 1), static_cast<std::uint16_t>(90 + 10 * level));
    }
    return record.Bytes();
}

}  // namespace

int main() {
    const auto bytes = FeedRecord();
    const PriceRecordView price(bytes.data());
    const long code = price.PriceFormatCode();

    // The display text is the format's own notation (109.12 is 109 and 12/32); the decimal value
    // is what arithmetic wants.
    std::printf("instrument %u, last %s (%.5f) x %u\n", unsigned{price.LumeraID()},
                price::Display(code, price.LastPrice()).c_str(),
                price::ToDecimal(code, price.LastPrice()), unsigned{price.LastSize()});
    std::printf("%8s %10s | %-10s %8s\n", "bid size", "bid", "ask", "ask size");
    bool consistent = true;
    for (int level = 0; level < 5; ++level) {
        const PriceLevel bid = price.Bid(level);
        const PriceLevel ask = price.Ask(level);
        std::printf("%8u %10s | %-10s %8u\n", unsigned{bid.size},
                    price::Display(code, bid.price).c_str(),
                    price::Display(code, ask.price).c_str(), unsigned{ask.size});
        // Each level lies one tick further from the last price, and the book is not crossed.
        consistent = consistent && bid.price == price.LastPrice() - (level + 1) &&
                     ask.price == price.LastPrice() + (level + 1);
    }

    // A display text reads back exactly as the price it shows, as order entry needs.
    consistent = consistent &&
                 price::Parse(code, price::Display(code, price.Bid(0).price)) == price.Bid(0).price;
    return consistent ? 0 : 1;
}
