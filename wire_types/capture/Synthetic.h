#pragma once

// Synthetic captures of the seeded market (wire_types/price/SyntheticMarket.h) as raw records or
// as UDP datagrams in a pcap or pcapng, the same from the tool and from the Python package.

#include <cstddef>
#include <cstdint>

#include "wire_types/capture/CaptureWriter.h"
#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"
#include "wire_types/price/SyntheticMarket.h"

namespace Lumera::capture {

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
// The same of a larger market (more contracts, time stamps over days).
LMWIRE_CAPTURE_API void WriteSynthetic(CaptureWriter& writer, WriteFormat format,
                                       std::uint64_t count, std::uint64_t seed,
                                       const SyntheticEndpoints& endpoints,
                                       const SyntheticMarketOptions& market);

}  // namespace Lumera::capture
