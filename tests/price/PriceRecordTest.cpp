#include "wire_types/price/PriceRecord.h"

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <tuple>
#include <type_traits>
#include <vector>

#include "wire_types/price/CWirePrice.h"

namespace Lumera {
namespace {

static_assert(std::is_trivially_copyable_v<PriceRecordView>);
static_assert(PriceRecordView::kSize == 86 && CWirePrice::kRecordSize == 86);

using Record = std::array<unsigned char, 86>;

// Viewed in place, on buffers of every byte type.
TEST(PriceRecordView, CheckedRefusesWhatTheCheckedDecoderRefuses) {
    std::vector<unsigned char> longer(200, 9);
    const auto* chars = reinterpret_cast<const char*>(longer.data());
    EXPECT_EQ(PriceRecordView::Checked(longer.data(), longer.size()).LastSize(), 0x0909);
    EXPECT_EQ(PriceRecordView::Checked(reinterpret_cast<const std::byte*>(chars), 86).data(),
              longer.data());
    EXPECT_THROW((void)PriceRecordView::Checked(chars, 85), std::length_error);
    EXPECT_THROW((void)PriceRecordView::Checked(nullptr, 86), std::invalid_argument);
}

TEST(PriceRecordBuilder, BuildsWhatTheViewReadsBack) {
    PriceRecordBuilder builder;
    builder.PriceType(3).PriceFormatCode(9).LastSize(65535).LumeraID(4321).LastPrice(1234);
    builder.TotalVolume(-7).TimeStamp(1700000000).High(1300).Low(-1200).Ask(4, 1234 + 127, 7);
    for (int level = 0; level < 10; ++level) {
        builder.Bid(level, 1234 - level, static_cast<std::uint16_t>(100 + level));
    }
    const Record bytes = builder.Bytes();
    const PriceRecordView v(bytes.data());
    EXPECT_EQ(
        (std::vector<long long>{v.PriceType(), v.PriceFormatCode(), v.LastSize(), v.LumeraID(),
                                v.LastPrice(), v.TotalVolume(), v.TimeStamp(), v.High(), v.Low()}),
        (std::vector<long long>{3, 9, 65535, 4321, 1234, -7, 1700000000, 1300, -1200}));
    for (int level = 0; level < 10; ++level) {  // an unset level is at the last price
        EXPECT_EQ((std::vector<long>{v.Bid(level).price, v.Bid(level).size, v.Ask(level).price,
                                     v.Ask(level).size}),
                  (std::vector<long>{1234 - level, 100 + level, level == 4 ? 1234 + 127 : 1234,
                                     level == 4 ? 7 : 0}));
    }
}

// A bid lies -127..128 below the last price, an ask -128..127 above it, wrapping in 32 bits.
TEST(PriceRecordBuilder, DepthPricesMustBeInReachOfTheLastPrice) {
    constexpr std::int32_t kMin = INT32_MIN, kMax = INT32_MAX;
    const std::tuple<std::int32_t, std::int32_t, bool, bool> cases[] = {
        {1000, 873, true, true},   {1000, 872, true, false},       {1000, 1128, true, true},
        {1000, 1129, true, false}, {1000, 1127, false, true},      {1000, 1128, false, false},
        {1000, 872, false, true},  {1000, 871, false, false},      {kMax, kMin + 126, false, true},
        {kMin, kMax, true, true},  {kMin, kMax - 126, true, true}, {kMin, kMax - 127, true, false},
        {0, kMin, false, false}};
    for (const auto& [last, price, bid, inReach] : cases) {
        SCOPED_TRACE(::testing::Message() << last << " -> " << price << (bid ? " bid" : " ask"));
        PriceRecordBuilder builder;
        builder.LastPrice(last);
        if (bid) {
            builder.Bid(7, price, 1);
        } else {
            builder.Ask(7, price, 1);
        }
        if (inReach) {
            const Record bytes = builder.Bytes();
            EXPECT_EQ(bid ? PriceRecordView(bytes.data()).Bid(7).price
                          : PriceRecordView(bytes.data()).Ask(7).price,
                      price);
            continue;
        }
        try {
            builder.Bytes();
            ADD_FAILURE() << "no refusal";
        } catch (const PriceOutOfReach& e) {
            EXPECT_THAT(e.what(), ::testing::HasSubstr(bid ? "bid level 7" : "ask level 7"));
            EXPECT_EQ(e.Side(),
                      bid ? PriceOutOfReach::BookSide::Bid : PriceOutOfReach::BookSide::Ask);
            EXPECT_EQ((std::vector<long>{e.Level(), e.Price(), e.LastPrice()}),
                      (std::vector<long>{7, price, last}));
        }
    }
    PriceRecordBuilder builder;
    EXPECT_THROW(builder.Bid(10, 0, 0), std::out_of_range);
    EXPECT_THROW(builder.Ask(-1, 0, 0), std::out_of_range);
}

// Depth given before the last price follows it; Bytes() names the first level out of reach.
TEST(PriceRecordBuilder, LevelsSetBeforeTheLastPriceFollowIt) {
    using ::testing::HasSubstr;
    using ::testing::ThrowsMessage;
    PriceRecordBuilder builder;
    builder.Ask(3, 1127, 2).Ask(5, 5, 1).Bid(2, 1000, 1);
    EXPECT_THAT([&] { builder.Bytes(); },
                ThrowsMessage<std::out_of_range>(HasSubstr("bid level 2 price 1000")));
    builder.LastPrice(1000);
    EXPECT_THAT([&] { builder.Bytes(); },
                ThrowsMessage<std::out_of_range>(
                    HasSubstr("ask level 5 price 5 is out of reach of the last price 1000")));
    builder.Ask(5, 872, 1);
    const Record bytes = builder.Bytes();
    const PriceRecordView view(bytes.data());
    EXPECT_EQ((std::vector<std::int32_t>{view.Bid(2).price, view.Ask(3).price, view.Ask(5).price}),
              (std::vector<std::int32_t>{1000, 1127, 872}));
    builder.LastPrice(-1000);
    EXPECT_THAT([&] { builder.Bytes(); },
                ThrowsMessage<std::out_of_range>(HasSubstr("bid level 2")));
}

}  // namespace
}  // namespace Lumera
