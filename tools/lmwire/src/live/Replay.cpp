// replay: a capture's price datagrams sent again, at their recorded pace, a multiple of it, a
// fixed rate or as fast as possible.

#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "common/Errors.h"
#include "live/Live.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include <algorithm>
#include <optional>
#include <vector>

#include "capture/Endpoints.h"
#include "records/PriceRecord.h"
#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/Pacer.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/Sender.h"
#endif

namespace lmwire {

#ifdef LMWIRE_HAVE_CAPTURE

namespace {

namespace capture = Lumera::capture;

// The most records one UDP datagram carries over IPv4 (65,507 bytes of payload).
constexpr int kMaxRecords = 761;

// When each datagram leaves, in nanoseconds after the start: at the recorded pace divided by
// `speed`, at `rate` a second, or at once. Offsets never go back, so a capture whose clock
// stepped back sends those datagrams at once rather than out of order.
class Schedule {
  public:
    Schedule(double speed, double rate) : speed_(speed), rate_(rate) {}
    bool Paced() const { return speed_ > 0 || rate_ > 0; }
    // The next datagram's offset; `recorded` its capture time in nanoseconds.
    std::int64_t Next(std::int64_t recorded) {
        std::int64_t offset = 0;
        if (rate_ > 0) {
            offset = static_cast<std::int64_t>(static_cast<double>(sent_) * 1e9 / rate_);
        } else if (speed_ > 0) {
            if (!first_) {
                first_ = recorded;
            }
            offset = loopStart_ +
                     static_cast<std::int64_t>(static_cast<double>(recorded - *first_) / speed_);
        }
        offset = std::max(offset, last_);
        last_ = offset;
        ++sent_;
        ++sentThisLoop_;
        return offset;
    }
    // The next loop follows the last datagram after the loop's mean interval.
    void EndLoop() {
        if (sentThisLoop_ > 1) {
            loopStart_ =
                last_ + (last_ - loopStart_) / static_cast<std::int64_t>(sentThisLoop_ - 1);
        }
        first_.reset();
        sentThisLoop_ = 0;
    }

  private:
    double speed_;
    double rate_;
    std::optional<std::int64_t> first_;
    std::int64_t loopStart_ = 0;
    std::int64_t last_ = 0;
    std::uint64_t sent_ = 0;
    std::uint64_t sentThisLoop_ = 0;
};

struct Sent {
    std::uint64_t datagrams = 0;
    std::uint64_t records = 0;
};

class Replayer {
  public:
    Replayer(capture::Sender& sender, Schedule& schedule) : sender_(sender), schedule_(schedule) {}
    void Send(const unsigned char* payload, std::size_t length, std::int64_t recorded) {
        if (sent_.datagrams == 0) {
            pacer_
                .Restart();  // the schedule starts with the first datagram, not the file's opening
        }
        const std::int64_t offset = schedule_.Next(recorded);
        if (schedule_.Paced()) {
            pacer_.WaitUntil(offset);
        }
        sender_.Send(payload, length);
        if (schedule_.Paced()) {
            pacer_.Sent(offset);
        }
        ++sent_.datagrams;
        sent_.records += length / kPriceRecordSize;
    }
    const Sent& Total() const { return sent_; }
    const capture::Pacer& Pacer() const { return pacer_; }

