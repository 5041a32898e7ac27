// Lines appear as records arrive, raw, as hex or in a pcap: a writer that waits inside a record
// sees the whole ones before it goes on, and one that stops there gets them all and a refusal.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "Parts.h"

namespace lmwire_test {
namespace {

// Writes `input` into decode through a FIFO in two parts, cut at `cut`, and returns the lines
// that were out before the second part went.
std::vector<std::string> LinesBeforeTheRest(const std::vector<std::string>& args,
                                            const std::string& input, std::size_t cut,
                                            std::size_t wanted, Outcome& outcome) {
    const std::string out = TempFile("stdout"), fifo = out + ".fifo";
    std::remove(fifo.c_str());
    EXPECT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::vector<std::string> all = args;
    all.push_back(fifo);
    std::thread decode([&] { outcome = Tool(all); });
    // Open only once decode reads: its standard output is then the fresh file polled below. A
    // decode that never reads fails the test rather than hanging it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    int fd = -1;
    while (fd < 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
    }
    EXPECT_GE(fd, 0) << "decode did not read";
    fcntl(fd, F_SETFL, 0);
    EXPECT_EQ(write(fd, input.data(), cut), static_cast<ssize_t>(cut));
    std::vector<std::string> seen;
    while (seen.size() < wanted && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        seen = Lines(ReadText(out));
    }
    EXPECT_EQ(write(fd, input.data() + cut, input.size() - cut),
              static_cast<ssize_t>(input.size() - cut));
    close(fd);
    decode.join();
    return seen;
}

TEST(Live, LinesAppearAsRecordsArrive) {
    const std::string path = TempFile("six");
    Tool({"synth", "prices", "6", path});
    const std::string bytes = ReadText(path);
    const std::vector<std::string> expected =
        Lines(Tool({"decode", "price-record"}, ToHex(Bytes(bytes.begin(), bytes.end()))).out);
    ASSERT_EQ(expected.size(), 6u);
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "hex");
        // Five records and 30 bytes of the sixth, cut after three and a half.
        const std::string five = bytes.substr(0, 86 * 5 + 30);
        const std::string input = binary ? five : ToHex(Bytes(five.begin(), five.end()));
        const std::size_t unit = binary ? 1 : 2;
        Outcome outcome;
        const std::vector<std::string> first = LinesBeforeTheRest(
            binary ? std::vector<std::string>{"decode", "price-record", "--binary"}
                   : std::vector<std::string>{"decode", "price-record"},
            input, unit * (86 * 3 + 43), 3, outcome);
        EXPECT_EQ(first, std::vector<std::string>(expected.begin(), expected.begin() + 3));
        EXPECT_EQ(outcome.status, 2);
        EXPECT_EQ(Lines(outcome.out),
                  std::vector<std::string>(expected.begin(), expected.begin() + 5));
        EXPECT_NE(outcome.err.find("460 bytes is not a whole number of 86-byte records (30 bytes "
                                   "over)"),
                  std::string::npos)
            << outcome.err;
    }
}

TEST(Live, APcapIsDecodedAsItsPacketsArrive) {
    const std::string pcap = TempFile("live.pcap");
    if (Tool({"synth", "prices", "50", "--pcap", pcap}).status != 0) {
        GTEST_SKIP() << "lmwire was built without libpcap";
    }
    const std::string bytes = ReadText(pcap);
    const std::vector<std::string> expected =
        Lines(Tool({"decode", "price-record", "--pcap", pcap}).out);
    // The file header, the first packet (its captured length at 32, little-endian) and a part of
    // the second.
    const std::size_t frame = static_cast<unsigned char>(bytes[32]) |
                              std::size_t{static_cast<unsigned char>(bytes[33])} << 8;
    const std::size_t records = (frame - 42) / 86;
    Outcome outcome;
    const std::vector<std::string> first = LinesBeforeTheRest(
        {"decode", "price-record", "--pcap"}, bytes, 24 + 16 + frame + 20, records, outcome);
    EXPECT_EQ(first, std::vector<std::string>(expected.begin(),
                                              expected.begin() + static_cast<long>(records)));
    EXPECT_EQ(outcome.status, 0) << outcome.err;
    EXPECT_EQ(Lines(outcome.out), expected);
}

}  // namespace
}  // namespace lmwire_test
