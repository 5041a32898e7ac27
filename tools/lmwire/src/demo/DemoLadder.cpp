// One market-data record, decoded from its 86 bytes and shown as a ten-level ladder with every
// price in the record's own format.

#include <fmt/format.h>

#include "common/Table.h"
#include "common/Text.h"
#include "demo/Demo.h"
#include "records/PriceRecord.h"
#include "wire_types/price/Price.h"

namespace lmwire {
namespace {

// Format code 9 (thirty-seconds with quarters): last 1234 ticks shows as 9.205.
constexpr const char* kSampleRecord =
    "01 09 03 00 02 00 d2 04 00 00 53 bc 00 00 10 8f 24 69 ee 04 00 00 ad 04 00 00 01 02 03 04"
    "06 07 08 0a 0b 0c 0c 00 1e 00 29 00 37 00 3c 00 48 00 50 00 5f 00 6e 00 82 00 01 02 03 05"
    "06 07 08 0a 0b 0c 09 00 1b 00 26 00 32 00 3d 00 46 00 54 00 5a 00 78 00 96 00";

}  // namespace

std::string DemoLadder() {
    const Bytes bytes = ParseHex(kSampleRecord);
    const Lumera::PriceRecordView price =
        Lumera::PriceRecordView::Checked(bytes.data(), bytes.size());
    const long code = price.PriceFormatCode();
    const auto text = [code](std::int32_t ticks) { return Lumera::price::Display(code, ticks); };

    std::string out = "86 bytes:\n" + FormatHex(bytes.data(), bytes.size());
    Table header({}, 2);
    header.Add({"Lumera id", std::to_string(price.LumeraID())});
    header.Add({"price type", std::to_string(price.PriceType())});
    header.Add({"format code", fmt::format("{} ({} ticks to the point)", code,
                                           Lumera::price::Find(code)->ticksPerUnit)});
    header.Add(
        {"last", fmt::format("{} x {}  ({} ticks = {})", text(price.LastPrice()), price.LastSize(),
                             price.LastPrice(),
                             FormatDouble(Lumera::price::ToDecimal(code, price.LastPrice())))});
    header.Add({"high / low", text(price.High()) + " / " + text(price.Low())});
    header.Add({"volume", std::to_string(price.TotalVolume())});
    header.Add({"timestamp", std::to_string(price.TimeStamp())});
    out += fmt::format("\n{}\n", header.Render("  "));

    Table ladder({"level", "bid size", "bid", "ask", "ask size"}, 0);
    for (int level = 0; level < Lumera::PriceRecordLayout::kLevels; ++level) {
        const Lumera::PriceLevel bid = price.Bid(level);
        const Lumera::PriceLevel ask = price.Ask(level);
        ladder.Add({std::to_string(level), std::to_string(bid.size), text(bid.price),
                    text(ask.price), std::to_string(ask.size)});
    }
    return out + ladder.Render("  ");
}

}  // namespace lmwire