  private:
    capture::Sender& sender_;
    Schedule& schedule_;
    capture::Pacer pacer_;
    Sent sent_;
};

std::string Microseconds(std::int64_t nanoseconds) {
    return fmt::format("{:.1f} us", static_cast<double>(nanoseconds) / 1000);
}

// One pass over the capture. A raw capture is refused unless the pace is a rate, as it holds no
// times; its records go in datagrams of --records.
void ReplayOnce(const ReplayOptions& options, const std::vector<std::uint16_t>& ports,
                Replayer& replayer, capture::DatagramTally* tally) {
    capture::CaptureReader reader(capture::ByteStream::Open(options.file));
    if (reader.Kind() == capture::CaptureKind::Raw) {
        if (options.rate == 0 && !options.max) {
            throw BadInput(reader.Name() +
                           ": a raw capture has no times to pace by; give --rate or --max");
        }
        std::vector<unsigned char> records(static_cast<std::size_t>(options.records) *
                                           kPriceRecordSize);
        std::size_t count = 0;
        while (reader.NextRecords(records.data(), static_cast<std::size_t>(options.records),
                                  count) == capture::ReadStatus::Packet) {
            replayer.Send(records.data(), count * kPriceRecordSize, 0);
        }
    } else {
        capture::Packet packet;
        while (reader.Next(packet) == capture::ReadStatus::Packet) {
            const capture::Datagram datagram = capture::ReadDatagram(packet);
            const capture::TakenDatagram taken = capture::TakeDatagram(datagram, ports);
            const bool take =
                tally != nullptr ? tally->Add(taken) : taken.skip == capture::Skip::None;
            if (!take) {
                continue;
            }
            replayer.Send(datagram.payload, datagram.captured,
                          datagram.seconds * 1'000'000'000 + datagram.nanoseconds);
        }
    }
    if (!reader.CutText().empty()) {
        fmt::print(stderr,
                   "lmwire: {}: the capture ends inside a packet after {} ({}); the rest "
                   "was not sent\n",
                   reader.Name(), reader.Count(), reader.CutText());
    }
}

}  // namespace

void RunReplay(const ReplayOptions& options) {
    if (options.speed < 0 || options.rate < 0 || !std::isfinite(options.speed) ||
        !std::isfinite(options.rate)) {
        throw BadInput("--speed and --rate take a positive number");
    }
    if (options.records < 1 || options.records > kMaxRecords) {
        throw BadInput(fmt::format("--records {}: expected 1 to {}", options.records, kMaxRecords));
    }
    if (options.loop < 1) {
        throw BadInput(fmt::format("--loop {}: expected 1 or more", options.loop));
    }
    if (options.loop > 1 && options.file == "-") {
        throw BadInput("--loop reads the capture again: it takes a file, not standard input");
    }
    const std::vector<std::uint16_t> ports = Ports(options.ports);
    capture::SenderOptions senderOptions;
    senderOptions.destination = ParseEndpoint(options.address, "replay");
    senderOptions.interface = options.interface;
    senderOptions.ttl = options.ttl;
    senderOptions.loopback = !options.noLoopback;
    const std::string to = capture::EndpointText(senderOptions.destination);
    const double speed =
        options.max || options.rate > 0 ? 0 : (options.speed > 0 ? options.speed : 1);
    Schedule schedule(speed, options.rate);
    std::optional<capture::Sender> sender;
    capture::DatagramTally tally;
    try {
        sender.emplace(senderOptions);
        Replayer replayer(*sender, schedule);
        for (int loop = 0; loop < options.loop; ++loop) {
            ReplayOnce(options, ports, replayer, loop == 0 ? &tally : nullptr);
            schedule.EndLoop();
        }
        const double seconds = static_cast<double>(replayer.Pacer().Elapsed()) / 1e9;
        const Sent& sent = replayer.Total();
        std::string line = fmt::format(
            "replay to {}: {} datagrams, {} records sent in {:.3f} s ({:.0f} datagrams/s, "
            "{:.0f} records/s)",
            to, sent.datagrams, sent.records, seconds,
            seconds > 0 ? static_cast<double>(sent.datagrams) / seconds : 0.0,
            seconds > 0 ? static_cast<double>(sent.records) / seconds : 0.0);
        const capture::PacingErrors errors = replayer.Pacer().Errors();
        if (errors.count != 0) {
            line +=
                fmt::format("; pacing error median {}, p99 {}, max {}", Microseconds(errors.median),
                            Microseconds(errors.p99), Microseconds(errors.max));
        }
        std::fflush(stdout);
        fmt::print("{}\n", line);
    } catch (const std::invalid_argument& error) {
        throw BadInput(fmt::format("replay: {}", error.what()));
    } catch (const capture::CaptureError& error) {
        throw BadInput(error.what());
    } catch (const std::system_error& error) {
        throw RunError(fmt::format("replay to {}: {}", to, error.what()));
    }
    if (const std::string summary = tally.Summary(); !summary.empty()) {
        fmt::print(stderr, "lmwire: {}: {}\n", options.file, summary);
    }
}

#else

void RunReplay(const ReplayOptions&) {
    throw BadInput(
        "replay: not available in this lmwire, built without the capture component (libpcap, "
        "libzstd and zlib)");
}

#endif

}  // namespace lmwire
