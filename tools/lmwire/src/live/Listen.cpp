// listen: price records as they arrive on a UDP feed, printed as decode prints them, recorded in a
// pcapng, or both.

#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <system_error>

#include <fmt/format.h>

#include "common/Errors.h"
#include "live/Live.h"
#include "records/PriceRecord.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include <atomic>
#include <memory>
#include <optional>

#include "capture/Endpoints.h"
#include "wire_types/capture/CaptureWriter.h"
#include "wire_types/capture/Receiver.h"
#include "wire_types/capture/Records.h"
#endif

namespace lmwire {

#ifdef LMWIRE_HAVE_CAPTURE

namespace {

namespace capture = Lumera::capture;
using Clock = std::chrono::steady_clock;

std::atomic<capture::Receiver*> gStopped{nullptr};

extern "C" void StopListening(int) {
    if (capture::Receiver* receiver = gStopped.load()) {
        receiver->Stop();
    }
}

// SIGINT and SIGTERM stop the receiver while they are installed, so that what arrived is written
// and the recording completed; the handlers before (those that remove a temporary file) return
// with the end of the run.
class StopOnSignals {
  public:
    explicit StopOnSignals(capture::Receiver& receiver) {
        gStopped.store(&receiver);
        struct sigaction action {};
        action.sa_handler = StopListening;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &action, &previous_[i]);
        }
    }
    ~StopOnSignals() {
        for (std::size_t i = 0; i < kSignals.size(); ++i) {
            sigaction(kSignals[i], &previous_[i], nullptr);
        }
        gStopped.store(nullptr);
    }
    StopOnSignals(const StopOnSignals&) = delete;
    StopOnSignals& operator=(const StopOnSignals&) = delete;

  private:
    static constexpr std::array<int, 2> kSignals = {SIGINT, SIGTERM};
    std::array<struct sigaction, 2> previous_{};
};

// "192.0.2.1" or "2001:db8::1", as a source has no port.
capture::Endpoint ParseSource(const std::string& text) {
    try {
        return capture::MakeEndpoint(text, 0);
    } catch (const std::invalid_argument& error) {
        throw BadInput(std::string("--source: ") + error.what());
    }
}

struct Counts {
    std::uint64_t datagrams = 0;
    std::uint64_t records = 0;
    std::uint64_t bytes = 0;
};

void PrintStats(const std::string& name, const Counts& counts, const capture::DatagramTally& tally,
                std::uint64_t drops) {
    std::string line = fmt::format(
        "lmwire: {}: {} datagrams, {} records, {} bytes, {} dropped "
        "by the kernel",
        name, counts.datagrams, counts.records, counts.bytes, drops);
    if (const std::string summary = tally.Summary(); !summary.empty()) {
        line += "; " + summary;
    }
    fmt::print(stderr, "{}\n", line);
    std::fflush(stderr);
}

// Each datagram becomes the frame a capture of the wire would have held: the sender's and the
// receiving (or group) address and port.
class Recording {
  public:
    Recording(const std::string& path, Compress compress)
        : out_(path, compress, Framing::Pcapng), frame_(kRoom) {}
    void Add(const capture::Datagram& datagram) {
        const std::size_t size = capture::WriteUdpFrame(frame_.data(), frame_.size(),
                                                        datagram.source, datagram.destination,
                                                        id_++, datagram.payload, datagram.captured);
        if (size == 0) {
            return;
        }
        try {
            out_.Capture().WritePacket(datagram.seconds, datagram.nanoseconds, frame_.data(), size);
        } catch (const capture::CaptureError& error) {
            out_.Failed(error);
        }
    }
    void Finish() { out_.Finish(); }

  private:
    static constexpr std::size_t kRoom = 65536 + 128;
    Output out_;
    std::vector<unsigned char> frame_;
    std::uint16_t id_ = 0;
};

}  // namespace

