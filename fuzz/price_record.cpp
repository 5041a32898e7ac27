// The price record through its checked decoder. The oracle is the 86-byte layout, spelled here:
// price type (byte 0), format code (1), last size (u16 at 2), id (u16 at 4), last price (i32 at
// 6), total volume (10), timestamp (14), high (18), low (22), then ten signed bid offsets (26),
// ten u16 bid sizes (36), ten signed ask offsets (56) and ten u16 ask sizes (66). A depth price
// is the last price minus (bid) or plus (ask) its offset, wrapped in 32 bits.
//
// The record first holds a record of its own derived from the input (no byte of it zero-equal to
// the input's); a null buffer, or fewer than 86 bytes, must be refused and leave every field and
// every level as they were. An accepted record must read as the layout says, encode as the 86
// bytes it read, and copy into a record with the same fields and the same price conversions.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/support/VeyException.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Attempt;
using lmwire_fuzz::Bytes;
using lmwire_fuzz::I32At;
using lmwire_fuzz::Outcome;
using lmwire_fuzz::U16At;

constexpr std::size_t kSize = 86;
static_assert(CWirePrice::kRecordSize == kSize);

Bytes Encoded(CWirePrice& price) {
    return lmwire_fuzz::Take(price.Encode(), kSize);
}

std::int32_t Wrapped(std::int32_t last, std::int32_t delta) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(last) +
                                     static_cast<std::uint32_t>(delta));
}

// Everything a receiver can read of a record.
struct Reading {
    Bytes encoded;
    long type, code, lastSize, id, last, volume, time, high, low;
    std::array<long, 10> bid, bidSize, ask, askSize;
    std::array<long, 4> outsideBid, outsideAsk;  // levels outside 0..9
    long divisor;
    std::string shown;
    long ticks;

    bool operator==(const Reading&) const = default;
};

constexpr std::array<short, 4> kOutside{-32768, -1, 10, 32767};

Reading Read(CWirePrice& price) {
    Reading r{};
    r.encoded = Encoded(price);
    r.type = price.GetPriceType();
    r.code = price.GetPriceFormatCode();
    r.lastSize = price.GetLastSize();
    r.id = price.GetLumeraID();
    r.last = price.GetLastPrice();
    r.volume = price.GetTotalVolume();
    r.time = price.GetTimeStamp();
    r.high = price.GetHigh();
    r.low = price.GetLow();
    for (short level = 0; level < 10; ++level) {
        const auto i = static_cast<std::size_t>(level);
        price.GetBid(level, &r.bid[i], &r.bidSize[i]);
        price.GetAsk(level, &r.ask[i], &r.askSize[i]);
    }
    for (std::size_t i = 0; i < kOutside.size(); ++i) {
        long size = -1;
        price.GetBid(kOutside[i], &r.outsideBid[i], &size);
        FUZZ_CHECK(size == r.bidSize[0]);
        price.GetAsk(kOutside[i], &r.outsideAsk[i], &size);
        FUZZ_CHECK(size == r.askSize[0]);
    }
    // The conversions through the record's own code (the divisor first sets the converter to it).
    r.divisor = price.GetPriceFormatCodeDivisor();
    r.shown = price.PriceFromTicks(r.high);
    r.ticks = price.DisplayToTicks(r.shown);
    return r;
}

