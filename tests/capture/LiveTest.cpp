// The live feed's pieces over the loopback only: addresses read and refused, datagrams received
// with their sender, destination and kernel time, drops of a full buffer counted, a receiver
// stopped from another thread, and a pacer that never sends early.

#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "wire_types/capture/Address.h"
#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/Pacer.h"
#include "wire_types/capture/Receiver.h"
#include "wire_types/capture/Replay.h"
#include "wire_types/capture/Sender.h"
#include "wire_types/capture/Synthetic.h"

namespace Lumera::capture {
namespace {

TEST(Address, ReadsWhatItWritesAndRefusesTheRest) {
    for (const char* text : {"127.0.0.1:9300", "[::1]:0", "[2001:db8::1]:65535", "239.1.2.3:1"}) {
        EXPECT_EQ(EndpointText(ParseEndpoint(text)), text);
    }
    EXPECT_TRUE(IsMulticast(ParseEndpoint("239.1.2.3:1")));
    EXPECT_TRUE(IsMulticast(ParseEndpoint("[ff15::1]:1")));
    EXPECT_FALSE(IsMulticast(ParseEndpoint("223.255.255.255:1")));
    EXPECT_FALSE(IsMulticast(ParseEndpoint("[fe80::1]:1")));
    const std::pair<const char*, const char*> refused[] = {
        {"127.0.0.1", "expected ADDRESS:PORT"},
        {"127.0.0.1:", "port '' of"},
        {"127.0.0.1:65536", "expected 0 to 65535"},
        {"127.0.0.1:-1", "expected 0 to 65535"},
        {"127.0.0.1:9x", "port '9x'"},
        {"::1:9300", "expected ADDRESS:PORT"},
        {"[::1]9300", "expected ADDRESS:PORT"},
        {"[127.0.0.1]:9300", "expected ADDRESS:PORT"},
        {"1.2.3:9300", "expected ADDRESS:PORT"},
        {"a\nb:1", "got 'a\\x0ab:1'"}};
    for (const auto& [text, message] : refused) {
        SCOPED_TRACE(text);
        try {
            (void)ParseEndpoint(text);
            ADD_FAILURE() << "taken";
        } catch (const std::invalid_argument& error) {
            EXPECT_NE(std::string(error.what()).find(message), std::string::npos) << error.what();
        }
    }
    EXPECT_EQ(EndpointText(MakeEndpoint("2001:db8::1", 9300)), "[2001:db8::1]:9300");
    EXPECT_EQ(EndpointText(MakeEndpoint("192.0.2.1", 0)), "192.0.2.1:0");
    EXPECT_THROW((void)MakeEndpoint("[::1]", 1), std::invalid_argument);
    EXPECT_THROW((void)MakeEndpoint("::1", 65536), std::invalid_argument);
    EXPECT_THROW((void)InterfaceIndex("no-such-if0"), std::invalid_argument);
}

std::int64_t RealtimeNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return now.tv_sec;
}

TEST(Receiver, GivesEachDatagramItsSenderDestinationAndTime) {
    for (const char* any : {"127.0.0.1:0", "[::1]:0"}) {
        SCOPED_TRACE(any);
        ReceiverOptions options;
        options.endpoint = ParseEndpoint(any);
        options.batch = 4;  // fewer than are sent: the rest wait for the next call
        Receiver receiver(options);
        SenderOptions to;
        to.destination = receiver.Local();
        Sender sender(to);
        std::vector<std::vector<unsigned char>> sent;
        for (std::size_t i = 0; i < 6; ++i) {
            sent.emplace_back(1 + i * 700, static_cast<unsigned char>(i + 1));
            sender.Send(sent.back().data(), sent.back().size());
        }
        const std::int64_t now = RealtimeNow();
        std::size_t seen = 0;
        while (seen < sent.size()) {
            const std::size_t got = receiver.Receive(5000);
            ASSERT_NE(got, 0u);
            ASSERT_LE(got, 4u);
            for (std::size_t i = 0; i < got; ++i, ++seen) {
                const Datagram& d = receiver[i];
                EXPECT_EQ(std::vector<unsigned char>(d.payload, d.payload + d.captured),
                          sent[seen]);
                EXPECT_EQ(d.length, sent[seen].size());
                EXPECT_EQ(d.source.port, sender.Local().port);
                EXPECT_EQ(AddressText(d.source), AddressText(receiver.Local()));
                EXPECT_EQ(EndpointText(d.destination), EndpointText(receiver.Local()));
                EXPECT_LE(std::abs(d.seconds - now), 2);
            }
        }
        EXPECT_EQ(receiver.KernelDrops(), 0u);
    }
}

TEST(Receiver, StopsFromAnotherThreadAndStaysStopped) {
    ReceiverOptions options;
    options.endpoint = ParseEndpoint("127.0.0.1:0");
    Receiver receiver(options);
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        receiver.Stop();
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(receiver.Receive(-1), 0u);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    SenderOptions to;
    to.destination = receiver.Local();
    Sender sender(to);
    const unsigned char byte = 1;
    sender.Send(&byte, 1);
    EXPECT_EQ(receiver.Receive(1000), 0u);
    EXPECT_TRUE(receiver.Stopped());
}

// Loopback datagrams reach the socket within the send call, so a buffer that holds a few of them
// drops the rest there, and every one sent is either received or counted as dropped.
TEST(Receiver, CountsWhatAFullBufferDropped) {
    ReceiverOptions options;
    options.endpoint = ParseEndpoint("127.0.0.1:0");
    options.receiveBuffer = 1;  // the kernel's least
    Receiver receiver(options);
    SenderOptions to;
    to.destination = receiver.Local();
    Sender sender(to);
    const std::vector<unsigned char> payload(860, 14);
    constexpr std::uint64_t kSent = 200;
    for (std::uint64_t i = 0; i < kSent; ++i) {
        sender.Send(payload.data(), payload.size());
    }
    std::uint64_t received = 0;
    while (const std::size_t got = receiver.Receive(200)) {
        received += got;
    }
    // The kernel tells the count with the next datagram it queues.
    sender.Send(payload.data(), payload.size());
    ASSERT_EQ(receiver.Receive(1000), 1u);
    EXPECT_GT(received, 0u);
    EXPECT_GT(receiver.KernelDrops(), 0u);
    EXPECT_EQ(received + receiver.KernelDrops(), kSent);
}

TEST(Pacer, NeverReturnsBeforeTheScheduleAndMeasuresLateness) {
    Pacer pacer;
    // Now, within the spin, beyond it.
    const std::int64_t offsets[] = {0, 20'000, 50'000, 200'000, 1'500'000};
    for (const std::int64_t offset : offsets) {
        pacer.Restart();
        pacer.WaitUntil(offset);
        EXPECT_GE(pacer.Elapsed(), offset);
        pacer.Sent(offset);
    }
    // Late by a known time: a millisecond's error shows at the top, within the histogram's 1/64.
    pacer.Restart();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    pacer.Sent(0);
    const PacingErrors errors = pacer.Errors();
    EXPECT_EQ(errors.count, std::size(offsets) + 1);
    EXPECT_GE(errors.max, 2'000'000);
    EXPECT_LE(errors.median, errors.p99);
    EXPECT_LE(errors.p99, errors.max);
    EXPECT_GE(errors.p99, errors.max - errors.max / 64);
}

// A synthetic capture in a file of its own, removed with it.
class SyntheticFile {
  public:
    explicit SyntheticFile(WriteFormat format, std::uint64_t records = 100) {
        const int fd = mkstemp(path_);
        WriterOptions options;
        options.format = format;
        CaptureWriter writer(fd, options);
        WriteSynthetic(writer, format, records, 1, DefaultSyntheticEndpoints());
        writer.Finish();
        close(fd);
    }
    ~SyntheticFile() { unlink(path_); }
    SyntheticFile(const SyntheticFile&) = delete;
    SyntheticFile& operator=(const SyntheticFile&) = delete;
    std::unique_ptr<ByteStream> Open() const { return ByteStream::Open(path_); }

  private:
    char path_[32] = "/tmp/capture-replay-XXXXXX";
};

std::vector<std::vector<unsigned char>> Payloads(const SyntheticFile& file) {
    std::vector<std::vector<unsigned char>> payloads;
    CaptureReader reader(file.Open());
    Packet packet;
    while (reader.Next(packet) == ReadStatus::Packet) {
        const Datagram datagram = ReadDatagram(packet);
        payloads.emplace_back(datagram.payload, datagram.payload + datagram.captured);
    }
    return payloads;
}

// A receiver on a port of the loopback that the system chose, and a sender to it.
struct LoopbackPair {
    static ReceiverOptions At() {
        ReceiverOptions at;
        at.endpoint = ParseEndpoint("127.0.0.1:0");
        at.receiveBuffer = 1 << 22;
        return at;
    }
    static SenderOptions To(const Receiver& receiver) {
        SenderOptions to;
        to.destination = receiver.Local();
        return to;
    }
    Receiver receiver{At()};
    Sender sender{To(receiver)};
};

// Every pass sends the capture's datagrams in order (unpaced ones in batches); the tally counts the
// first pass, the pacer every paced send.
TEST(Replay, SendsEachPassInOrderAndTimesEachPacedSend) {
    const SyntheticFile pcap(WriteFormat::Pcap);
    const auto payloads = Payloads(pcap);
    ASSERT_GT(payloads.size(), 20u);
    const std::pair<Pace, std::uint64_t> rows[] = {
        {Pace::Max, 3}, {Pace::Rate, 1}, {Pace::Recorded, 2}};
    for (const auto& [pace, loops] : rows) {
        SCOPED_TRACE(static_cast<int>(pace));
        LoopbackPair pair;
        Receiver& receiver = pair.receiver;
        Sender& sender = pair.sender;
        ReplayOptions options;
        options.pace = pace;
        options.rate = 50'000;
        options.speed = 20;
        options.loops = loops;
        const ReplaySummary summary = Replay([&] { return pcap.Open(); }, sender, options);
        EXPECT_EQ(summary.datagrams, loops * payloads.size());
        EXPECT_EQ(summary.records, loops * 100);
        EXPECT_EQ(summary.tally.taken, payloads.size());
        EXPECT_EQ(summary.pacing.count, pace == Pace::Max ? 0 : summary.datagrams);
        std::size_t seen = 0;
        while (const std::size_t got = receiver.Receive(500)) {
            for (std::size_t i = 0; i < got; ++i, ++seen) {
                const Datagram& d = receiver[i];
                ASSERT_LT(seen, summary.datagrams);
                EXPECT_EQ(std::vector<unsigned char>(d.payload, d.payload + d.captured),
                          payloads[seen % payloads.size()]);
            }
        }
        EXPECT_EQ(seen, summary.datagrams);
    }
}

TEST(Replay, StopsWithoutWaitingOutALongGap) {
    const SyntheticFile pcap(WriteFormat::Pcap);
    LoopbackPair pair;
    Sender& sender = pair.sender;
    ReplayOptions options;
    options.pace = Pace::Rate;
    options.rate = 0.2;  // a datagram every 5 seconds
    std::atomic<bool> stop{false};
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop = true;
    });
    const auto start = std::chrono::steady_clock::now();
    const ReplaySummary summary = Replay([&] { return pcap.Open(); }, sender, options, &stop);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
    EXPECT_EQ(summary.datagrams, 1u);
}

TEST(Replay, RefusesToPaceARawCaptureAsRecordedBeforeSending) {
    const SyntheticFile raw(WriteFormat::Raw);
    LoopbackPair pair;
    Receiver& receiver = pair.receiver;
    Sender& sender = pair.sender;
    EXPECT_THROW((void)Replay([&] { return raw.Open(); }, sender, {}), std::invalid_argument);
    EXPECT_EQ(receiver.Receive(100), 0u);
    ReplayOptions options;
    options.pace = Pace::Max;
    options.records = 7;
    const ReplaySummary summary = Replay([&] { return raw.Open(); }, sender, options);
    EXPECT_EQ(summary.datagrams, 15u);  // 14 of 7 records, and the last 2
    EXPECT_EQ(summary.records, 100u);
    // Larger than what one read of the file hands over, which ends anywhere in a record.
    const SyntheticFile large(WriteFormat::Raw, 4000);
    const ReplaySummary more = Replay([&] { return large.Open(); }, sender, options);
    EXPECT_EQ(more.datagrams, 572u);  // 571 of 7 records, and the last 3
    EXPECT_EQ(more.records, 4000u);
}

}  // namespace
}  // namespace Lumera::capture
