// replay: a capture's price datagrams sent again, at their recorded pace, a multiple of it, a
// fixed rate or as fast as possible (the capture component's Replay), and a summary.

#include <cstdio>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "common/Errors.h"
#include "live/Live.h"

#ifdef LMWIRE_HAVE_CAPTURE

#include "capture/Endpoints.h"
#include "wire_types/capture/Replay.h"
#endif

namespace lmwire {

#ifdef LMWIRE_HAVE_CAPTURE

namespace {

namespace capture = Lumera::capture;

std::string Microseconds(std::int64_t nanoseconds) {
    return fmt::format("{:.1f} us", static_cast<double>(nanoseconds) / 1000);
}

std::string SummaryLine(const std::string& to, const capture::ReplaySummary& sent) {
    const double seconds = static_cast<double>(sent.nanoseconds) / 1e9;
    const auto perSecond = [&](std::uint64_t count) {
        return seconds > 0 ? static_cast<double>(count) / seconds : 0.0;
    };
    std::string line = fmt::format(
        "replay to {}: {} datagrams, {} records sent in {:.3f} s ({:.0f} datagrams/s, {:.0f} "
        "records/s)",
        to, sent.datagrams, sent.records, seconds, perSecond(sent.datagrams),
        perSecond(sent.records));
    if (sent.pacing.count != 0) {
        line += fmt::format("; pacing error median {}, p99 {}, max {}",
                            Microseconds(sent.pacing.median), Microseconds(sent.pacing.p99),
                            Microseconds(sent.pacing.max));
    }
    return line;
}

}  // namespace

void RunReplay(const ReplayOptions& options) {
    if (options.records < 1 ||
        options.records > static_cast<int>(capture::kMaxRecordsPerDatagram)) {
        throw BadInput(fmt::format("--records {}: expected 1 to {}", options.records,
                                   capture::kMaxRecordsPerDatagram));
    }
    if (options.loop > 1 && options.file == "-") {
        throw BadInput("--loop reads the capture again: it takes a file, not standard input");
    }
    capture::ReplayOptions replay;
    replay.pace = options.max        ? capture::Pace::Max
                  : options.rate > 0 ? capture::Pace::Rate
                                     : capture::Pace::Recorded;
    replay.speed = options.speed > 0 ? options.speed : 1;
    replay.rate = options.rate;
    replay.records = static_cast<std::size_t>(options.records);
    replay.loops = static_cast<std::uint64_t>(options.loop);
    replay.ports = Ports(options.ports);
    capture::SenderOptions to;
    to.destination = ParseEndpoint(options.address, "replay");
    to.interface = options.interface;
    to.ttl = options.ttl;
    to.loopback = !options.noLoopback;
    const std::string name = capture::EndpointText(to.destination);
    capture::ReplaySummary sent;
    try {
        capture::Sender sender(to);
        sent = capture::Replay([&] { return capture::ByteStream::Open(options.file); }, sender,
                               replay);
    } catch (const std::invalid_argument& error) {
        throw BadInput(fmt::format("replay: {}", error.what()));
    } catch (const capture::CaptureError& error) {
        throw BadInput(error.what());
    } catch (const std::system_error& error) {
        throw RunError(fmt::format("replay to {}: {}", name, error.what()));
    }
    std::fflush(stdout);
    fmt::print("{}\n", SummaryLine(name, sent));
    if (const std::string summary = sent.tally.Summary(); !summary.empty()) {
        fmt::print(stderr, "lmwire: {}: {}\n", options.file, summary);
    }
    if (!sent.cut.empty()) {
        fmt::print(stderr, "lmwire: {}; the rest was not sent\n", sent.cut);
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
