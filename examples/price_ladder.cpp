// A price ladder from one market-data record: the 86 bytes a feed delivers are decoded into a
// CWirePrice, and its five best bid and ask levels are shown in the contract's own price format
// (thirty-seconds here, as for a bond future).
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

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

// What a peer sends: little-endian, packed; depth is stored as offsets from the last price.
void FillRecord(unsigned char* record) {
    record[0] = static_cast<unsigned char>(ptTrade);
    record[1] = 6;                     // price format: thirty-seconds
    Put16(record + 2, 12);             // last size
    Put16(record + 4, 4711);           // instrument id
    Put32(record + 6, 109 * 32 + 12);  // last price: 109 and 12/32
    Put32(record + 10, 183400);        // total volume
    for (int level = 0; level < 10; ++level) {
        record[26 + level] = static_cast<unsigned char>(level + 1);  // bid: ticks below
        Put16(record + 36 + 2 * level, static_cast<std::uint16_t>(100 + 10 * level));
        record[56 + level] = static_cast<unsigned char>(level + 1);  // ask: ticks above
        Put16(record + 66 + 2 * level, static_cast<std::uint16_t>(90 + 10 * level));
    }
}

}  // namespace

int main() {
    unsigned char bytes[CWirePrice::kRecordSize] = {};
    FillRecord(bytes);
    CWirePrice price(bytes);

    // The display text is the format's own notation (109.12 is 109 and 12/32); the decimal value
    // is what arithmetic wants.
    std::printf("instrument %ld, last %s (%.5f) x %u\n", price.GetLumeraID(),
                price.PriceFromTicks(price.GetLastPrice()).c_str(),
                price.TicksToDecimal(price.GetLastPrice()), price.GetLastSize());
    std::printf("%8s %10s | %-10s %8s\n", "bid size", "bid", "ask", "ask size");
    bool consistent = true;
    for (short level = 0; level < 5; ++level) {
        long bid = 0, bidSize = 0, ask = 0, askSize = 0;
        price.GetBid(level, &bid, &bidSize);
        price.GetAsk(level, &ask, &askSize);
        const std::string bidText = price.PriceFromTicks(bid);
        const std::string askText = price.PriceFromTicks(ask);
        std::printf("%8ld %10s | %-10s %8ld\n", bidSize, bidText.c_str(), askText.c_str(), askSize);
        // Each level lies one tick further from the last price, and the book is not crossed.
        consistent = consistent && bid == price.GetLastPrice() - (level + 1) &&
                     ask == price.GetLastPrice() + (level + 1);
    }

    // Encoding gives back the bytes the record was decoded from.
    const std::unique_ptr<unsigned char[]> encoded(price.Encode());
    for (std::size_t i = 0; i < CWirePrice::kRecordSize; ++i) {
        consistent = consistent && encoded[i] == bytes[i];
    }
    return consistent ? 0 : 1;
}
