// One market-data record, decoded from its 86 bytes and shown as a ten-level ladder with every
// price in the record's own format.

#include "Demo.h"
#include "PriceRecord.h"
#include "Table.h"
#include "Text.h"

namespace lmwire {
namespace {

// Format code 9 (thirty-seconds with quarters): last 1234 ticks shows as 9.205.
constexpr const char* kSampleRecord =
    "01 09 03 00 02 00 d2 04 00 00 53 bc 00 00 10 8f 24 69 ee 04 00 00 ad 04 00 00 01 02 03 04"
    "06 07 08 0a 0b 0c 0c 00 1e 00 29 00 37 00 3c 00 48 00 50 00 5f 00 6e 00 82 00 01 02 03 05"
    "06 07 08 0a 0b 0c 09 00 1b 00 26 00 32 00 3d 00 46 00 54 00 5a 00 78 00 96 00";

}  // namespace

std::string DemoLadder() {
    Bytes bytes = ParseHex(kSampleRecord);
    Lumera::CWirePrice price(bytes.data());
    const auto text = [&price](long ticks) { return price.PriceFromTicks(ticks); };

    std::string out = "86 bytes:\n" + FormatHex(bytes.data(), bytes.size());
    Table header({}, 2);
    header.Add({"Lumera id", std::to_string(price.GetLumeraID())});
    header.Add({"price type", std::to_string(price.GetPriceType())});
    header.Add({"format code", std::to_string(price.GetPriceFormatCode()) + " (" +
                                   std::to_string(price.GetPriceFormatCodeDivisor()) +
                                   " ticks to the point)"});
    header.Add({"last", text(price.GetLastPrice()) + " x " + std::to_string(price.GetLastSize()) +
                            "  (" + std::to_string(price.GetLastPrice()) + " ticks = " +
                            FormatDouble(price.TicksToDecimal(price.GetLastPrice())) + ")"});
    header.Add({"high / low", text(price.GetHigh()) + " / " + text(price.GetLow())});
    header.Add({"volume", std::to_string(price.GetTotalVolume())});
    header.Add({"timestamp", std::to_string(price.GetTimeStamp())});
    out += Cat({"\n", header.Render("  "), "\n"});

    Table ladder({"level", "bid size", "bid", "ask", "ask size"}, 0);
    for (short level = 0; level < kDepthLevels; ++level) {
        long bid = 0;
        long bidSize = 0;
        long ask = 0;
        long askSize = 0;
        price.GetBid(level, &bid, &bidSize);
        price.GetAsk(level, &ask, &askSize);
        ladder.Add({std::to_string(level), std::to_string(bidSize), text(bid), text(ask),
                    std::to_string(askSize)});
    }
    return out + ladder.Render("  ");
}

}  // namespace lmwire
