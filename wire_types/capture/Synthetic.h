#pragma once

// A seeded random-walk market of four contracts with ten levels a side, so that there is capture
// data to try, to test and to time without a feed. The same seed gives the same records on every
// platform (the generator is std::mt19937_64, whose sequence the standard fixes), so the tool and
// the Python package make byte-identical captures.

#include <cstddef>
#include <cstdint>
#include <memory>

#include "wire_types/capture/CaptureWriter.h"
#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"

namespace Lumera::capture {

class LMWIRE_CAPTURE_API SyntheticMarket {
  public:
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

// Where synthetic datagrams come from and go to; both of one family.
struct SyntheticEndpoints {
    Endpoint source;
    Endpoint destination;
};
// The documentation's addresses: 192.0.2.1:40000 to the group 239.192.0.1:9100.
[[nodiscard]] LMWIRE_CAPTURE_API SyntheticEndpoints DefaultSyntheticEndpoints() noexcept;

// `count` records of the market of `seed` into `writer`: for a raw writer the records back to
// back; for pcap and pcapng, UDP datagrams of one to five records (their sizes drawn from a
// generator of their own, so that the records are those of the raw capture of the same seed),
// 250 microseconds apart from 2025-11-24T16:00:00Z. CaptureError from the writer.
LMWIRE_CAPTURE_API void WriteSynthetic(CaptureWriter& writer, WriteFormat format,
                                       std::uint64_t count, std::uint64_t seed,
                                       const SyntheticEndpoints& endpoints);

}  // namespace Lumera::capture
