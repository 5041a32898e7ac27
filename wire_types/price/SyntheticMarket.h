#pragma once

// A seeded random-walk market of four contracts with ten levels a side, so that there is price
// data to try, to test and to time without a feed. The same seed gives the same records on every
// platform (the generator is std::mt19937_64, whose sequence the standard fixes), so the tool and
// the Python package make byte-identical captures.

#include <cstdint>
#include <memory>

#include "wire_types/support/Export.h"

namespace Lumera {

class LMWIRE_API SyntheticMarket {
  public:
    // The first record's time stamp, in seconds since 1970: 2025-11-24T16:00:00Z.
    static constexpr std::int64_t kFirstSecond = 1'764'000'000;

    explicit SyntheticMarket(std::uint64_t seed);
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
