#include "wire_types/capture/Replay.h"

#include <sys/prctl.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>
#include <stdexcept>

#include "wire_types/capture/CaptureReader.h"

namespace Lumera::capture {
namespace {

// When each datagram leaves, in nanoseconds after the first.
class Schedule {
  public:
    explicit Schedule(const ReplayOptions& options) : options_(options) {}

    std::int64_t Next(std::int64_t recorded) {
        std::int64_t offset = 0;
        if (options_.pace == Pace::Rate) {
            offset = static_cast<std::int64_t>(static_cast<double>(sent_) * 1e9 / options_.rate);
        } else if (options_.pace == Pace::Recorded) {
            if (!first_) {
                first_ = recorded;
            }
            offset = passStart_ + static_cast<std::int64_t>(
                                      static_cast<double>(recorded - *first_) / options_.speed);
        }
        offset = std::max(offset, last_);
        last_ = offset;
        ++sent_;
        ++sentThisPass_;
        return offset;
    }
    void EndPass() {
        if (sentThisPass_ > 1) {
            passStart_ =
                last_ + (last_ - passStart_) / static_cast<std::int64_t>(sentThisPass_ - 1);
        }
        first_.reset();
        sentThisPass_ = 0;
    }

  private:
    const ReplayOptions& options_;
    std::optional<std::int64_t> first_;
    std::int64_t passStart_ = 0;
    std::int64_t last_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t sentThisPass_ = 0;
};

class Replayer {
  public:
    Replayer(Sender& sender, const ReplayOptions& options, ReplaySummary& summary,
             const std::atomic<bool>* stop)
        : sender_(sender), options_(options), schedule_(options), summary_(summary), stop_(stop) {}

    void Send(const unsigned char* payload, std::size_t length, std::int64_t recorded) {
        if (summary_.datagrams == 0) {
            pacer_.Restart();  // the schedule starts with the first datagram, not the opening
        }
        if (options_.pace != Pace::Max) {
            const std::int64_t offset = schedule_.Next(recorded);
            // A datagram due already leaves with the others due, in one call into the system:
            // at a rate beyond what one call a datagram keeps up with, the schedule is still
            // kept. One not due yet is waited for and leaves alone.
            if (offset > pacer_.Elapsed()) {
                Flush();
                if (!pacer_.WaitUntil(offset, stop_)) {
                    return;  // stopped while waiting: the caller's loop sees it
                }
                sender_.Send(payload, length);
                pacer_.Sent(offset);
                Count(length);
                return;
            }
            offsets_.push_back(offset);
        }
        Queue(payload, length);
        Count(length);
    }
    void EndPass() { schedule_.EndPass(); }
    void Finish() {
        Flush();
        summary_.nanoseconds = summary_.datagrams == 0 ? 0 : pacer_.Elapsed();
        summary_.pacing = pacer_.Errors();
    }

  private:
    // Datagrams that leave together, copied because the reader reuses their bytes.
    static constexpr std::size_t kBatchDatagrams = 64;
    static constexpr std::size_t kBatchBytes = 256 * 1024;

    void Count(std::size_t length) {
        ++summary_.datagrams;
        summary_.records += length / kRecordSize;
    }
    void Queue(const unsigned char* payload, std::size_t length) {
        if (!lengths_.empty() && bytes_.size() + length > kBatchBytes) {
            Flush();
        }
        bytes_.insert(bytes_.end(), payload, payload + length);
        lengths_.push_back(length);
        if (lengths_.size() == kBatchDatagrams) {
            Flush();
        }
    }
    void Flush() {
        std::array<OutgoingDatagram, kBatchDatagrams> batch{};
        const unsigned char* next = bytes_.data();
        for (std::size_t i = 0; i < lengths_.size(); ++i) {
            batch[i] = {next, lengths_[i]};
            next += lengths_[i];
        }
        sender_.Send(batch.data(), lengths_.size());
        for (const std::int64_t offset : offsets_) {
            pacer_.Sent(offset);
        }
        bytes_.clear();
        lengths_.clear();
        offsets_.clear();
    }

