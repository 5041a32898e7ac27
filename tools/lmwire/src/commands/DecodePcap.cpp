// decode price-record --pcap: the records in the UDP datagrams of a network capture.

#include <array>
#include <cstdio>

#include <fmt/format.h>

#include "capture/Datagram.h"
#include "capture/PcapFile.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Output.h"
#include "records/PriceRecord.h"

namespace lmwire {

#ifdef LMWIRE_HAVE_PCAP

bool PcapAvailable() {
    return true;
}

namespace {

using SkipCounts = std::array<std::uint64_t, static_cast<std::size_t>(Skip::Count)>;

// "2 not UDP, 1 other port", and their sum.
std::string Counted(const SkipCounts& counts, std::uint64_t& total) {
    std::string text;
    total = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] != 0) {
            text += fmt::format("{}{} {}", text.empty() ? "" : ", ", counts[i],
                                SkipReason(static_cast<Skip>(i)));
            total += counts[i];
        }
    }
    return text;
}

}  // namespace

// Every whole packet is decoded and written before anything is said about what was not: the
// summary of skipped packets, then a capture that ends inside a packet, which is a failure
// unless --partial takes it as the expected end of a capture stopped while it was written.
void RunDecodePcap(const DecodeOptions& options) {
    std::vector<std::uint16_t> ports;
    for (const int port : options.ports) {
        if (port < 0 || port > 65535) {
            throw BadInput(fmt::format("--port {}: expected 0 to 65535", port));
        }
        ports.push_back(static_cast<std::uint16_t>(port));
    }
    PriceRecordLines lines(FormatOf(options.json, options.csv), ParseTimeUnit(options.timeUnit));
    Output out;
    // Lines go out in big blocks, and early only when the capture has nothing more for now.
    PcapReader reader(options.pcap, [&out] { out.Flush(); });
    out << lines.Header(true);
    SkipCounts skipped{};
    SkipCounts cut{};
    std::uint64_t taken = 0;
    CapturedFrame frame;
    while (reader.Next(frame)) {
        const Datagram datagram =
            ReadDatagram(reader.LinkType(), frame.data, frame.captured, frame.original, ports);
        if (datagram.skip != Skip::None) {
            ++skipped[static_cast<std::size_t>(datagram.skip)];
            continue;
        }
        ++taken;
        if (datagram.cut != Skip::None) {
            ++cut[static_cast<std::size_t>(datagram.cut)];
        }
        CaptureInfo capture;
        capture.seconds = frame.seconds;
        capture.microseconds = frame.microseconds;
        capture.source = AddressText(datagram.source);
        capture.sourcePort = datagram.source.port;
        capture.destination = AddressText(datagram.destination);
        capture.destinationPort = datagram.destination.port;
        const std::string prefix = lines.CapturePrefix(capture);
        for (std::size_t at = 0; at < datagram.length; at += kPriceRecordSize) {
            lines.Append(Lumera::PriceRecordView(datagram.payload + at), out.Buffer(), prefix);
        }
        out.MaybeFlush();
    }
    out.Finish();
    std::uint64_t skippedTotal = 0;
    std::uint64_t cutTotal = 0;
    const std::string skippedText = Counted(skipped, skippedTotal);
    const std::string cutText = Counted(cut, cutTotal);
    if (skippedTotal != 0 || cutTotal != 0) {
        std::string summary = fmt::format("lmwire: {}: {} datagrams decoded", reader.Name(), taken);
        if (skippedTotal != 0) {
            summary += fmt::format(", {} packets skipped: {}", skippedTotal, skippedText);
        }
        if (cutTotal != 0) {
            summary += fmt::format("; {} decoded in part: {}", cutTotal, cutText);
        }
        fmt::print(stderr, "{}\n", summary);
    }
    if (reader.Cut().empty()) {
        return;
    }
    const std::string end =
        fmt::format("{}: the capture ends inside the packet after {} whole packets ({})",
                    reader.Name(), reader.Packets(), reader.Cut());
    if (!options.partial) {
        throw BadInput(end);
    }
    fmt::print(stderr, "lmwire: {}; left undecoded\n", end);
}

#else

bool PcapAvailable() {
    return false;
}

void RunDecodePcap(const DecodeOptions&) {
    throw BadInput("--pcap: this lmwire was built without libpcap");
}

#endif

}  // namespace lmwire
