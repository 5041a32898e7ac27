// decode price-record of a packet capture: the records in the UDP datagrams of a pcap or pcapng.

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

// Every whole packet is decoded and written before anything is said about what was not: the
// summary of skipped packets, then a capture that ends inside a packet, which is a failure
// unless --partial takes it as the expected end of a capture stopped while it was written.
void Decode(Lumera::capture::CaptureReader& reader, const std::vector<std::uint16_t>& ports,
            Output& out, const DecodeOptions& options) {
    PriceRecordLines lines(FormatOf(options.json, options.csv), ParseTimeUnit(options.timeUnit));
    out << lines.Header(true);
    Lumera::capture::DatagramTally tally;
    Lumera::capture::Packet packet;
    while (reader.Next(packet) == Lumera::capture::ReadStatus::Packet) {
        const Lumera::capture::Datagram datagram = Lumera::capture::ReadDatagram(packet);
        const Lumera::capture::TakenDatagram chosen =
            Lumera::capture::TakeDatagram(datagram, ports);
        if (!tally.Add(chosen)) {
            continue;
        }
        const std::string prefix = lines.CapturePrefix(InfoOf(datagram));
        for (std::size_t i = 0; i < chosen.records.count; ++i) {
            lines.Append(Lumera::PriceRecordView(chosen.records.first + i * kPriceRecordSize),
                         out.Buffer(), prefix);
        }
        out.MaybeFlush();
    }
    out.Finish();
    if (const std::string summary = tally.Summary(); !summary.empty()) {
        fmt::print(stderr, "lmwire: {}: {}\n", reader.Name(), summary);
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