void RunListen(const ListenOptions& options) {
    if (options.record.empty() && (options.print || options.compress.zstdLevel != 0)) {
        throw BadInput("listen: --print and --compress go with --record");
    }
    capture::ReceiverOptions receiverOptions;
    receiverOptions.endpoint = ParseEndpoint(options.address, "listen");
    receiverOptions.interface = options.interface;
    if (!options.source.empty()) {
        receiverOptions.source = ParseSource(options.source);
    }
    receiverOptions.receiveBuffer = options.receiveBuffer;
    const std::string name = "listen " + capture::EndpointText(receiverOptions.endpoint);
    std::optional<capture::Receiver> receiver;
    try {
        receiver.emplace(receiverOptions);
    } catch (const std::invalid_argument& error) {
        throw BadInput(fmt::format("listen: {}", error.what()));
    } catch (const std::system_error& error) {
        throw RunError(fmt::format("{}: {}", name, error.what()));
    }
    const std::vector<std::uint16_t> ports =
        options.anyDatagram ? std::vector<std::uint16_t>{receiver->Local().port}
                            : std::vector<std::uint16_t>{};

    PriceRecordLines lines(FormatOf(options.json, options.csv), ParseTimeUnit(options.timeUnit));
    const bool print = options.record.empty() || options.print;
    Output out;
    if (print) {
        out << lines.Header(options.withSource);
        out.Flush();
    }
    std::unique_ptr<Recording> recording;
    if (!options.record.empty()) {
        recording = std::make_unique<Recording>(options.record, options.compress);
    }
    const StopOnSignals signals(*receiver);

    Counts counts;
    capture::DatagramTally tally;
    const Clock::time_point start = Clock::now();
    const auto toPoint = [&](double seconds) {
        return start +
               std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    };
    const std::optional<Clock::time_point> end =
        options.seconds > 0 ? std::optional(toPoint(options.seconds)) : std::nullopt;
    Clock::time_point nextStats = toPoint(options.statsSeconds);
    bool done = false;
    while (!done && !receiver->Stopped()) {
        std::optional<Clock::time_point> wake = end;
        if (options.statsSeconds > 0 && (!wake || nextStats < *wake)) {
            wake = nextStats;
        }
        int timeout = -1;
        if (wake) {
            const auto left =
                std::chrono::ceil<std::chrono::milliseconds>(*wake - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, 1 << 30));
        }
        std::size_t got = 0;
        try {
            got = receiver->Receive(timeout);
        } catch (const std::system_error& error) {
            throw RunError(fmt::format("{}: {}", name, error.what()));
        }
        for (std::size_t i = 0; i < got && !done; ++i) {
            const capture::Datagram& datagram = (*receiver)[i];
            ++counts.datagrams;
            counts.bytes += datagram.length;
            if (recording) {
                recording->Add(datagram);
            }
            const capture::TakenDatagram taken = capture::TakeDatagram(datagram, ports);
            if (!tally.Add(taken)) {
                continue;
            }
            std::size_t records = taken.records.count;
            if (options.count != 0 && counts.records + records >= options.count) {
                records = static_cast<std::size_t>(options.count - counts.records);
                done = true;
            }
            counts.records += records;
            if (!print) {
                continue;
            }
            const std::string prefix =
                options.withSource ? lines.CapturePrefix(InfoOf(datagram)) : std::string();
            for (std::size_t r = 0; r < records; ++r) {
                lines.Append(Lumera::PriceRecordView(taken.records.first + r * kPriceRecordSize),
                             out.Buffer(), prefix);
            }
        }
        if (print && got != 0) {
            out.Flush();
        }
        const Clock::time_point now = Clock::now();
        if (end && now >= *end) {
            done = true;
        }
        if (options.statsSeconds > 0 && now >= nextStats && !done) {
            PrintStats(name, counts, tally, receiver->KernelDrops());
            while (nextStats <= now) {
                nextStats += toPoint(options.statsSeconds) - start;
            }
        }
    }
    if (print) {
        out.Finish();
    }
    if (recording) {
        recording->Finish();
    }
    PrintStats(name, counts, tally, receiver->KernelDrops());
}

#else

void RunListen(const ListenOptions&) {
    throw BadInput(
        "listen: not available in this lmwire, built without the capture component (libpcap, "
        "libzstd and zlib)");
}

#endif

}  // namespace lmwire
