#pragma once

// A capture sent again: the datagrams a decoder would take from it (TakeDatagram, with the same
// ports), payloads unchanged, or a raw capture's records in datagrams of a chosen size; paced by
// the Pacer at the recorded pace or a multiple of it, at a fixed rate, or as fast as the sender
// goes. The tool's replay and the Python package's run this one loop.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Pacer.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/Sender.h"
#include "wire_types/capture/Stream.h"

namespace Lumera::capture {

enum class Pace { Recorded, Rate, Max };

struct ReplayOptions {
    Pace pace = Pace::Recorded;
    double speed = 1;                  // Recorded: a multiple of the recorded pace
    double rate = 0;                   // Rate: datagrams a second
    std::size_t records = 1;           // per datagram of a raw capture, 1 to kMaxRecordsPerDatagram
    std::uint64_t loops = 1;           // passes over the capture
    std::vector<std::uint16_t> ports;  // as TakeDatagram takes them
};

// The most records one UDP datagram carries over IPv4 (65,507 bytes of payload).
constexpr std::size_t kMaxRecordsPerDatagram = 761;

struct ReplaySummary {
    std::uint64_t datagrams = 0;
    std::uint64_t records = 0;
    std::int64_t nanoseconds = 0;  // from the first send to the end
    PacingErrors pacing;           // none timed at Pace::Max
    DatagramTally tally;           // of the first pass
    std::string cut;  // when the capture ended inside a packet: the reader's name and CutText
};

// `open` gives the capture anew for each pass. Offsets never go back, so datagrams of a capture
// whose clock stepped back leave at once rather than out of order; a pass starts one mean
// interval after the last one's last datagram. `stop`, when given and set (by another thread),
// ends the replay after the datagram being sent. std::invalid_argument, before anything is sent,
// for a raw capture at the recorded pace (it holds no times) or options out of range;
// CaptureError from the reader; std::system_error from the sender.
[[nodiscard]] LMWIRE_CAPTURE_API ReplaySummary
Replay(const std::function<std::unique_ptr<ByteStream>()>& open, Sender& sender,
       const ReplayOptions& options, const std::atomic<bool>* stop = nullptr);

}  // namespace Lumera::capture
