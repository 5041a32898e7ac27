// synth prices: a seeded random-walk market, so that there is capture data to try and to time.

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>

#include "capture/Datagram.h"
#include "capture/PcapFile.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Output.h"
#include "records/PriceRecord.h"

namespace lmwire {
namespace {

struct Instrument {
    std::uint16_t lumeraID;
    std::uint8_t priceFormatCode;
    std::int32_t last;
    int weight;  // share of the updates
    std::int32_t high = 0;
    std::int32_t low = 0;
    std::int32_t volume = 0;
};

class Market {
  public:
    explicit Market(std::uint64_t seed) : random_(seed) {
        // Quarter points, thirty-seconds with quarters, hundredths and ten-thousandths.
        instruments_ = {Instrument{1, 25, 24049, 4}, Instrument{2, 9, 14080, 3},
                        Instrument{3, 14, 7250, 2}, Instrument{4, 37, 10850, 1}};
        for (Instrument& instrument : instruments_) {
            instrument.high = instrument.low = instrument.last;
        }
    }

    Lumera::PriceRecordBuilder Next() {
        Instrument& instrument = Pick();
        const int move = static_cast<int>(Below(9));  // mostly still, sometimes a tick or two
        instrument.last += move == 0 ? -2 : move <= 2 ? -1 : move >= 8 ? 2 : move >= 6 ? 1 : 0;
        instrument.high = std::max(instrument.high, instrument.last);
        instrument.low = std::min(instrument.low, instrument.last);
        if (Below(4) == 0) {
            time_ += 1;
        }
        const auto priceType = static_cast<std::uint8_t>(Below(4) == 0 ? 2 + Below(2) : 1);
        const auto lastSize = static_cast<std::uint16_t>(priceType == 1 ? 1 + Below(25) : 0);
        instrument.volume += lastSize;
        Lumera::PriceRecordBuilder record;
        record.PriceType(priceType)
            .PriceFormatCode(instrument.priceFormatCode)
            .LumeraID(instrument.lumeraID)
            .LastPrice(instrument.last)
            .LastSize(lastSize)
            .TotalVolume(instrument.volume)
            .TimeStamp(time_)
            .High(instrument.high)
            .Low(instrument.low);
        FillSide(record, instrument.last, -1);
        FillSide(record, instrument.last, +1);
        return record;
    }

  private:
    std::uint64_t Below(std::uint64_t n) { return random_() % n; }

    Instrument& Pick() {
        int total = 0;
        for (const Instrument& instrument : instruments_) {
            total += instrument.weight;
        }
        auto roll = static_cast<int>(Below(static_cast<std::uint64_t>(total)));
        for (Instrument& instrument : instruments_) {
            if (roll < instrument.weight) {
                return instrument;
            }
            roll -= instrument.weight;
        }
        return instruments_.back();
    }

    // Levels step away from the last price, now and then skipping a tick; sizes grow with depth.
    void FillSide(Lumera::PriceRecordBuilder& record, std::int32_t last, int direction) {
        int distance = 0;
        for (int i = 0; i < Lumera::PriceRecordLayout::kLevels; ++i) {
            distance += 1 + (Below(5) == 0 ? 1 : 0);
            const std::int32_t price = last + direction * distance;
            const auto size = static_cast<std::uint16_t>(5 + Below(20) + i * (10 + Below(40)));
            if (direction < 0) {
                record.Bid(i, price, size);
            } else {
                record.Ask(i, price, size);
            }
        }
    }

    std::mt19937_64 random_;
    std::array<Instrument, 4> instruments_{};
    std::int32_t time_ = 1'764'000'000;
};

}  // namespace

namespace {

#ifdef LMWIRE_HAVE_PCAP
// Datagrams of one to five records, 250 microseconds apart from 2025-11-24T16:00:00Z, the
// market's first time stamp. Their sizes come from a generator of their own, so that the
// records are those of the raw file of the same seed.
void WriteSynthPcap(std::uint64_t count, Market& market, std::uint64_t seed,
                    const SynthPcapOptions& options) {
    const Endpoint source = ParseEndpoint(options.source, "--source");
    const Endpoint destination = ParseEndpoint(options.destination, "--destination");
    if (source.v6 != destination.v6) {
        throw BadInput("--source and --destination: one is IPv4, the other IPv6");
    }
    PcapWriter writer(options.file);
    std::mt19937_64 sizes(seed ^ 0x9E3779B97F4A7C15ull);
    Bytes payload;
    std::uint64_t written = 0;
    for (std::uint64_t datagram = 0; written < count; ++datagram) {
        const std::uint64_t records = std::min<std::uint64_t>(1 + sizes() % 5, count - written);
        payload.resize(records * kPriceRecordSize);
        for (std::uint64_t i = 0; i < records; ++i) {
            const auto record = market.Next().Bytes();
            std::memcpy(payload.data() + i * kPriceRecordSize, record.data(), record.size());
        }
        written += records;
        const std::uint64_t micros = datagram * 250;
        const Bytes frame = UdpFrame(source, destination, static_cast<std::uint16_t>(datagram),
                                     payload.data(), payload.size());
        writer.Write(static_cast<std::int64_t>(1'764'000'000 + micros / 1'000'000),
                     static_cast<std::uint32_t>(micros % 1'000'000), frame.data(), frame.size());
    }
    writer.Finish();
}
#else
void WriteSynthPcap(std::uint64_t, Market&, std::uint64_t, const SynthPcapOptions&) {
    throw BadInput("--pcap: this lmwire was built without libpcap");
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
    Market market(seed);
    if (!pcap.file.empty()) {
        WriteSynthPcap(count, market, seed, pcap);
        return;
    }
    Output out(file);
    std::string& buffer = out.Buffer();
    for (std::uint64_t i = 0; i < count; ++i) {
        // Within ten levels of two ticks, every depth price is in reach.
        const auto record = market.Next().Bytes();
        buffer.append(reinterpret_cast<const char*>(record.data()), record.size());
        out.MaybeFlush();
    }
    out.Finish();
}

}  // namespace lmwire
