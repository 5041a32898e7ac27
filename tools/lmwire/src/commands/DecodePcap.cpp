// decode price-record --pcap: the records in the UDP datagrams of a network capture.

#include <array>
#include <cstdio>

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

void RunDecodePcap(const DecodeOptions& options) {
    std::vector<std::uint16_t> ports;
    for (const int port : options.ports) {
        if (port < 0 || port > 65535) {
            throw BadInput("--port " + std::to_string(port) + ": expected 0 to 65535");
        }
        ports.push_back(static_cast<std::uint16_t>(port));
    }
    PriceRecordLines lines(FormatOf(options.json, options.csv), ParseTimeUnit(options.timeUnit));
    PcapReader reader(options.pcap);
    Output out;
    out << lines.Header(true);
    std::array<std::uint64_t, static_cast<std::size_t>(Skip::Count)> skipped{};
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
    std::string counts;
    std::uint64_t total = 0;
    for (std::size_t i = 0; i < skipped.size(); ++i) {
        if (skipped[i] != 0) {
            counts += Cat({counts.empty() ? "" : ", ", std::to_string(skipped[i]), " ",
                           SkipReason(static_cast<Skip>(i))});
            total += skipped[i];
        }
    }
    if (total != 0) {
        std::fprintf(stderr, "lmwire: %s: %llu datagrams decoded, %llu packets skipped: %s\n",
                     reader.Name().c_str(), static_cast<unsigned long long>(taken),
                     static_cast<unsigned long long>(total), counts.c_str());
    }
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
