// A capture loop on the capture component: a synthetic pcap written into a pipe, compressed with
// zstd, then read back as any capture would be (a file, a pipe, standard input): each packet's
// UDP datagram, the datagrams that carry price records, and each record's last price.

#include <unistd.h>

#include <cstdio>
#include <thread>
#include <vector>

#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/CaptureWriter.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/Synthetic.h"
#include "wire_types/price/PriceRecord.h"

using namespace Lumera::capture;

int main() {
    int pipeEnds[2];
    if (pipe(pipeEnds) != 0) {
        return 1;
    }
    // The writer owns nothing: it writes to the descriptor it is given and leaves it open.
    std::thread writing([writeEnd = pipeEnds[1]] {
        WriterOptions options;
        options.format = WriteFormat::Pcap;
        options.compression = Compression::Zstd;
        CaptureWriter writer(writeEnd, options);
        WriteSynthetic(writer, WriteFormat::Pcap, 1000, 7, DefaultSyntheticEndpoints());
        writer.Finish();
        close(writeEnd);
    });

    char path[32];
    std::snprintf(path, sizeof path, "/dev/fd/%d", pipeEnds[0]);
    CaptureReader reader(ByteStream::Open(path));  // zstd, then pcap: told by the bytes
    const std::vector<std::uint16_t> ports;        // none named: the length rule
    std::uint64_t records = 0;
    std::int64_t lastPrice = 0;
    Packet packet;
    while (reader.Next(packet) == ReadStatus::Packet) {
        const TakenDatagram taken = TakeDatagram(ReadDatagram(packet), ports);
        for (std::size_t i = 0; i < taken.records.count; ++i) {
            lastPrice = Lumera::PriceRecordView(taken.records.first + i * kRecordSize).LastPrice();
            ++records;
        }
    }
    writing.join();
    close(pipeEnds[0]);
    std::printf("%s, %s: %llu packets, %llu records, last price %lld\n",
                CompressionName(reader.Stream().Compressed()), CaptureKindName(reader.Kind()),
                static_cast<unsigned long long>(reader.Count()),
                static_cast<unsigned long long>(records), static_cast<long long>(lastPrice));
    return records == 1000 && reader.CutText().empty() ? 0 : 1;
}
