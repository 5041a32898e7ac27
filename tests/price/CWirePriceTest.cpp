#include "wire_types/price/CWirePrice.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>

#include "wire_types/support/VeyException.h"

namespace Lumera {
namespace {

using Record = std::array<unsigned char, 86>;

void Put16(Record& record, std::size_t at, std::uint16_t value) {
    record[at] = static_cast<unsigned char>(value);
    record[at + 1] = static_cast<unsigned char>(value >> 8);
}

void Put32(Record& record, std::size_t at, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        record[at + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

Record RecordWithCode(unsigned char code) {
    Record record{};
    record[1] = code;
    return record;
}

std::unique_ptr<unsigned char[]> Encoded(CWirePrice& price) {
    return std::unique_ptr<unsigned char[]>(price.Encode());
}

struct Level {
    long bid, bidSize, ask, askSize;
};

Level Depth(CWirePrice& price, short level) {
    Level out{-1, -1, -1, -1};
    price.GetBid(level, &out.bid, &out.bidSize);
    price.GetAsk(level, &out.ask, &out.askSize);
    return out;
}

TEST(CWirePriceTest, DefaultRecordIsZeroAndConvertsNeutrally) {
    CWirePrice price;
    EXPECT_EQ(std::memcmp(Encoded(price).get(), Record{}.data(), 86), 0);
    EXPECT_EQ(price.GetPriceFormatCode(), 0);
    EXPECT_EQ(price.GetLastPrice(), 0);
    for (short level = 0; level < 10; ++level) {
        const Level depth = Depth(price, level);
        EXPECT_EQ(depth.bid + depth.bidSize + depth.ask + depth.askSize, 0);
    }
    EXPECT_EQ(price.PriceFromTicks(5), "");
    EXPECT_EQ(price.TicksToDecimal(5), 5.0);
    EXPECT_EQ(price.GetPriceFormatCodeDivisor(), 0);
    EXPECT_EQ(price.DecimalToTicks(1.5), 0);
    EXPECT_EQ(price.DisplayToTicks("1.5"), 0);
}

TEST(CWirePriceTest, ReadsEveryFieldAtItsOffset) {
    Record record{};
    record[0] = 0xFE;
    record[1] = 200;
    Put16(record, 2, 0xFFFF);
    Put16(record, 4, 0xFFFE);
    Put32(record, 6, 0x80000001u);
    Put32(record, 10, 0x7FFFFFFFu);
    Put32(record, 14, 0x12345678u);
    Put32(record, 18, 0xFFFFFFFFu);
    Put32(record, 22, 0xA1B2C3D4u);
    CWirePrice price(record.data());
    EXPECT_EQ(price.GetPriceType(), 0xFE);
    EXPECT_EQ(price.GetPriceFormatCode(), 200);
    EXPECT_EQ(price.GetLastSize(), 65535);
    EXPECT_EQ(price.GetLumeraID(), 65534);
    EXPECT_EQ(price.GetLastPrice(), -2147483647);
    EXPECT_EQ(price.GetTotalVolume(), 2147483647);
    EXPECT_EQ(price.GetTimeStamp(), 0x12345678);
    EXPECT_EQ(price.GetHigh(), -1);
    EXPECT_EQ(price.GetLow(), static_cast<std::int32_t>(0xA1B2C3D4u));
}

TEST(CWirePriceTest, DecodeThenEncodeIsByteForByte) {
    std::mt19937 random(3);
    Record record;
    for (unsigned char& byte : record) {
        byte = static_cast<unsigned char>(random());
    }
    CWirePrice price;
    price.Decode(record.data());
    const auto first = Encoded(price);
    const auto second = Encoded(price);
    EXPECT_NE(first.get(), second.get());
    EXPECT_EQ(std::memcmp(first.get(), record.data(), 86), 0);
    EXPECT_EQ(std::memcmp(second.get(), record.data(), 86), 0);
}

TEST(CWirePriceTest, DepthOffsetsAreSignedBytesAroundTheLastPrice) {
    struct Case {
        unsigned char offset;
        long bid, ask;
    };
    const Case cases[] = {{0, 1000, 1000},  {5, 995, 1005},   {251, 1005, 995},
                          {127, 873, 1127}, {128, 1128, 872}, {255, 1001, 999}};
    for (const Case& c : cases) {
        Record record{};
        Put32(record, 6, 1000);
        record[35] = record[65] = c.offset;
        CWirePrice price(record.data());
        const Level depth = Depth(price, 9);
        EXPECT_EQ(depth.bid, c.bid) << int{c.offset};
        EXPECT_EQ(depth.ask, c.ask) << int{c.offset};
    }
}

// Level 9 sits at bid 35 / 54-55 and ask 65 / 84-85; levels outside 0..9 read level 0.
TEST(CWirePriceTest, EachLevelReadsItsOwnBytes) {
    Record record{};
    Put32(record, 6, 500);
    for (int level = 0; level < 10; ++level) {
        record[26 + level] = static_cast<unsigned char>(level + 1);
        record[56 + level] = static_cast<unsigned char>(-(level + 1));
        Put16(record, 36 + 2 * level, static_cast<std::uint16_t>(0xFF00 + level));
        Put16(record, 66 + 2 * level, static_cast<std::uint16_t>(200 + level));
    }
    CWirePrice price(record.data());
    for (short level : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, -1, 32767, -32768}) {
        const int read = level >= 0 && level <= 9 ? level : 0;
        const Level depth = Depth(price, level);
        EXPECT_EQ(depth.bid, 499 - read) << level;
        EXPECT_EQ(depth.bidSize, 0xFF00 + read) << level;
        EXPECT_EQ(depth.ask, 499 - read) << level;
        EXPECT_EQ(depth.askSize, 200 + read) << level;
    }
}

TEST(CWirePriceTest, DepthPricesWrapIn32Bits) {
    Record record{};
    Put32(record, 6, 0x7FFFFFFFu);
    record[56] = 1;
    record[26] = 0x80;
    CWirePrice high(record.data());
    EXPECT_EQ(Depth(high, 0).ask, INT32_MIN);
    EXPECT_EQ(Depth(high, 0).bid, INT32_MIN + 127);

    Put32(record, 6, 0x80000000u);
    record[26] = 1;
    CWirePrice low(record.data());
    EXPECT_EQ(Depth(low, 0).bid, INT32_MAX);
}

TEST(CWirePriceTest, DecodeOfNullZeroesTheRecordAndThrows) {
    Record record;
    record.fill(0xAB);
    CWirePrice price(record.data());
    try {
        price.Decode(nullptr);
        FAIL() << "no exception";
    } catch (VeyException* error) {
        EXPECT_EQ(error->message, "CWirePrice::Decode - error memcopy");
        EXPECT_EQ(error->code, 0);
        delete error;
    }
    const auto bytes = Encoded(price);
    EXPECT_EQ(std::memcmp(bytes.get(), Record{}.data(), 86), 0);

    try {
        CWirePrice fromNull(nullptr);
        FAIL() << "no exception";
    } catch (VeyException* error) {
        EXPECT_EQ(error->message, "CWirePrice::Decode - error memcopy");
        delete error;
    }
}

TEST(CWirePriceTest, PriceMembersUseTheRecordCode) {
    Record record = RecordWithCode(9);
    CWirePrice price(record.data());
    EXPECT_EQ(price.PriceFromTicks(1235), "9.207");
    EXPECT_EQ(price.TicksToDecimal(1235), 9.6484375);
    EXPECT_EQ(price.GetPriceFormatCodeDivisor(), 128);
    EXPECT_EQ(price.DecimalToTicks(9.6484375), 1235);
    EXPECT_EQ(price.DisplayToTicks("9.5"), 1216);
}

// DecimalToTicks and DisplayToTicks follow the converter's code, which catches up with a newly
// decoded code only when one of the other members runs.
TEST(CWirePriceTest, ReverseConversionsLagBehindADecodedCode) {
    Record code6 = RecordWithCode(6);
    Record code14 = RecordWithCode(14);
    CWirePrice price(code6.data());
    EXPECT_EQ(price.DecimalToTicks(38.5625), 1234);

    price.Decode(code14.data());
    EXPECT_EQ(price.GetPriceFormatCode(), 14);
    EXPECT_EQ(price.DecimalToTicks(12.34), 394);
    EXPECT_EQ(price.DisplayToTicks("12.34"), 394);
    EXPECT_EQ(price.GetPriceFormatCodeDivisor(), 100);
    EXPECT_EQ(price.DecimalToTicks(12.34), 1234);
    EXPECT_EQ(price.DisplayToTicks("12.34"), 1234);

    price.Decode(code6.data());
    EXPECT_EQ(price.DisplayToTicks("12.34"), 1234);
    EXPECT_EQ(price.PriceFromTicks(1234), "38.18");
    EXPECT_EQ(price.DisplayToTicks("38.18"), 1221);
}

TEST(CWirePriceTest, CopiesAreDeepAndKeepTheConverterCode) {
    Record code6 = RecordWithCode(6);
    Record code14 = RecordWithCode(14);
    Put32(code14, 6, 777);
    CWirePrice source(code6.data());
    source.Decode(code14.data());  // converter still on code 6

    CWirePrice copy(source);
    EXPECT_EQ(copy.GetLastPrice(), 777);
    EXPECT_EQ(copy.DecimalToTicks(12.34), 394);
    copy.Decode(code6.data());
    EXPECT_EQ(source.GetLastPrice(), 777);
    EXPECT_EQ(source.GetPriceFormatCode(), 14);

    CWirePrice assigned;
    assigned = source;
    EXPECT_EQ(assigned.GetLastPrice(), 777);
    EXPECT_EQ(assigned.DecimalToTicks(12.34), 394);
    EXPECT_EQ(assigned.GetPriceFormatCodeDivisor(), 100);
    EXPECT_EQ(assigned.DecimalToTicks(12.34), 1234);
    EXPECT_EQ(source.DecimalToTicks(12.34), 394);  // the source's converter is its own

    CWirePrice& self = assigned;
    assigned = self;
    EXPECT_EQ(assigned.GetLastPrice(), 777);
    EXPECT_EQ(assigned.DecimalToTicks(12.34), 1234);
}

}  // namespace
}  // namespace Lumera
