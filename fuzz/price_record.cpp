// The price record through its checked decoder. A refusal must come exactly when fewer than 86
// bytes arrive and leave the record as it was; an accepted record must encode as the 86 bytes
// it read, read its fields and depth levels as the byte layout says, and decode from its
// encoding into a record with the same fields and the same price conversions.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/price/CWirePrice.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Bytes;

constexpr std::size_t kSize = CWirePrice::kRecordSize;

Bytes Encoded(CWirePrice& price) {
    return lmwire_fuzz::Take(price.Encode(), kSize);
}

std::int32_t I32(const unsigned char* bytes) {
    std::int32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

long U16(const unsigned char* bytes) {
    return bytes[0] | (bytes[1] << 8);
}

// The fields as a receiver reads them, levels outside 0..9 included.
void CheckFields(CWirePrice& price, const unsigned char* record) {
    FUZZ_CHECK(price.GetPriceType() == record[0]);
    FUZZ_CHECK(price.GetPriceFormatCode() == record[1]);
    FUZZ_CHECK(price.GetLastSize() == U16(record + 2));
    FUZZ_CHECK(price.GetLumeraID() == U16(record + 4));
    const std::int32_t last = I32(record + 6);
    FUZZ_CHECK(price.GetLastPrice() == last);
    FUZZ_CHECK(price.GetTotalVolume() == I32(record + 10));
    FUZZ_CHECK(price.GetTimeStamp() == I32(record + 14));
    FUZZ_CHECK(price.GetHigh() == I32(record + 18));
    FUZZ_CHECK(price.GetLow() == I32(record + 22));
    for (short level : {-32768, -1, 0, 1, 5, 9, 10, 32767}) {
        const std::size_t i = level >= 0 && level <= 9 ? static_cast<std::size_t>(level) : 0;
        const auto offset = static_cast<std::int8_t>(record[26 + i]);
        long bid = 0, bidSize = 0, ask = 0, askSize = 0;
        price.GetBid(level, &bid, &bidSize);
        price.GetAsk(level, &ask, &askSize);
        // 32-bit wrap-around, computed without overflow.
        FUZZ_CHECK(bid == static_cast<std::int32_t>(static_cast<std::uint32_t>(last) -
                                                    static_cast<std::uint32_t>(offset)));
        FUZZ_CHECK(bidSize == U16(record + 36 + 2 * i));
        const auto askOffset = static_cast<std::int8_t>(record[56 + i]);
        FUZZ_CHECK(ask == static_cast<std::int32_t>(static_cast<std::uint32_t>(last) +
                                                    static_cast<std::uint32_t>(askOffset)));
        FUZZ_CHECK(askSize == U16(record + 66 + 2 * i));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    CWirePrice price;
    const Bytes zero = Encoded(price);
    try {
        price.Decode(data, size);
    } catch (const std::length_error&) {
        FUZZ_CHECK(size < kSize);
        FUZZ_CHECK(Encoded(price) == zero);
        return 0;
    }
    FUZZ_CHECK(size >= kSize);
    const Bytes encoded = Encoded(price);
    FUZZ_CHECK(std::memcmp(encoded.data(), data, kSize) == 0);
    CheckFields(price, data);

    Bytes copy = encoded;
    CWirePrice received(copy.data());
    CheckFields(received, encoded.data());
    FUZZ_CHECK(Encoded(received) == encoded);

    // Both read prices through the record's own code; the same ticks give the same answers.
    const long ticks = price.GetHigh();
    FUZZ_CHECK(price.PriceFromTicks(ticks) == received.PriceFromTicks(ticks));
    FUZZ_CHECK(price.GetPriceFormatCodeDivisor() == received.GetPriceFormatCodeDivisor());
    const std::string shown = received.PriceFromTicks(price.GetLow());
    FUZZ_CHECK(price.DisplayToTicks(shown) == received.DisplayToTicks(shown));
    return 0;
}