// The reading the layout gives for these 86 bytes.
void CheckLayout(const Reading& r, const unsigned char* record) {
    FUZZ_CHECK(r.encoded == Bytes(record, record + kSize));
    FUZZ_CHECK(r.type == record[0]);
    FUZZ_CHECK(r.code == record[1]);
    FUZZ_CHECK(r.lastSize == U16At(record + 2));
    FUZZ_CHECK(r.id == U16At(record + 4));
    const std::int32_t last = I32At(record + 6);
    FUZZ_CHECK(r.last == last);
    FUZZ_CHECK(r.volume == I32At(record + 10));
    FUZZ_CHECK(r.time == I32At(record + 14));
    FUZZ_CHECK(r.high == I32At(record + 18));
    FUZZ_CHECK(r.low == I32At(record + 22));
    for (std::size_t i = 0; i < 10; ++i) {
        const auto bidOffset = static_cast<std::int8_t>(record[26 + i]);
        const auto askOffset = static_cast<std::int8_t>(record[56 + i]);
        FUZZ_CHECK(r.bid[i] == Wrapped(last, -bidOffset));
        FUZZ_CHECK(r.bidSize[i] == U16At(record + 36 + 2 * i));
        FUZZ_CHECK(r.ask[i] == Wrapped(last, askOffset));
        FUZZ_CHECK(r.askSize[i] == U16At(record + 66 + 2 * i));
    }
    for (std::size_t i = 0; i < kOutside.size(); ++i) {
        FUZZ_CHECK(r.outsideBid[i] == r.bid[0] && r.outsideAsk[i] == r.ask[0]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Byte i of the held record differs from byte i of the input, so a refusal that copied any
    // of the input, or zeroed anything, shows.
    Bytes held(kSize);
    for (std::size_t i = 0; i < kSize; ++i) {
        const unsigned char from = i < size ? data[i] : static_cast<unsigned char>(0x5a ^ i);
        held[i] = static_cast<unsigned char>(from + 1 + i % 255);
        if (held[i] == 0) {
            held[i] = static_cast<unsigned char>(from + 2);
        }
    }
    CWirePrice price;
    price.Decode(held.data(), held.size());
    const Reading before = Read(price);
    CheckLayout(before, held.data());

    const auto decode = [&price](const unsigned char* bytes, std::size_t n) {
        price.Decode(bytes, n);
    };
    lmwire_fuzz::CheckNullBuffer(decode, size);
    FUZZ_CHECK(Read(price) == before);
    lmwire_fuzz::CheckNullBuffer(decode, 0);
    FUZZ_CHECK(Read(price) == before);

    const Outcome outcome = Attempt([&] { decode(data, size); });
    if (size < kSize) {
        FUZZ_CHECK(outcome == Outcome::kTooShort);
        FUZZ_CHECK(Read(price) == before);
        return 0;
    }
    FUZZ_CHECK(outcome == Outcome::kAccepted);
    const Reading read = Read(price);
    CheckLayout(read, data);

    // The view reads the same in place, and the builder given every field back writes the same
    // bytes (every depth price read from a record is in reach of its last price).
    const PriceRecordView view = PriceRecordView::Checked(data, size);
    FUZZ_CHECK(view.PriceType() == read.type && view.PriceFormatCode() == read.code &&
               view.LastSize() == read.lastSize && view.LumeraID() == read.id &&
               view.LastPrice() == read.last && view.TotalVolume() == read.volume &&
               view.TimeStamp() == read.time && view.High() == read.high && view.Low() == read.low);
    PriceRecordBuilder builder;
    builder.PriceType(view.PriceType())
        .PriceFormatCode(view.PriceFormatCode())
        .LastSize(view.LastSize())
        .LumeraID(view.LumeraID())
        .LastPrice(view.LastPrice())
        .TotalVolume(view.TotalVolume())
        .TimeStamp(view.TimeStamp())
        .High(view.High())
        .Low(view.Low());
    for (int level = 0; level < 10; ++level) {
        const auto i = static_cast<std::size_t>(level);
        const PriceLevel bid = view.Bid(level);
        const PriceLevel ask = view.Ask(level);
        FUZZ_CHECK(bid.price == read.bid[i] && bid.size == read.bidSize[i]);
        FUZZ_CHECK(ask.price == read.ask[i] && ask.size == read.askSize[i]);
        builder.Bid(level, bid.price, bid.size).Ask(level, ask.price, ask.size);
    }
    const auto rebuilt = builder.Bytes();
    FUZZ_CHECK(Bytes(rebuilt.begin(), rebuilt.end()) == Bytes(data, data + kSize));

    // Built from the encoding, and copied: the same reading, conversions included.
    Bytes copy = read.encoded;
    CWirePrice received(copy.data());
    FUZZ_CHECK(Read(received) == read);
    FUZZ_CHECK(copy == read.encoded);
    CWirePrice copied(received);
    FUZZ_CHECK(Read(copied) == read);
    const std::string shown = received.PriceFromTicks(read.low);
    FUZZ_CHECK(price.DisplayToTicks(shown) == received.DisplayToTicks(shown));

    // The trusting decoder refuses null by its own exception and leaves the record all zero.
    bool thrown = false;
    try {
        copied.Decode(static_cast<unsigned char*>(nullptr));
    } catch (VeyException* error) {
        thrown = true;
        delete error;
    }
    FUZZ_CHECK(thrown);
    FUZZ_CHECK(Encoded(copied) == Bytes(kSize, 0));
    return 0;
}
