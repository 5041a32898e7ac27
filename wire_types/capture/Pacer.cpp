#include "wire_types/capture/Pacer.h"

#include <time.h>

#include <algorithm>

namespace Lumera::capture {
namespace {

std::int64_t Now() noexcept {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

int HighestBit(std::uint64_t value) noexcept {
    return 63 - __builtin_clzll(value);
}

}  // namespace

Pacer::Pacer() noexcept : origin_(Now()) {}

void Pacer::Restart() noexcept {
    origin_ = Now();
}

std::int64_t Pacer::Elapsed() const noexcept {
    return Now() - origin_;
}

bool Pacer::WaitUntil(std::int64_t offset, const std::atomic<bool>* stop) const noexcept {
    // A long sleep is slept in slices, each to an absolute time, so that a stop is seen soon and
    // the deadline stays exact.
    constexpr std::int64_t kSlice = 20'000'000;
    const auto stopped = [stop] {
        return stop != nullptr && stop->load(std::memory_order_relaxed);
    };
    const std::int64_t deadline = origin_ + offset;
    const std::int64_t wake = deadline - kSpinNanoseconds;
    for (std::int64_t now = Now(); now < wake; now = Now()) {
        if (stopped()) {
            return false;
        }
        const std::int64_t until = std::min(wake, now + kSlice);
        const timespec at{static_cast<time_t>(until / 1'000'000'000),
                          static_cast<long>(until % 1'000'000'000)};
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &at, nullptr);  // EINTR: looked at again
    }
    while (Now() < deadline) {
    }
    return !stopped();
}

void Pacer::Sent(std::int64_t offset) noexcept {
    const std::int64_t error = Now() - (origin_ + offset);
    const auto value = static_cast<std::uint64_t>(error < 0 ? 0 : error);
    std::size_t bucket = value;
    if (value >= static_cast<std::uint64_t>(kExact)) {
        const int bit = HighestBit(value);  // 7 and up: 64 buckets per power of two
        bucket = static_cast<std::size_t>(kExact + (bit - 7) * 64) + ((value >> (bit - 6)) & 63);
    }
    ++buckets_[bucket];
    ++count_;
    if (error > max_) {
        max_ = error;
    }
}

PacingErrors Pacer::Errors() const noexcept {
    PacingErrors errors;
    errors.count = count_;
    errors.max = max_;
    if (count_ == 0) {
        return errors;
    }
    // The value of a rank: the middle of its bucket, never above the maximum seen.
    const auto at = [&](std::uint64_t rank) {
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < kBuckets; ++i) {
            seen += buckets_[i];
            if (seen < rank) {
                continue;
            }
            if (i < static_cast<std::size_t>(kExact)) {
                return static_cast<std::int64_t>(i);
            }
            const std::size_t above = i - kExact;
            const int shift = static_cast<int>(above / 64) + 1;
            const std::int64_t low = static_cast<std::int64_t>(64 + above % 64) << shift;
            const std::int64_t middle = low + (std::int64_t{1} << shift) / 2;
            return middle < max_ ? middle : max_;
        }
        return max_;
    };
    errors.median = at((count_ + 1) / 2);
    errors.p99 = at((count_ * 99 + 99) / 100);
    return errors;
}

}  // namespace Lumera::capture
