#pragma once

// Sending on a schedule: each datagram has a time relative to the start, and the pacer waits for
// that time on CLOCK_MONOTONIC as an absolute deadline (sleeping to just before it, then
// spinning the last tens of microseconds), so that a late wake-up delays one datagram and never
// the rest: errors do not add up over a long replay. The error of each send (the monotonic time
// just after the send returned, minus its scheduled time) is gathered in a histogram of fixed
// size, with a precision of 1/64 of the value, for its median, 99th percentile and maximum.

#include <array>
#include <atomic>
#include <cstdint>

#include "wire_types/capture/Export.h"

namespace Lumera::capture {

struct PacingErrors {
    std::uint64_t count = 0;  // sends timed
    std::int64_t median = 0;  // nanoseconds
    std::int64_t p99 = 0;
    std::int64_t max = 0;
};

class LMWIRE_CAPTURE_API Pacer {
  public:
    // The time the last part of a wait is spun rather than slept: a sleep's wake-up is late by
    // tens of microseconds on a busy machine.
    static constexpr std::int64_t kSpinNanoseconds = 60'000;

    // The schedule starts now.
    Pacer() noexcept;
    void Restart() noexcept;
    // Nanoseconds since the start.
    [[nodiscard]] std::int64_t Elapsed() const noexcept;
    // Returns at the start plus `offset` nanoseconds, or at once when that has passed: true; or
    // false within a few tens of milliseconds once `stop` is set (by another thread), however
    // long the wait, so that a stopped replay never waits out a long gap of its capture.
    bool WaitUntil(std::int64_t offset, const std::atomic<bool>* stop = nullptr) const noexcept;
    // Counts the error of a send scheduled at `offset`, just after it returned.
    void Sent(std::int64_t offset) noexcept;
    [[nodiscard]] PacingErrors Errors() const noexcept;

  private:
    static constexpr int kExact = 128;  // errors below this many nanoseconds count exactly
    static constexpr std::size_t kBuckets = kExact + 56 * 64;
    std::int64_t origin_ = 0;
    std::uint64_t count_ = 0;
    std::int64_t max_ = 0;
    std::array<std::uint64_t, kBuckets> buckets_{};
};

}  // namespace Lumera::capture
