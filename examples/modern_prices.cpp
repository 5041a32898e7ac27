// Prices without an object: a ladder price formatted and parsed back as order entry needs it, and
// a record built field by field, then read in place.
#include <cstdio>
#include <optional>
#include <string>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

int main() {
    // Code 9: thirty-seconds and quarters. 1234 ticks read "9.205", and the text comes back.
    const std::string text = price::Display(9, 1234);
    const std::optional<std::int32_t> ticks = price::Parse(9, text);
    if (text != "9.205" || ticks != 1234 || price::Parse(9, "9.209")) {
        return 1;
    }

    const auto bytes = PriceRecordBuilder()
                           .PriceFormatCode(9)
                           .LastPrice(1234)
                           .LastSize(5)
                           .Bid(0, 1233, 40)
                           .Ask(0, 1235, 25)
                           .Bytes();
    const PriceRecordView record(bytes.data());
    const PriceLevel bid = record.Bid(0);
    const PriceLevel ask = record.Ask(0);
    std::printf("%s  bid %s x %u  ask %s x %u\n",
                price::Display(record.PriceFormatCode(), record.LastPrice()).c_str(),
                price::Display(record.PriceFormatCode(), bid.price).c_str(), unsigned{bid.size},
                price::Display(record.PriceFormatCode(), ask.price).c_str(), unsigned{ask.size});
    return bid.price == 1233 && ask.size == 25 ? 0 : 1;
}