    Sender& sender_;
    const ReplayOptions& options_;
    Schedule schedule_;
    ReplaySummary& summary_;
    const std::atomic<bool>* stop_;
    Pacer pacer_;
    std::vector<unsigned char> bytes_;
    std::vector<std::size_t> lengths_;
    std::vector<std::int64_t> offsets_;  // of queued paced datagrams
};

// A sleep may end as late as the thread's timer slack (50 microseconds by default), which was
// most of a paced send's error: a replay asks for the least, and gives the thread its own back.
class TightTimers {
  public:
    TightTimers() noexcept {
#ifdef PR_SET_TIMERSLACK
        const int slack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
        if (slack > 1 && prctl(PR_SET_TIMERSLACK, 1UL, 0, 0, 0) == 0) {
            slack_ = slack;
        }
#endif
    }
    ~TightTimers() {
#ifdef PR_SET_TIMERSLACK
        if (slack_ != 0) {
            prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(slack_), 0, 0, 0);
        }
#endif
    }
    TightTimers(const TightTimers&) = delete;
    TightTimers& operator=(const TightTimers&) = delete;

  private:
    int slack_ = 0;
};

bool Stopped(const std::atomic<bool>* stop) {
    return stop != nullptr && stop->load(std::memory_order_relaxed);
}

}  // namespace

ReplaySummary Replay(const std::function<std::unique_ptr<ByteStream>()>& open, Sender& sender,
                     const ReplayOptions& options, const std::atomic<bool>* stop) {
    if ((options.pace == Pace::Recorded && !(options.speed > 0 && std::isfinite(options.speed))) ||
        (options.pace == Pace::Rate && !(options.rate > 0 && std::isfinite(options.rate)))) {
        throw std::invalid_argument("a speed or rate must be a positive number");
    }
    if (options.records < 1 || options.records > kMaxRecordsPerDatagram) {
        throw std::invalid_argument("records per datagram: " + std::to_string(options.records) +
                                    ", expected 1 to " + std::to_string(kMaxRecordsPerDatagram));
    }
    ReplaySummary summary;
    const TightTimers timers;
    Replayer replayer(sender, options, summary, stop);
    std::vector<unsigned char> records;
    for (std::uint64_t pass = 0; pass < options.loops && !Stopped(stop); ++pass) {
        CaptureReader reader(open());
        if (reader.Kind() == CaptureKind::Raw) {
            if (options.pace == Pace::Recorded) {
                throw std::invalid_argument(reader.Name() +
                                            ": a raw capture has no times to pace by; send it at "
                                            "a rate or as fast as possible");
            }
            records.resize(options.records * kRecordSize);
            // A read may end anywhere in the file: a datagram waits for its records until the
            // capture's end.
            std::size_t filled = 0;
            bool more = true;
            while (more && !Stopped(stop)) {
                std::size_t count = 0;
                more = reader.NextRecords(records.data() + filled * kRecordSize,
                                          options.records - filled, count) == ReadStatus::Packet;
                filled += count;
                if (filled == options.records || (!more && filled != 0)) {
                    replayer.Send(records.data(), filled * kRecordSize, 0);
                    filled = 0;
                }
            }
        } else {
            Packet packet;
            while (!Stopped(stop) && reader.Next(packet) == ReadStatus::Packet) {
                const Datagram datagram = ReadDatagram(packet);
                const TakenDatagram taken = TakeDatagram(datagram, options.ports);
                if (!(pass == 0 ? summary.tally.Add(taken) : taken.skip == Skip::None)) {
                    continue;
                }
                replayer.Send(datagram.payload, datagram.captured,
                              datagram.seconds * 1'000'000'000 + datagram.nanoseconds);
            }
        }
        if (!reader.CutText().empty() && summary.cut.empty()) {
            summary.cut = reader.Name() + ": the capture ends inside a packet after " +
                          std::to_string(reader.Count()) + " (" + reader.CutText() + ")";
        }
        replayer.EndPass();
    }
    replayer.Finish();
    return summary;
}

}  // namespace Lumera::capture
