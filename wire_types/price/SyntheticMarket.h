#pragma once

// A seeded random-walk market of four contracts with ten levels a side, so that there is price
// data to try, to test and to time without a feed. The same seed gives the same records on every
// platform (the generator is std::mt19937_64, whose sequence the standard fixes), so the tool and
// the Python package make byte-identical captures.

#include <cstdint>
#include <memory>

#include "wire_types/support/Export.h"

namespace Lumera {

// A larger market than the default one: more contracts, and time stamps spread evenly over days.
struct SyntheticMarketOptions {
    // Contracts, LumeraID 1 to N: the first four are the default market's; each further one
    // trades like one of them (its format, weight and a price of its own).
    int contracts = 4;
    // 0: time moves as in the default market. N: the `records` records' time stamps are spread
    // evenly over N whole days (UTC) from the first record's date, midnight.
    int days = 0;
    std::uint64_t records = 0;
};

class LMWIRE_API SyntheticMarket {
  public:
    // The first record's time stamp, in seconds since 1970: 2025-11-24T16:00:00Z.
    static constexpr std::int64_t kFirstSecond = 1'764'000'000;

    explicit SyntheticMarket(std::uint64_t seed);
    // The same prices as the default market of the seed for its four contracts when `options`
    // are the defaults. std::invalid_argument for contracts outside 1 to 65535, negative days,
    // days beyond 4000 or without records.
    SyntheticMarket(std::uint64_t seed, const SyntheticMarketOptions& options);
    ~SyntheticMarket();
    SyntheticMarket(const SyntheticMarket&) = delete;
    SyntheticMarket& operator=(const SyntheticMarket&) = delete;

    // The next record's 86 bytes, written at `record`.
    void Next(unsigned char* record);

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Lumera
