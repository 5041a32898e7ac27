#include "wire_types/price/SyntheticMarket.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "wire_types/price/PriceRecord.h"

namespace Lumera {

namespace {

struct Instrument {
    std::uint16_t lumeraID;
    std::uint8_t priceFormatCode;
    std::int32_t last;
    int weight;  // share of the updates
    std::int32_t high = 0;
    std::int32_t low = 0;
    std::int32_t volume = 0;
};

}  // namespace

struct SyntheticMarket::State {
    std::mt19937_64 random;
    // Quarter points, thirty-seconds with quarters, hundredths and ten-thousandths.
    std::vector<Instrument> instruments{Instrument{1, 25, 24049, 4}, Instrument{2, 9, 14080, 3},
                                        Instrument{3, 14, 7250, 2}, Instrument{4, 37, 10850, 1}};
    std::int32_t time = static_cast<std::int32_t>(kFirstSecond);
    SyntheticMarketOptions options;
    // Spread over days: the seconds after midnight of the next record, and what is left over.
    std::uint64_t seconds = 0;
    std::uint64_t remainder = 0;

    State(std::uint64_t seed, const SyntheticMarketOptions& given) : random(seed), options(given) {
        const std::size_t defaults = instruments.size();
        for (std::size_t i = defaults; i < static_cast<std::size_t>(options.contracts); ++i) {
            Instrument like = instruments[i % defaults];
            like.lumeraID = static_cast<std::uint16_t>(i + 1);
            like.last += static_cast<std::int32_t>(i / defaults) * 1000;
            instruments.push_back(like);
        }
        instruments.resize(static_cast<std::size_t>(options.contracts));
        for (Instrument& instrument : instruments) {
            instrument.high = instrument.low = instrument.last;
        }
    }

    // The time stamp of the next record.
    std::int32_t Tick() {
        const bool moves = Below(4) == 0;
        if (options.days == 0) {
            time += moves ? 1 : 0;
            return time;
        }
        constexpr std::int64_t kDay = 86400;
        const std::int64_t midnight = kFirstSecond / kDay * kDay;
        // Record i stands for floor(span * i / records) seconds after midnight, kept as a quotient
        // and a remainder so that no product overflows, where no 128-bit integer exists either.
        const auto stamp = static_cast<std::int32_t>(midnight + static_cast<std::int64_t>(seconds));
        remainder += static_cast<std::uint64_t>(options.days) * kDay;
        seconds += remainder / options.records;
        remainder %= options.records;
        return stamp;
    }

    std::uint64_t Below(std::uint64_t n) { return random() % n; }

    Instrument& Pick() {
        int total = 0;
        for (const Instrument& instrument : instruments) {
            total += instrument.weight;
        }
        auto roll = static_cast<int>(Below(static_cast<std::uint64_t>(total)));
        for (Instrument& instrument : instruments) {
            if (roll < instrument.weight) {
                return instrument;
            }
            roll -= instrument.weight;
        }
        return instruments.back();
    }

    // Levels step away from the last price, now and then skipping a tick; sizes grow with depth.
    // Within ten levels of two ticks, every depth price is in reach of the last price.
    void FillSide(PriceRecordBuilder& record, std::int32_t last, int direction) {
        int distance = 0;
        for (int i = 0; i < PriceRecordLayout::kLevels; ++i) {
            distance += 1 + (Below(5) == 0 ? 1 : 0);
            const std::int32_t price = last + direction * distance;
            const auto size = static_cast<std::uint16_t>(5 + Below(20) + i * (10 + Below(40)));
            if (direction < 0) {
                record.Bid(i, price, size);
            } else {
                record.Ask(i, price, size);
            }
        }
    }
};

SyntheticMarket::SyntheticMarket(std::uint64_t seed)
    : SyntheticMarket(seed, SyntheticMarketOptions{}) {}

SyntheticMarket::SyntheticMarket(std::uint64_t seed, const SyntheticMarketOptions& options) {
    if (options.contracts < 1 || options.contracts > 65535) {
        throw std::invalid_argument("synthetic market: " + std::to_string(options.contracts) +
                                    " contracts, not 1 to 65535");
    }
    // Past 2038 a 32-bit time stamp wraps.
    if (options.days < 0 || options.days > 4000 || (options.days > 0 && options.records == 0)) {
        throw std::invalid_argument("synthetic market: " + std::to_string(options.days) +
                                    " days over " + std::to_string(options.records) + " records");
    }
    state_ = std::make_unique<State>(seed, options);
}

SyntheticMarket::~SyntheticMarket() = default;

void SyntheticMarket::Next(unsigned char* out) {
    State& s = *state_;
    Instrument& instrument = s.Pick();
    const int move = static_cast<int>(s.Below(9));  // mostly still, sometimes a tick or two
    instrument.last += move == 0 ? -2 : move <= 2 ? -1 : move >= 8 ? 2 : move >= 6 ? 1 : 0;
    instrument.high = std::max(instrument.high, instrument.last);
    instrument.low = std::min(instrument.low, instrument.last);
    const std::int32_t time = s.Tick();
    const auto priceType = static_cast<std::uint8_t>(s.Below(4) == 0 ? 2 + s.Below(2) : 1);
    const auto lastSize = static_cast<std::uint16_t>(priceType == 1 ? 1 + s.Below(25) : 0);
    instrument.volume += lastSize;
    PriceRecordBuilder record;
    record.PriceType(priceType)
        .PriceFormatCode(instrument.priceFormatCode)
        .LumeraID(instrument.lumeraID)
        .LastPrice(instrument.last)
        .LastSize(lastSize)
        .TotalVolume(instrument.volume)
        .TimeStamp(time)
        .High(instrument.high)
        .Low(instrument.low);
    s.FillSide(record, instrument.last, -1);
    s.FillSide(record, instrument.last, +1);
    const auto bytes = record.Bytes();
    std::memcpy(out, bytes.data(), bytes.size());
}

}  // namespace Lumera
