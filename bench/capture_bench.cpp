// Frame parsing beside its floor: an Ethernet frame with an 802.1Q tag, IPv6 with a hop-by-hop
// extension header and UDP with two price records, read through the capture component
// (ReadDatagram, TakeDatagram under the length rule, then each record's LastPrice through its
// view) against a floor that reads every header field the parser reads at the offsets this one
// frame has them, builds the same datagram and splits the same records, without dispatching on a
// link type, walking a tag or an extension header, or checking a length.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "wire_types/capture/Frame.h"
#include "wire_types/capture/Records.h"
#include "wire_types/price/PriceRecord.h"

namespace {

using namespace Lumera::capture;

constexpr std::size_t kRecords = 2;
constexpr std::size_t kVlan = 4;
constexpr std::size_t kHopByHop = 8;

// Ethernet + tag, IPv6 + hop-by-hop, UDP, two records with a known format code.
std::vector<unsigned char> Frame() {
    Endpoint source;
    Endpoint destination;
    source.v6 = destination.v6 = true;
    source.address = {0x20, 0x01, 0x0d, 0xb8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    destination.address = {0xff, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x91, 0};
    source.port = 40000;
    destination.port = 9100;
    std::array<unsigned char, kRecords * kRecordSize> payload{};
    for (std::size_t i = 0; i < kRecords; ++i) {
        payload[i * kRecordSize] = 1;
        payload[i * kRecordSize + 1] = 14;
        payload[i * kRecordSize + 7] = static_cast<unsigned char>(100 + i);
    }
    std::vector<unsigned char> plain(FrameSize(true, payload.size()));
    const std::size_t length = WriteUdpFrame(plain.data(), plain.size(), source, destination, 1,
                                             payload.data(), payload.size());
    plain.resize(length);
    // The tag after the addresses, and a hop-by-hop header (Pad6 option) after the IPv6 header.
    constexpr unsigned char kTag[kVlan] = {0x81, 0x00, 0x00, 0x64};
    constexpr unsigned char kOptions[kHopByHop] = {17, 0, 1, 4, 0, 0, 0, 0};
    std::vector<unsigned char> frame(length + kVlan + kHopByHop);
    unsigned char* at = frame.data();
    std::memcpy(at, plain.data(), 12);
    std::memcpy(at + 12, kTag, kVlan);
    std::memcpy(at + 12 + kVlan, plain.data() + 12, 2 + 40);
    std::memcpy(at + 14 + kVlan + 40, kOptions, kHopByHop);
    std::memcpy(at + 14 + kVlan + 40 + kHopByHop, plain.data() + 14 + 40, length - 14 - 40);
    unsigned char* ip = at + 14 + kVlan;
    ip[6] = 0;  // next header: hop-by-hop
    const std::size_t ipPayload = length - 14 - 40 + kHopByHop;
    ip[4] = static_cast<unsigned char>(ipPayload >> 8);
    ip[5] = static_cast<unsigned char>(ipPayload);
    return frame;
}

void BM_ReadDatagramToRecords(benchmark::State& state) {
    const std::vector<unsigned char> frame = Frame();
    Packet packet;
    packet.data = frame.data();
    packet.captured = packet.original = frame.size();
    const std::vector<std::uint16_t> ports;
    for (auto _ : state) {
        benchmark::DoNotOptimize(packet.data);
        const Datagram datagram = ReadDatagram(packet);
        const TakenDatagram taken = TakeDatagram(datagram, ports);
        std::int64_t sum = datagram.source.port + datagram.destination.port;
        for (std::size_t i = 0; i < taken.records.count; ++i) {
            sum += Lumera::PriceRecordView(taken.records.first + i * kRecordSize).LastPrice();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ReadDatagramToRecords);

std::uint16_t Big16(const unsigned char* at) {
    return static_cast<std::uint16_t>(at[0] << 8 | at[1]);
}

// Every header field the parser reads, read where this one frame has them, into the same
// result: no link type dispatched, no tag or extension header walked, no length checked. The
// fields' values are summed so that none of the reads can be left out.
void BM_FixedOffsetsFloor(benchmark::State& state) {
    const std::vector<unsigned char> frame = Frame();
    Packet packet;
    packet.data = frame.data();
    packet.captured = packet.original = frame.size();
    constexpr std::size_t kIp = 14 + kVlan;
    constexpr std::size_t kUdp = kIp + 40 + kHopByHop;
    for (auto _ : state) {
        benchmark::DoNotOptimize(packet.data);
        const unsigned char* data = packet.data;
        std::int64_t sum = Big16(data + 12) + Big16(data + 16) + (data[kIp] >> 4) +
                           Big16(data + kIp + 4) + data[kIp + 6] + data[kIp + 40] + data[kIp + 41];
        std::array<unsigned char, 16> source;
        std::array<unsigned char, 16> destination;
        std::memcpy(source.data(), data + kIp + 8, 16);
        std::memcpy(destination.data(), data + kIp + 24, 16);
        const std::uint16_t sourcePort = Big16(data + kUdp);
        const std::uint16_t destinationPort = Big16(data + kUdp + 2);
        const unsigned char* payload = data + kUdp + 8;
        const std::size_t length = Big16(data + kUdp + 4) - 8u;
        const std::size_t captured = std::min(length, packet.captured - kUdp - 8);
        // Every member given, so that none is first cleared and then set.
        const Datagram datagram{Skip::None,
                                {true, source, sourcePort},
                                {true, destination, destinationPort},
                                payload,
                                captured,
                                length,
                                packet.seconds,
                                packet.nanoseconds};
        benchmark::DoNotOptimize(datagram);
        const WholeRecords records = SplitRecords(payload, captured);
        sum += sourcePort + destinationPort;
        for (std::size_t i = 0; i < records.count; ++i) {
            sum += records.first[i * kRecordSize + 1];
            sum += Lumera::PriceRecordView(records.first + i * kRecordSize).LastPrice();
        }
        benchmark::DoNotOptimize(sum);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FixedOffsetsFloor);

}  // namespace
