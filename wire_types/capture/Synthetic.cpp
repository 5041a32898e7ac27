#include "wire_types/capture/Synthetic.h"

#include <algorithm>
#include <array>
#include <random>
#include <vector>

#include "wire_types/capture/Records.h"
#include "wire_types/price/SyntheticMarket.h"

namespace Lumera::capture {
namespace {

constexpr std::int64_t kFirstSecond = SyntheticMarket::kFirstSecond;

}  // namespace

SyntheticEndpoints DefaultSyntheticEndpoints() noexcept {
    SyntheticEndpoints endpoints;
    endpoints.source.address = {192, 0, 2, 1};
    endpoints.source.port = 40000;
    endpoints.destination.address = {239, 192, 0, 1};
    endpoints.destination.port = 9100;
    return endpoints;
}

void WriteSynthetic(CaptureWriter& writer, WriteFormat format, std::uint64_t count,
                    std::uint64_t seed, const SyntheticEndpoints& endpoints) {
    WriteSynthetic(writer, format, count, seed, endpoints, SyntheticMarketOptions{});
}

void WriteSynthetic(CaptureWriter& writer, WriteFormat format, std::uint64_t count,
                    std::uint64_t seed, const SyntheticEndpoints& endpoints,
                    const SyntheticMarketOptions& options) {
    SyntheticMarket market(seed, options);
    if (format == WriteFormat::Raw) {
        constexpr std::size_t kBatch = 1024;
        std::vector<unsigned char> records(kBatch * kRecordSize);
        for (std::uint64_t written = 0; written < count;) {
            const auto batch =
                static_cast<std::size_t>(std::min<std::uint64_t>(kBatch, count - written));
            for (std::size_t i = 0; i < batch; ++i) {
                market.Next(records.data() + i * kRecordSize);
            }
            writer.WriteRecords(records.data(), batch);
            written += batch;
        }
        return;
    }
    std::mt19937_64 sizes(seed ^ 0x9E3779B97F4A7C15ull);
    constexpr std::size_t kMostRecords = 5;
    std::array<unsigned char, kMostRecords * kRecordSize> payload{};
    std::vector<unsigned char> frame(FrameSize(true, payload.size()));
    std::uint64_t written = 0;
    for (std::uint64_t datagram = 0; written < count; ++datagram) {
        const auto records = static_cast<std::size_t>(
            std::min<std::uint64_t>(1 + sizes() % kMostRecords, count - written));
        for (std::size_t i = 0; i < records; ++i) {
            market.Next(payload.data() + i * kRecordSize);
        }
        written += records;
        const std::size_t length = WriteUdpFrame(
            frame.data(), frame.size(), endpoints.source, endpoints.destination,
            static_cast<std::uint16_t>(datagram), payload.data(), records * kRecordSize);
        const std::uint64_t micros = datagram * 250;
        writer.WritePacket(kFirstSecond + static_cast<std::int64_t>(micros / 1'000'000),
                           static_cast<std::uint32_t>(micros % 1'000'000) * 1000, frame.data(),
                           length);
    }
}

}  // namespace Lumera::capture
