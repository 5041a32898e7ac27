// synth prices: the library's seeded random-walk market, so that there is capture data to try
// and to time.

#include <limits>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Output.h"
#include "records/PriceRecord.h"
#include "wire_types/price/SyntheticMarket.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "capture/Endpoints.h"
#include "wire_types/capture/Synthetic.h"
#endif

namespace lmwire {
namespace {

#ifdef LMWIRE_HAVE_CAPTURE
void WriteSynthPcap(std::uint64_t count, std::uint64_t seed, const SynthPcapOptions& options,
                    const Lumera::SyntheticMarketOptions& market) {
    Lumera::capture::SyntheticEndpoints endpoints;
    endpoints.source = ParseEndpoint(options.source, "--source");
    endpoints.destination = ParseEndpoint(options.destination, "--destination");
    if (endpoints.source.v6 != endpoints.destination.v6) {
        throw BadInput("--source and --destination: one is IPv4, the other IPv6");
    }
    Output out(options.file, options.compress, Framing::Pcap);
    try {
        Lumera::capture::WriteSynthetic(out.Capture(), Lumera::capture::WriteFormat::Pcap, count,
                                        seed, endpoints, market);
    } catch (const Lumera::capture::CaptureError& error) {
        out.Failed(error);
    }
    out.Finish();
}
#else
void WriteSynthPcap(std::uint64_t, std::uint64_t, const SynthPcapOptions&,
                    const Lumera::SyntheticMarketOptions&) {
    throw BadInput("--pcap: this lmwire was built without the capture component");
}
#endif

}  // namespace

void RunSynthPrices(const std::string& countText, const std::string& file, std::uint64_t seed,
                    const SynthPcapOptions& pcap) {
    const auto count = static_cast<std::uint64_t>(
        ParseInteger(countText, 0, std::numeric_limits<std::int32_t>::max(), "record count"));
    if (file.empty() == pcap.file.empty()) {
        throw BadInput("synth prices writes either FILE or --pcap FILE");
    }
    Lumera::SyntheticMarketOptions options;
    options.contracts = static_cast<int>(ParseInteger(pcap.contracts, 1, 65535, "--contracts"));
    options.days = static_cast<int>(ParseInteger(pcap.days, 0, 4000, "--days"));
    options.records = count;
    if (options.days != 0 && count == 0) {
        throw BadInput("--days spreads records over days: give at least one record");
    }
    if (!pcap.file.empty()) {
        WriteSynthPcap(count, seed, pcap, options);
        return;
    }
    Output out(file, pcap.compress);
    Lumera::SyntheticMarket market(seed, options);
    std::string& buffer = out.Buffer();
    for (std::uint64_t i = 0; i < count; ++i) {
        const std::size_t at = buffer.size();
        buffer.resize(at + kPriceRecordSize);
        market.Next(reinterpret_cast<unsigned char*>(buffer.data() + at));
        out.MaybeFlush();
    }
    out.Finish();
}

}  // namespace lmwire
