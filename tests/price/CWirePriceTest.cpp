#include "wire_types/price/CWirePrice.h"

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "wire_types/support/VeyException.h"

namespace Lumera {
namespace {

using Record = std::array<unsigned char, 86>;

void Put(Record& record, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        record[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

Record Make(unsigned char code, std::uint32_t lastPrice = 0) {
    Record record{};
    record[1] = code;
    Put(record, 6, lastPrice, 4);
    return record;
}

bool EncodesAs(CWirePrice& price, const Record& expected) {
    const std::unique_ptr<unsigned char[]> bytes(price.Encode());
    return std::memcmp(bytes.get(), expected.data(), expected.size()) == 0;
}

TEST(CWirePriceTest, DecodesEveryFieldAtItsOffsetAndEncodesByteForByte) {
    Record record = Make(200, 0x80000001u);
    record[0] = 0xFE;
    Put(record, 2, 0xFFFEFFFFu, 4);  // last size, then the id
    Put(record, 10, 0x7FFFFFFFu, 4);
    Put(record, 14, 0x12345678u, 4);
    Put(record, 18, 0xFFFFFFFFu, 4);
    Put(record, 22, 0xA1B2C3D4u, 4);
    CWirePrice price(record.data());
    EXPECT_EQ(
        (std::vector<long>{price.GetPriceType(), price.GetPriceFormatCode(), price.GetLastSize(),
                           price.GetLumeraID(), price.GetLastPrice(), price.GetTotalVolume(),
                           price.GetTimeStamp(), price.GetHigh(), price.GetLow()}),
        (std::vector<long>{0xFE, 200, 65535, 65534, -2147483647, 2147483647, 0x12345678, -1,
                           static_cast<std::int32_t>(0xA1B2C3D4u)}));
    std::mt19937 random(3);
    for (unsigned char& byte : record) {
        byte = static_cast<unsigned char>(random());
    }
    price.Decode(record.data());
    EXPECT_TRUE(EncodesAs(price, record));  // a buffer of its own, or ASan reports a double free
}

// Signed offsets below (bid) and above (ask) the last price, 16-bit sizes; other levels read 0.
TEST(CWirePriceTest, EachLevelReadsItsOwnBytes) {
    const std::int8_t offsets[10] = {5, -5, 127, -128, -1, 0, 1, 2, 3, 9};
    Record record = Make(0, 1000);
    for (int level = 0; level < 10; ++level) {
        record[26 + level] = static_cast<unsigned char>(offsets[level]);
        record[56 + level] = static_cast<unsigned char>(offsets[9 - level]);
        Put(record, 36 + 2 * level, 0xFF00 + level, 2);
        Put(record, 66 + 2 * level, 200 + level, 2);
    }
    CWirePrice price(record.data());
    long bid = 0, bidSize = 0, ask = 0, askSize = 0;
    for (short level : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -1, -32768}) {
        const int read = level >= 0 && level <= 9 ? level : 0;
        price.GetBid(level, &bid, &bidSize);
        price.GetAsk(level, &ask, &askSize);
        EXPECT_EQ((std::vector<long>{bid, bidSize, ask, askSize}),
                  (std::vector<long>{1000 - offsets[read], 0xFF00 + read, 1000 + offsets[9 - read],
                                     200 + read}))
            << level;
    }
    // The view reads the wrap in 32 bits: the builder's reach test has it.
}

// A default record is zeros, as is one decoded from null (which throws).
TEST(CWirePriceTest, DecodeOfNullZeroesTheRecordAndThrows) {
    EXPECT_TRUE(EncodesAs(*std::make_unique<CWirePrice>(), Record{}));
    Record record;
    record.fill(0xAB);
    CWirePrice price(record.data());
    try {
        price.Decode(nullptr);
        ADD_FAILURE() << "no exception";
    } catch (VeyException* error) {
        EXPECT_EQ(error->message, "CWirePrice::Decode - error memcopy");
        delete error;
    }
    EXPECT_TRUE(EncodesAs(price, Record{}));
}

// A short buffer is refused before the record or its converter change.
TEST(CWirePriceTest, CheckedDecodeRefusesEveryTruncationOrNullAndChangesNothing) {
    Record code14 = Make(14, 77);
    CWirePrice price(code14.data());
    std::vector<unsigned char> other(CWirePrice::kRecordSize + 4, 0x5A);
    other[1] = 6;
    for (std::size_t given = 0; given < CWirePrice::kRecordSize; ++given) {
        EXPECT_THAT([&] { price.Decode(other.data(), given); },
                    ::testing::ThrowsMessage<std::length_error>(::testing::HasSubstr(
                        "CWirePrice: needs 86 bytes, given " + std::to_string(given))));
    }
    EXPECT_THROW(price.Decode(nullptr, CWirePrice::kRecordSize), std::invalid_argument);
    EXPECT_TRUE(EncodesAs(price, code14));
    EXPECT_EQ(price.DisplayToTicks("12.34"), 1234);  // the converter kept code 14's hundredths
    price.Decode(other.data(), other.size());
    Record expected;
    std::copy_n(other.begin(), expected.size(), expected.begin());
    EXPECT_TRUE(EncodesAs(price, expected));
}

// The reverse conversions use the converter's code, which catches up with a decoded code only
// when another member runs; copies keep that lag, each its own.
TEST(CWirePriceTest, ReverseConversionsLagBehindADecodedCodeAndCopiesKeepTheLag) {
    Record code6 = Make(6), code9 = Make(9), code14 = Make(14, 777);
    CWirePrice price(code9.data());
    EXPECT_EQ(price.DisplayToTicks("9.5"), 1216);
    price.Decode(code6.data());
    EXPECT_EQ(price.DecimalToTicks(38.5625), 4936);
    price.Decode(code14.data());
    EXPECT_EQ(price.GetPriceFormatCodeDivisor(), 100);
    price.Decode(code6.data());
    EXPECT_EQ(price.DisplayToTicks("12.34"), 1234);
    EXPECT_EQ(price.PriceFromTicks(1234), "38.18");  // now on code 6

    price.Decode(code14.data());  // converter on code 6
    CWirePrice copy(price);
    CWirePrice assigned;
    assigned = price;
    EXPECT_EQ(copy.DecimalToTicks(12.34), 394);
    EXPECT_EQ(assigned.DecimalToTicks(12.34), 394);
    EXPECT_EQ(assigned.GetPriceFormatCodeDivisor(), 100);
    EXPECT_EQ(price.DecimalToTicks(12.34), 394);  // the source's converter is its own
    copy.Decode(code6.data());                    // each has bytes of its own
    EXPECT_EQ(price.GetLastPrice(), 777);
    EXPECT_EQ(assigned.GetLastPrice(), 777);
    CWirePrice& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.GetLastPrice(), 777);
    EXPECT_EQ(assigned.DecimalToTicks(12.34), 1234);
}

}  // namespace
}  // namespace Lumera
