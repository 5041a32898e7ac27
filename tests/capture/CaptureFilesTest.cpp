// Captures that other tools wrote (text2pcap, editcap, mergecap, zstd, gzip) read back packet by
// packet and cut anywhere, damaged ones, and the writer's output read back by libpcap.

#include <pcap/pcap.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <tuple>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SampleCount.h"
#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/CaptureWriter.h"

namespace Lumera::capture {
namespace {

using Bytes = std::vector<unsigned char>;
// A packet as the tests compare it: seconds, nanoseconds, link type, length on the wire, bytes.
using Seen = std::tuple<std::int64_t, std::uint32_t, int, std::size_t, Bytes>;
using C = Compression;
using K = CaptureKind;

constexpr std::int64_t kSecond = 1767323045;  // 2026-01-02 03:04:05 UTC
Bytes Payload(int i, std::size_t length = 172) {
    Bytes bytes(length);
    for (std::size_t j = 0; j < length; ++j) {
        bytes[j] = static_cast<unsigned char>(i * 7 + static_cast<int>(j));
    }
    return bytes;
}

Bytes Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// This process's scratch directory (CTest runs tests side by side), removed at its end.
std::string In(const std::string& name) {
    static const struct Scratch {
        std::string path;
        ~Scratch() { std::system(("rm -rf " + path).c_str()); }
    } scratch{mkdtemp(std::string("capture-files-XXXXXX").data())};
    return scratch.path + "/" + name;
}

int Shell(const std::string& command) {
    return std::system(("cd " + In("") + " && (" + command + ") >/dev/null 2>&1").c_str());
}

// Every packet (or record, as a packet of link type 0) until the end, and how it ended.
ReadStatus ReadAll(CaptureReader& reader, std::vector<Seen>& seen) {
    Packet p;
    unsigned char r[86];
    std::size_t count = 0;
    for (bool raw = reader.Kind() == CaptureKind::Raw;;) {
        if ((raw ? reader.NextRecords(r, 1, count) : reader.Next(p)) != ReadStatus::Packet) {
            return reader.CutText().empty() ? ReadStatus::End : ReadStatus::Cut;
        }
        seen.emplace_back(raw ? Seen{0, 0, 0, 86, Bytes(r, r + 86)}
                              : Seen{p.seconds, p.nanoseconds, p.linkType, p.original,
                                     Bytes(p.data, p.data + p.captured)});
    }
}

// The captures every test starts from, made once; false when a tool is missing. Two packets of
// 172 payload bytes, at kSecond + .123456789 and kSecond + 1.000000001; a Linux cooked header is
// outgoing, of Ethernet's address type with a 6-byte address, for IPv4.
bool Made() {
    static const bool made = [] {
        const Bytes cooked = {0, 4, 0, 1, 0, 6, 2, 0, 0, 0, 0, 1, 0, 0, 8, 0};
        for (const auto& [file, bytes] :
             {std::pair{"c", cooked}, {"p0", Payload(0)}, {"p1", Payload(1)}}) {
            std::ofstream(In(file)).write(reinterpret_cast<const char*>(bytes.data()),
                                          static_cast<std::streamsize>(bytes.size()));
        }
        return Shell(R"(command -v editcap mergecap zstd gzip || exit 1
dump() { echo 2026-01-02 03:04:05.123456789; od -Ax -tx1 -v $1;
         echo 2026-01-02 03:04:06.000000001; od -Ax -tx1 -v $2; }
t2p() { TZ=UTC text2pcap -q -t '%Y-%m-%d %H:%M:%S.%f' "$@"; }
udp() { t2p -4 10.0.0.1,10.0.0.2 -u 1000,2000 "$@"; }
cat c p0 >s0 && cat c p1 >s1 && dump p0 p1 >in && dump s0 s1 >sll &&
udp in a.pcapng && udp -F pcap in a.pcap && udp -l 101 in raw.pcapng &&
t2p -F pcap -l 113 sll sll.pcap && editcap -s 1000 raw.pcapng raw2.pcapng)") == 0;
    }();
    return made;
}

#define SKIP_WITHOUT_TOOLS() \
    if (!Made())             \
    GTEST_SKIP() << "text2pcap, editcap, mergecap, zstd or gzip is missing"

TEST(CaptureFiles, ToolFilesReadPacketByPacketAndCutAnywhere) {
    SKIP_WITHOUT_TOOLS();
    const struct {
        const char* name;
        const char* make;  // from the files Made() made
        CaptureKind kind;
        Compression compression;
        // Each packet's link type (Ethernet, Raw IP, cooked) in capitals for nanosecond stamps.
        std::string packets;
        std::size_t snap;  // 0: whole frames
    } rows[] = {
        {"a.pcap", "true", K::Pcap, C::None, "ee", 0},
        {"a.pcapng", "true", K::Pcapng, C::None, "EE", 0},
        {"n.pcap", "editcap -F nsecpcap a.pcapng n.pcap", K::Pcap, C::None, "EE", 0},
        {"s.pcapng", "editcap -s 60 a.pcapng s.pcapng", K::Pcapng, C::None, "EE", 60},
        {"2.pcapng", "cat a.pcapng raw.pcapng >2.pcapng", K::Pcapng, C::None, "EERR", 0},
        // Three interfaces: link types, snap lengths and resolutions differ.
        {"m.pcapng", "mergecap -a -w m.pcapng a.pcapng raw2.pcapng sll.pcap", K::Pcapng, C::None,
         "EERRcc", 0},
        {"m.pcapng.zst", "zstd -qf m.pcapng", K::Pcapng, C::Zstd, "EERRcc", 0},
        {"a.pcap.gz", "gzip -kf a.pcap", K::Pcap, C::Gzip, "ee", 0},
        // Members and frames that end inside a packet.
        {"2.gz", "(head -c 99 a.pcap | gzip; tail -c +100 a.pcap | gzip) >2.gz", K::Pcap, C::Gzip,
         "ee", 0},
        {"2.zst", "(head -c 300 a.pcapng | zstd; tail -c +301 a.pcapng | zstd) >2.zst", K::Pcapng,
         C::Zstd, "EE", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(Shell(row.make), 0);
        CaptureReader reader(ByteStream::Open(In(row.name)));
        EXPECT_EQ(reader.Kind(), row.kind);
        EXPECT_EQ(reader.Stream().Compressed(), row.compression);
        EXPECT_EQ(reader.Stream().Size().has_value(), row.compression == C::None);
        std::vector<Seen> seen;
        EXPECT_EQ(ReadAll(reader, seen), ReadStatus::End);
        ASSERT_EQ(seen.size(), row.packets.size());
        for (std::size_t i = 0; i < seen.size(); ++i) {
            const char c = static_cast<char>(row.packets[i] | 0x20);  // lower case
            const int link = c == 'e' ? 1 : c == 'r' ? 101 : 113;
            const std::size_t length = c == 'e' ? 214 : c == 'r' ? 200 : 188;
            const std::uint32_t unit = row.packets[i] != c ? 1 : 1000;
            const auto& [seconds, nanoseconds, type, original, bytes] = seen[i];
            EXPECT_EQ(seconds, kSecond + static_cast<int>(i % 2));
            EXPECT_EQ(nanoseconds, (i % 2 == 1 ? 1U : 123456789U) / unit * unit);
            EXPECT_EQ(std::tie(type, original), std::tie(link, length));
            ASSERT_EQ(bytes.size(), row.snap != 0 ? row.snap : length);
            if (row.snap == 0) {
                EXPECT_EQ(Bytes(bytes.end() - 172, bytes.end()), Payload(static_cast<int>(i % 2)));
            }
        }
        // Every prefix: the packets before the cut, then End where a pcap's packet ends and Cut
        // elsewhere (always, in compressed data); never an error.
        const Bytes file = Load(In(row.name));
        std::vector<std::size_t> ends = {24};
        for (const Seen& packet : seen) {
            ends.push_back(ends.back() + 16 + std::get<4>(packet).size());
        }
        // Under valgrind (a sampled run) every hundredth or so.
        const auto step = static_cast<std::size_t>(100 / lmwire_test::SampleCount(100));
        for (std::size_t length = 1; length < file.size(); length += step) {
            CaptureReader cut(ByteStream::FromMemory(file.data(), length));
            std::vector<Seen> some;
            const ReadStatus status = ReadAll(cut, some);
            EXPECT_TRUE(std::equal(some.begin(), some.end(), seen.begin())) << length;
            const bool end = row.compression == C::None &&
                             std::find(ends.begin(), ends.end(), length) != ends.end();
            if (row.kind == K::Pcap || row.compression != C::None) {
                EXPECT_EQ(status, end ? ReadStatus::End : ReadStatus::Cut) << length;
            }
        }
    }
}

// Damaged headers and blocks: an error naming what is wrong, never a packet made of them.
TEST(CaptureFiles, DamageIsAnErrorNamingIt) {
    SKIP_WITHOUT_TOOLS();
    const struct {
        const char* file;
        int block;           // pcapng: the offset counts from this block; -1: from the start
        std::size_t offset;  // of a little-endian 32-bit value
        std::uint32_t value;
        const char* message;
    } rows[] = {
        {"a.pcap", -1, 20, 105, "link-layer type 105 (IEEE802_11) is not read; Ethernet"},
        {"a.pcap", -1, 24 + 8, 300000, "packet 1 claims 300000 captured bytes"},
        {"a.pcap", -1, 24 + 16 + 214 + 8, 262145, "packet 2 claims 262145"},
        {"a.pcapng", 1, 8, 105, "packet 1 (interface 0): link-layer type 105 (IEEE802_11)"},
        {"a.pcapng", 2, 8, 5, "packet 1 is of interface 5, which the section never described"},
        {"a.pcapng", 2, 4, 77, "a block of type 6 claims 77 bytes"},
        {"a.pcapng", 2, 4, 1U << 27, "claims 134217728 bytes"},
        {"a.pcapng", 2, 4, 256, "trailing length differs"},
        {"a.pcapng", 2, 20, 1000, "packet 1 claims more captured bytes than its block holds"},
    };
    for (const auto& row : rows) {
        Bytes bytes = Load(In(row.file));
        std::size_t at = row.offset;
        for (int block = 0; block < row.block; ++block) {
            at += bytes[at - row.offset + 4] | (bytes[at - row.offset + 5] << 8);
        }
        for (int i = 0; i < 4; ++i) {
            bytes.at(at + i) = static_cast<unsigned char>(row.value >> (8 * i));
        }
        const auto read = [&bytes] {
            CaptureReader reader(ByteStream::FromMemory(bytes.data(), bytes.size(), "damaged"));
            std::vector<Seen> seen;
            return ReadAll(reader, seen);
        };
        EXPECT_THAT(read, testing::ThrowsMessage<CaptureError>(testing::AllOf(
                              testing::StartsWith("damaged: "), testing::HasSubstr(row.message))));
    }
}

TEST(CaptureFiles, WriterOutputReadBackByLibpcapAndTheReader) {
    // Written by hand from the formats' descriptions: pcap's file header, pcapng's section.
    const Bytes pcap = {0xd4, 0xc3, 0xb2, 0xa1, 2, 0,    4,    0, 0, 0, 0,
                        0,    0,    0,    0,    0, 0xff, 0xff, 0, 0, 1};
    const Bytes pcapng = {10, 13, 13, 10, 28, 0, 0, 0, 0x4d, 0x3c, 0x2b, 0x1a, 1, 0, 0, 0, 0xff};
    using F = WriteFormat;
    constexpr auto kMicro = TimeResolution::Microseconds;
    constexpr auto kNano = TimeResolution::Nanoseconds;
    // The options as plain fields: GCC 12 takes a WriterOptions built in the table for one whose
    // name may be uninitialised.
    const struct {
        F format;
        C compression;
        int level;
        TimeResolution resolution;
        Bytes head;  // the file's first bytes
    } rows[] = {{F::Raw, C::None, 3, kMicro, Payload(2)},
                {F::Raw, C::Zstd, 19, kMicro, {0x28, 0xb5, 0x2f, 0xfd}},
                {F::Pcap, C::None, 3, kMicro, pcap},
                {F::Pcap, C::None, 3, kNano, {0x4d, 0x3c, 0xb2, 0xa1}},
                {F::Pcap, C::Zstd, 1, kNano, {0x28, 0xb5}},
                {F::Pcapng, C::None, 3, kMicro, pcapng},
                {F::Pcapng, C::None, 3, kNano, pcapng},
                {F::Pcapng, C::Zstd, 3, kNano, {0x28}}};
    const std::vector<Seen> packets = {{0, 0, 1, 60, Payload(1, 60)},
                                       {kSecond, 123456789, 1, 61, Payload(2, 61)},
                                       {2147483647, 999999999, 1, 214, Payload(3, 214)}};
    const Bytes records = Payload(2);
    for (const auto& row : rows) {
        SCOPED_TRACE(&row - rows);
        WriterOptions options;
        options.format = row.format;
        options.compression = row.compression;
        options.level = row.level;
        options.resolution = row.resolution;
        char path[] = "/tmp/capture-writer-XXXXXX";
        const int fd = mkstemp(path);
        CaptureWriter writer(fd, options);
        std::vector<Seen> expected;
        for (const auto& [seconds, nanoseconds, link, length, bytes] : packets) {
            if (options.format == F::Raw) {
                writer.WriteRecords(records.data(), 2);
                expected.emplace_back(0, 0, 0, 86, Bytes(records.begin(), records.begin() + 86));
                expected.emplace_back(0, 0, 0, 86, Bytes(records.begin() + 86, records.end()));
            } else {
                writer.WritePacket(seconds, nanoseconds, bytes.data(), bytes.size());
                const std::uint32_t unit = options.resolution == kNano ? 1 : 1000;
                expected.emplace_back(seconds, nanoseconds / unit * unit, link, length, bytes);
            }
        }
        writer.Finish();
        close(fd);
        const Bytes written = Load(path);
        EXPECT_TRUE(std::equal(row.head.begin(), row.head.end(), written.begin()));
        CaptureReader reader(ByteStream::Open(path));
        EXPECT_EQ(static_cast<int>(reader.Kind()), static_cast<int>(options.format));
        EXPECT_EQ(reader.Stream().Compressed(), options.compression);
        std::vector<Seen> seen;
        EXPECT_EQ(ReadAll(reader, seen), ReadStatus::End);
        EXPECT_EQ(seen, expected);
        char error[PCAP_ERRBUF_SIZE];
        pcap_t* other =
            options.format == F::Raw || options.compression != C::None
                ? nullptr
                : pcap_open_offline_with_tstamp_precision(path, PCAP_TSTAMP_PRECISION_NANO, error);
        pcap_pkthdr* h = nullptr;
        const u_char* data = nullptr;
        for (seen.clear(); other != nullptr && pcap_next_ex(other, &h, &data) == 1;) {
            seen.emplace_back(h->ts.tv_sec, h->ts.tv_usec, pcap_datalink(other), h->len,
                              Bytes(data, data + h->caplen));
        }
        EXPECT_EQ(seen, other != nullptr ? expected : std::vector<Seen>{});
        if (other != nullptr) {
            pcap_close(other);
        }
        unlink(path);
    }
    CaptureReader cut(ByteStream::FromMemory(records.data(), 100));
    std::vector<Seen> seen;
    EXPECT_EQ(ReadAll(cut, seen), ReadStatus::Cut);
    EXPECT_EQ(cut.CutText(), "14 bytes after the last whole record");
    // A pipe whose reader has gone.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    std::signal(SIGPIPE, SIG_IGN);
    CaptureWriter writer(fds[1], {});
    writer.WriteRecords(records.data(), 1);
    EXPECT_THROW(writer.Finish(), CaptureError);
    EXPECT_EQ(writer.FailedErrno(), EPIPE);
    close(fds[1]);
}

}  // namespace
}  // namespace Lumera::capture
