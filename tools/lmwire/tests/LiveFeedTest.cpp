// listen and replay end to end: a capture replayed and listened to arrives record for record, in
// order, printed as decode prints the same records and recorded in a pcapng that tshark and
// decode read back. Traffic goes to the loopback, or stays in a network namespace that the test
// makes and that vanishes with its last process, whatever way the test ends.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "RunTool.h"

namespace lmwire_test {
namespace {

constexpr int kRecords = 300;

// Ports of this test process, apart from another test's running at the same time.
int Port(int row) {
    return 20000 + static_cast<int>(getpid() % 4000) * 10 + row;
}

// How to run a script in a network namespace of its own: "unshare -n", or without root
// "unshare -rn"; `why` says what is missing when neither works or a program is not installed.
std::string NamespaceWrapper(const std::vector<std::string>& programs, std::string& why) {
    for (const std::string& program : programs) {
        if (!Installed(program)) {
            why = program + " is not installed (Debian iproute2, tcpreplay, wireshark-common)";
            return "";
        }
    }
    for (const std::string wrapper : {"unshare -n", "unshare -rn"}) {
        if (Shell(wrapper + " true") == 0) {
            return wrapper;
        }
    }
    why = "no network namespace can be made here (unshare -n and unshare -rn fail)";
    return "";
}

// The source capture of `count` records: raw as src.bin, datagrams in src.pcap.
void MakeSources(const TempDir& dir, int count) {
    ASSERT_EQ(std::rename(SynthPrices(dir, count).c_str(), dir.Path("src.bin").c_str()), 0);
    ASSERT_EQ(
        RunTool({"synth", "prices", std::to_string(count), "--pcap", dir.Path("src.pcap")}).status,
        0);
}

// listen started first, the `replay` command once it is bound (its port in /proc/net/udp*, as the
// namespace sees it), then the `next` command if any ($L is lmwire in both); with `interrupt`,
// SIGINT to listen in the middle of a long replay instead of its own end. Outputs are files in
// `dir`: listen.out, listen.err, listen.status, replay.out.
int RunFeed(const TempDir& dir, const std::string& wrapper, const std::string& setup,
            const std::string& listen, const std::string& replay, int port, bool interrupt = false,
            const std::string& next = "") {
    char hexPort[8];
    std::snprintf(hexPort, sizeof hexPort, "%04X", port);
    // A list of commands is grouped for its output; a single one stays the subshell's own, so
    // that killing the subshell stops it.
    const std::string sender =
        replay.find(';') == std::string::npos ? replay : "{ " + replay + "; }";
    const std::string then =
        next.empty() ? "" : "; sleep 0.3; " + next + " >> replay.out 2>> replay.err";
    std::string script = std::string("L='") + LMWIRE_TOOL + "'; cd '" + dir.Path("") +
                         "' || exit 90\n" + setup + " || exit 91\n" + "$L listen " + listen +
                         " > listen.out 2> listen.err & pid=$!\n" +
                         "n=0; until grep -qi ':" + hexPort +
                         " ' /proc/net/udp /proc/net/udp6; do n=$((n+1)); "
                         "[ $n -gt 1000 ] && exit 92; sleep 0.01; done\n" +
                         "(" + sender + " > replay.out 2> replay.err" + then + ") & rpid=$!\n";
    // Interrupted once listen's statistics (--stats) count more than ten datagrams: a fixed
    // sleep was too short for a sanitized replay to start on a busy machine.
    script += interrupt ? "n=0; until [ \"$(tail -n 1 listen.err | cut -d: -f4 | cut -d' ' -f2)\" "
                          "-gt 10 ] 2>/dev/null; do n=$((n+1)); [ $n -gt 3000 ] && break; "
                          "sleep 0.01; done\n"
                          "kill -INT $pid; wait $pid; echo $? > listen.status\n"
                          "kill $rpid; wait $rpid; exit 0\n"
                        : "wait $rpid; wait $pid; echo $? > listen.status\n";
    WriteText(dir.Path("feed.sh"), script);
    return Shell("timeout 120 " + wrapper + " bash '" + dir.Path("feed.sh") + "'");
}

// A replay and a listen: printed lines as decode prints the source's records (the first `count`
// of them), and a recording whose payloads are the source's bytes, read by tshark, and whose
// records decode reads as the source's.
struct Feed {
    const char* name;
    const char* setup;   // in the namespace, before listen
    const char* listen;  // ADDRESS:PORT and options; PORT stands for the port
    const char* replay;  // FILE (src.pcap or src.bin), ADDRESS:PORT and options
    const char* format;  // the decode option of listen's lines, or ""
    int count;
};

std::string WithPort(std::string text, int port) {
    for (std::size_t at; (at = text.find("PORT")) != std::string::npos;) {
        text.replace(at, 4, std::to_string(port));
    }
    return text;
}

void CheckFeeds(const std::vector<Feed>& feeds, const std::string& wrapper) {
    TempDir dir;
    MakeSources(dir, kRecords);
    const Bytes source = ReadFile(dir.Path("src.bin"));
    for (std::size_t row = 0; row < feeds.size(); ++row) {
        const Feed& feed = feeds[row];
        SCOPED_TRACE(feed.name);
        const int port = Port(static_cast<int>(row));
        const std::string listen = WithPort(feed.listen, port) + " --count " +
                                   std::to_string(feed.count) +
                                   " --for 60 --record rec.pcapng --print " + feed.format;
        ASSERT_EQ(RunFeed(dir, wrapper, feed.setup, listen,
                          "$L replay " + WithPort(feed.replay, port), port),
                  0);
        EXPECT_EQ(ReadText(dir.Path("listen.status")), "0\n") << ReadText(dir.Path("listen.err"));
        std::vector<std::string> decode = {"decode", "price-record", "--binary",
                                           dir.Path("src.bin")};
        if (*feed.format != '\0' && std::string(feed.format) != "--with-source") {
            decode.push_back(feed.format);
        }
        // With the source, lines are decode's of the recording: same times, same addresses.
        if (std::string(feed.format) == "--with-source") {
            decode = {"decode", "price-record", "--pcap", dir.Path("rec.pcapng")};
        }
        std::vector<std::string> expected = Lines(RunTool(decode).out);
        expected.resize(expected.size() - kRecords + static_cast<std::size_t>(feed.count));
        EXPECT_EQ(Lines(ReadText(dir.Path("listen.out"))), expected);
        EXPECT_NE(ReadText(dir.Path("listen.err")).find(" 0 dropped by the kernel"),
                  std::string::npos);

        // Every datagram sent, the one that reached the count included, was recorded.
        const Result csv =
            RunTool({"decode", "price-record", "--pcap", dir.Path("rec.pcapng"), "--csv"});
        ASSERT_EQ(csv.status, 0) << csv.err;
        std::vector<std::string> recorded;
        for (const std::string& line : Lines(csv.out)) {
            std::size_t at = 0;
            for (int comma = 0; comma < 5; ++comma) {
                at = line.find(',', at) + 1;
            }
            recorded.push_back(line.substr(at));
        }
        EXPECT_EQ(
            recorded,
            Lines(
                RunTool({"decode", "price-record", "--binary", dir.Path("src.bin"), "--csv"}).out));
        if (Installed("tshark")) {
            ASSERT_EQ(Shell("tshark -r '" + dir.Path("rec.pcapng") +
                            "' -T fields -e udp.payload > '" + dir.Path("payloads") + "'"),
                      0);
            std::string hex;
            for (const std::string& line : Lines(ReadText(dir.Path("payloads")))) {
                hex += line;
            }
            EXPECT_EQ(hex, ToHex(source));
        }
    }
}

TEST(LiveFeed, ReplayedOverTheLoopbackArrivesRecordForRecord) {
    CheckFeeds({{"IPv4, text, rate", "true", "127.0.0.1:PORT",
                 "src.pcap 127.0.0.1:PORT --rate 20000", "", kRecords},
                {"IPv6, JSON, recorded pace", "true", "[::1]:PORT", "src.pcap [::1]:PORT", "--json",
                 kRecords},
                {"raw in datagrams of 3, CSV, a count inside a datagram", "true", "127.0.0.1:PORT",
                 "src.bin 127.0.0.1:PORT --max --records 3", "--csv", kRecords - 2},
                {"IPv6 with the source, twice the pace", "true", "[::1]:PORT",
                 "src.pcap [::1]:PORT --speed 2", "--with-source", kRecords}},
               "");
}

TEST(LiveFeed, MulticastInANamespaceArrivesRecordForRecord) {
    std::string why;
    const std::string wrapper = NamespaceWrapper({"ip"}, why);
    if (wrapper.empty()) {
        GTEST_SKIP() << why;
    }
    // IPv4 loops on the namespace's lo; IPv6 does not, so it crosses a veth pair instead.
    CheckFeeds({{"IPv4 group on lo",
                 "ip link set lo up && ip link set lo multicast on && "
                 "ip route add 224.0.0.0/4 dev lo",
                 "239.1.2.3:PORT --interface lo",
                 "src.pcap 239.1.2.3:PORT --interface lo --rate 20000", "", kRecords},
                // lo's own 127.0.0.1 is no source for a group: the sender gets an address of its
                // own, which the source-specific join names.
                {"IPv4 group on lo, one source",
                 "ip link set lo up && ip link set lo multicast on && "
                 "ip addr add 10.9.9.1/32 dev lo && ip route add 224.0.0.0/4 dev lo src 10.9.9.1",
                 "232.1.1.1:PORT --interface lo --source 10.9.9.1",
                 "src.pcap 232.1.1.1:PORT --interface lo --rate 20000", "", kRecords},
                {"IPv6 group across a veth pair",
                 "a=lmwa$$; b=lmwb$$; ip link set lo up && "
                 "ip link add $a type veth peer name $b && ip link set $a up && "
                 "ip link set $b up && ip addr add fd00::1/64 dev $a nodad && "
                 "ip addr add fd00::2/64 dev $b nodad",
                 "'[ff15::1:2]:PORT' --interface lmwb$$",
                 "src.pcap '[ff15::1:2]:PORT' --interface lmwa$$ --no-loopback --rate 20000", "",
                 kRecords}},
               wrapper);
}

// An independent sender: tcpreplay sends frames that text2pcap built through a veth pair, into
// the namespace's end where listen receives them (its MAC address is text2pcap's receiver's).
TEST(LiveFeed, FramesOfAnotherSenderArriveRecordForRecord) {
    std::string why;
    const std::string wrapper = NamespaceWrapper({"ip", "tcpreplay", "text2pcap"}, why);
    if (wrapper.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    const Bytes records = ReadFile(SynthPrices(dir, 10));
    // Datagrams of 1, 2, 3 and 4 records.
    std::string dump;
    for (std::size_t first = 0, n = 1; first < 10; first += n, ++n) {
        dump += Text2pcapDump("2025-01-02T03:04:05." + std::to_string(n),
                              Bytes(records.begin() + static_cast<long>(first * 86),
                                    records.begin() + static_cast<long>((first + n) * 86)));
    }
    const int port = Port(9);
    const std::string pcap =
        Text2pcap(dir, dump, "-4 10.9.0.1,10.9.0.2 -u 40000," + std::to_string(port));
    ASSERT_EQ(RunFeed(dir, wrapper,
                      "a=lmwa$$; b=lmwb$$; ip link set lo up && "
                      "ip link add $a type veth peer name $b && "
                      "ip link set $b address 20:52:45:43:56:00 && ip link set $a up && "
                      "ip link set $b up && ip addr add 10.9.0.2/24 dev $b",
                      "10.9.0.2:" + std::to_string(port) + " --count 10 --for 60",
                      "tcpreplay -q -i lmwa$$ '" + pcap + "'", port),
              0);
    EXPECT_EQ(ReadText(dir.Path("listen.status")), "0\n");
    EXPECT_EQ(ReadText(dir.Path("listen.out")),
              RunTool({"decode", "price-record", "--binary", dir.Path("capture.bin")}).out);
}

// Interrupted while datagrams arrive, listen still ends well: exit 0, and its recording holds
// every datagram it counted, to the end of the last packet.
TEST(LiveFeed, SigintInTheMiddleOfARecordingLeavesACompletePcapng) {
    TempDir dir;
    MakeSources(dir, kRecords);
    const int port = Port(7);
    const std::string to = "127.0.0.1:" + std::to_string(port);
    ASSERT_EQ(RunFeed(dir, "", "true", to + " --record rec.pcapng --stats 0.05",
                      "$L replay src.pcap " + to + " --rate 2000 --loop 100", port, true),
              0);
    EXPECT_EQ(ReadText(dir.Path("listen.status")), "0\n");
    const std::string stats = Lines(ReadText(dir.Path("listen.err"))).back();
    const std::string prefix = "lmwire: listen " + to + ": ";
    ASSERT_EQ(stats.rfind(prefix, 0), 0u) << stats;
    const long datagrams = std::stol(stats.substr(prefix.size()));
    EXPECT_GT(datagrams, 10);
    EXPECT_LT(datagrams, 100L * kRecords);
    const Result decoded =
        RunTool({"decode", "price-record", "--pcap", dir.Path("rec.pcapng"), "--csv"});
    ASSERT_EQ(decoded.status, 0) << decoded.err;
    EXPECT_EQ(decoded.err, "");
    if (Installed("tshark")) {
        // tshark exits 2 on a file cut inside a packet.
        ASSERT_EQ(
            Shell("tshark -r '" + dir.Path("rec.pcapng") + "' > '" + dir.Path("frames") + "'"), 0);
        EXPECT_EQ(static_cast<long>(Lines(ReadText(dir.Path("frames"))).size()), datagrams);
    }
}

// A flood into the smallest receive buffer: what the kernel dropped is counted, and with what
// arrived makes up what was sent. The kernel tells its count with the next datagram it queues,
// so one more follows the flood once listen has emptied its buffer.
TEST(LiveFeed, AFloodIntoASmallBufferIsReportedAsKernelDrops) {
    TempDir dir;
    MakeSources(dir, kRecords);
    SynthPrices(dir, 1);  // capture.bin: the one datagram after the flood
    const int port = Port(8);
    const std::string to = "127.0.0.1:" + std::to_string(port);
    // listen is stopped during the flood, so that the kernel drops all but what its buffer holds.
    ASSERT_EQ(
        RunFeed(dir, "", "true", to + " --receive-buffer 1 --for 3 > /dev/null",
                "kill -STOP $pid; $L replay src.pcap " + to + " --max --loop 5; kill -CONT $pid",
                port, false, "$L replay capture.bin " + to + " --max"),
        0);
    EXPECT_EQ(ReadText(dir.Path("listen.status")), "0\n");
    long sent = 0;
    for (const std::string& line : Lines(ReadText(dir.Path("replay.out")))) {
        sent += std::stol(line.substr(line.find(": ") + 2));
    }
    const std::string stats = Lines(ReadText(dir.Path("listen.err"))).back();
    const std::size_t at = stats.find(": ", stats.find(to)) + 2;
    const long received = std::stol(stats.substr(at));
    const std::size_t dropped = stats.rfind(" dropped by the kernel");
    ASSERT_NE(dropped, std::string::npos) << stats;
    const long drops = std::stol(stats.substr(stats.rfind(", ", dropped) + 2));
    EXPECT_GT(drops, 0) << stats;
    EXPECT_EQ(received + drops, sent) << stats;
}

// Refused before anything is sent or received: exit 2 and one line naming the input.
TEST(LiveFeed, BadAddressesAndOptionsAreRefusedOnOneLine) {
    TempDir dir;
    MakeSources(dir, 3);
    const std::pair<const char*, const char*> refusals[] = {
        {"listen 300.1.2.3:9300", "listen: expected ADDRESS:PORT"},
        {"listen 127.0.0.1:65536", "expected 0 to 65535"},
        {"listen [::1]:0 --interface no-such-if0", "interface 'no-such-if0': no such interface"},
        {"listen 127.0.0.1:0 --source 127.0.0.2", "127.0.0.1:0: not a multicast group"},
        {"listen 192.0.2.77:0", "192.0.2.77:0: not an address of this machine"},
        {"listen 239.1.2.3:0 --source ::1", "of the other address family"},
        {"listen 239.1.2.3:0 --source 1.2.3", "--source: expected an IPv4 or IPv6 address"},
        {"replay PCAP 127.0.0.1:99999", "expected 0 to 65535"},
        {"replay PCAP 127.0.0.1:9 --interface no-such-if0", "no such interface"},
        {"replay RAW 127.0.0.1:9", "a raw capture has no times to pace by"},
        {"replay RAW 127.0.0.1:9 --speed 2", "a raw capture has no times to pace by"},
        {"replay PCAP [::1]:9 --records 0", "--records 0: expected 1 to 761"},
        {"replay PCAP [::1]:9 --port 70000", "--port 70000"},
        {"replay PCAP [::1]:9 --rate 5 --max", "excludes"},
        {"replay PCAP [::1]:9 --speed 0", "--speed"},
        {"listen 127.0.0.1:0 --print", "--print and --compress go with --record"},
    };
    for (const auto& [command, message] : refusals) {
        SCOPED_TRACE(command);
        std::vector<std::string> args;
        for (const std::string& word : Lines(command, ' ')) {
            args.push_back(word == "PCAP"  ? dir.Path("src.pcap")
                           : word == "RAW" ? dir.Path("src.bin")
                                           : word);
        }
        const Result result = RunTool(args);
        EXPECT_EQ(result.status, 2);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
    }
}

}  // namespace
}  // namespace lmwire_test
