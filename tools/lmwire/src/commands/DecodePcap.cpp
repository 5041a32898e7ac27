// decode price-record of a packet capture: the records in the UDP datagrams of a pcap or pcapng.

#include <array>
#include <cstdio>

#include <fmt/format.h>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Input.h"
#include "io/Output.h"
#include "records/PriceRecord.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "capture/Endpoints.h"
#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/Records.h"
#endif

namespace lmwire {

#ifdef LMWIRE_HAVE_CAPTURE

bool CaptureAvailable() {
    return true;
}

namespace {

using Lumera::capture::Skip;
using SkipCounts = std::array<std::uint64_t, static_cast<std::size_t>(Skip::Count)>;

// "2 not UDP, 1 other port", and their sum.
std::string Counted(const SkipCounts& counts, std::uint64_t& total) {
    std::string text;
    total = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] != 0) {
            text += fmt::format("{}{} {}", text.empty() ? "" : ", ", counts[i],
                                Lumera::capture::SkipReason(static_cast<Skip>(i)));
            total += counts[i];
        }
    }
    return text;
}

std::vector<std::uint16_t> Ports(const std::vector<int>& given) {
    std::vector<std::uint16_t> ports;
    for (const int port : given) {
        if (port < 0 || port > 65535) {
            throw BadInput(fmt::format("--port {}: expected 0 to 65535", port));
        }
        ports.push_back(static_cast<std::uint16_t>(port));
    }
    return ports;
}

// Every whole packet is decoded and written before anything is said about what was not: the
// summary of skipped packets, then a capture that ends inside a packet, which is a failure
// unless --partial takes it as the expected end of a capture stopped while it was written.
void Decode(Lumera::capture::CaptureReader& reader, const std::vector<std::uint16_t>& ports,
            Output& out, const DecodeOptions& options) {
    PriceRecordLines lines(FormatOf(options.json, options.csv), ParseTimeUnit(options.timeUnit));
    out << lines.Header(true);
    SkipCounts skipped{};
    SkipCounts cut{};
    std::uint64_t taken = 0;
    Lumera::capture::Packet packet;
    while (reader.Next(packet) == Lumera::capture::ReadStatus::Packet) {
        const Lumera::capture::Datagram datagram = Lumera::capture::ReadDatagram(packet);
        Lumera::capture::TakenDatagram chosen;
        chosen.skip = datagram.skip;
        if (datagram.skip == Skip::None) {
            chosen = Lumera::capture::TakeDatagram(datagram, ports);
        }
        if (chosen.skip != Skip::None) {
            ++skipped[static_cast<std::size_t>(chosen.skip)];
            continue;
        }
        ++taken;
        if (chosen.cut != Skip::None) {
            ++cut[static_cast<std::size_t>(chosen.cut)];
        }
        CaptureInfo capture;
        capture.seconds = datagram.seconds;
        capture.microseconds = datagram.nanoseconds / 1000;
        capture.source = AddressText(datagram.source);
        capture.sourcePort = datagram.source.port;
        capture.destination = AddressText(datagram.destination);
        capture.destinationPort = datagram.destination.port;
        const std::string prefix = lines.CapturePrefix(capture);
        for (std::size_t i = 0; i < chosen.records.count; ++i) {
            lines.Append(Lumera::PriceRecordView(chosen.records.first + i * kPriceRecordSize),
                         out.Buffer(), prefix);
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
    if (reader.CutText().empty()) {
        return;
    }
    const std::string end =
        fmt::format("{}: the capture ends inside the packet after {} whole packets ({})",
                    reader.Name(), reader.Count(), reader.CutText());
    if (!options.partial) {
        throw BadInput(end);
    }
    fmt::print(stderr, "lmwire: {}; left undecoded\n", end);
}

}  // namespace

void DecodePacketCapture(Input& input, Output& out, const DecodeOptions& options) {
    const std::vector<std::uint16_t> ports = Ports(options.ports);
    try {
        Lumera::capture::CaptureReader reader(input.TakeStream());
        if (reader.Kind() == Lumera::capture::CaptureKind::Raw) {
            throw BadInput(reader.Name() + " is not a pcap or pcapng capture");
        }
        Decode(reader, ports, out, options);
    } catch (const Lumera::capture::CaptureError& error) {
        throw BadInput(error.what());
    }
}

#else

bool CaptureAvailable() {
    return false;
}

void DecodePacketCapture(Input& input, Output&, const DecodeOptions&) {
    throw BadInput(input.Name() +
                   ": pcap and pcapng captures are not read by this lmwire, built without the "
                   "capture component (libpcap, libzstd and zlib)");
}

#endif

}  // namespace lmwire
