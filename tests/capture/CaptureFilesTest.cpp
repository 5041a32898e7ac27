// Captures that other tools wrote (text2pcap, editcap, mergecap, zstd, gzip) read back packet by
// packet, the writer's output read back by libpcap and by the reader, captures cut anywhere.

#include <fcntl.h>
#include <pcap/pcap.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/CaptureWriter.h"

namespace Lumera::capture {
namespace {

using Bytes = std::vector<unsigned char>;

// The two packets' payloads and times: 2026-01-02 03:04:05.123456789 UTC and 03:04:06.000000001.
constexpr std::int64_t kSecond = 1767323045;
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

int Shell(const std::string& dir, const std::string& command) {
    return std::system(("cd " + dir + " && (" + command + ") >/dev/null 2>&1").c_str());
}

// A scratch directory with the captures every test starts from; empty when a tool is missing.
const std::string& Dir() {
    static const std::string dir = [] {
        char name[] = "/tmp/capture-files-XXXXXX";
        const std::string made = mkdtemp(name);
        // The payloads as hex dumps, bare and after a cooked header (outgoing, IPv4).
        std::ofstream text(made + "/in.txt");
        std::ofstream sll(made + "/sll.txt");
        for (int i = 0; i < 2; ++i) {
            text << "2026-01-02 03:04:0" << 5 + i << (i == 0 ? ".123456789" : ".000000001");
            sll << "2026-01-02 03:04:0" << 5 + i << (i == 0 ? ".123456789" : ".000000001")
                << "\n0000 00 04 00 01 00 06 02 00 00 00 00 01 00 00 08 00";
            char hex[32];
            for (std::size_t at = 0; at < 172; ++at) {
                std::snprintf(hex, sizeof hex, at % 16 == 0 ? "\n%04zx " : " ", at);
                text << hex;
                std::snprintf(hex, sizeof hex, at % 16 == 0 ? "\n%04zx " : " ", at + 16);
                sll << hex;
                std::snprintf(hex, sizeof hex, "%02x", Payload(i)[at]);
                text << hex;
                sll << hex;
            }
            text << "\n";
            sll << "\n";
        }
        text.close();
        sll.close();
        const std::string t2p = "TZ=UTC text2pcap -q -t '%Y-%m-%d %H:%M:%S.%f' ";
        const std::string udp = t2p + "-4 10.0.0.1,10.0.0.2 -u 1000,2000 ";
        const bool ok = Shell(made, "command -v editcap mergecap zstd gzip && " + udp +
                                        "in.txt a.pcapng && " + udp + "-F pcap in.txt a.pcap && " +
                                        udp + "-l 101 in.txt raw.pcapng && " + t2p +
                                        "-F pcap -l 113 sll.txt sll.pcap && editcap -s 1000 "
                                        "raw.pcapng raw2.pcapng") == 0;
        return ok ? made : std::string();
    }();
    return dir;
}

#define SKIP_WITHOUT_TOOLS()                                                     \
    if (Dir().empty()) {                                                         \
        GTEST_SKIP() << "text2pcap, editcap, mergecap, zstd or gzip is missing"; \
    }

TEST(CaptureFiles, ToolFilesReadPacketByPacket) {
    SKIP_WITHOUT_TOOLS();
    const std::vector<int> merged = {1, 1, 101, 101, 113, 113};
    const struct {
        const char* name;
        const char* make;  // from the files Dir() made
        CaptureKind kind;
        Compression compression;
        std::vector<int> links;  // of each packet, in order
        const char* nano;        // per packet: 'n' for nanosecond stamps, 'm' for microseconds
        std::size_t snap;        // 0: whole frames
    } rows[] = {
        {"a.pcap", "true", CaptureKind::Pcap, Compression::None, {1, 1}, "mm", 0},
        {"a.pcapng", "true", CaptureKind::Pcapng, Compression::None, {1, 1}, "nn", 0},
        {"n.pcap",
         "editcap -F nsecpcap a.pcapng n.pcap",
         CaptureKind::Pcap,
         Compression::None,
         {1, 1},
         "nn",
         0},
        {"s.pcapng",
         "editcap -s 60 a.pcapng s.pcapng",
         CaptureKind::Pcapng,
         Compression::None,
         {1, 1},
         "nn",
         60},
        // Three interfaces: link types, snap lengths and resolutions differ.
        {"m.pcapng", "mergecap -a -w m.pcapng a.pcapng raw2.pcapng sll.pcap", CaptureKind::Pcapng,
         Compression::None, merged, "nnnnmm", 0},
        {"m.pcapng.zst", "zstd -qf m.pcapng", CaptureKind::Pcapng, Compression::Zstd, merged,
         "nnnnmm", 0},
        {"a.pcap.gz", "gzip -kf a.pcap", CaptureKind::Pcap, Compression::Gzip, {1, 1}, "mm", 0},
        // Members and frames that end inside a packet.
        {"two.gz",
         "(head -c 100 a.pcap | gzip; tail -c +101 a.pcap | gzip) >two.gz",
         CaptureKind::Pcap,
         Compression::Gzip,
         {1, 1},
         "mm",
         0},
        {"two.zst",
         "(head -c 300 a.pcapng | zstd; tail -c +301 a.pcapng | zstd -1) >two.zst",
         CaptureKind::Pcapng,
         Compression::Zstd,
         {1, 1},
         "nn",
         0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(Shell(Dir(), row.make), 0);
        CaptureReader reader(ByteStream::Open(Dir() + "/" + row.name));
        EXPECT_EQ(reader.Kind(), row.kind);
        EXPECT_EQ(reader.Stream().Compressed(), row.compression);
        EXPECT_EQ(reader.Stream().Size().has_value(), row.compression == Compression::None);
        Packet packet;
        for (std::size_t i = 0; i < row.links.size(); ++i) {
            ASSERT_EQ(reader.Next(packet), ReadStatus::Packet) << i;
            const std::size_t length = row.links[i] == 1 ? 214 : row.links[i] == 101 ? 200 : 188;
            EXPECT_EQ(packet.linkType, row.links[i]);
            EXPECT_EQ(packet.seconds, kSecond + static_cast<int>(i % 2));
            const bool nano = row.nano[i] == 'n';
            EXPECT_EQ(packet.nanoseconds,
                      i % 2 == 1 ? (nano ? 1U : 0U) : (nano ? 123456789U : 123456000U));
            EXPECT_EQ(packet.original, length);
            ASSERT_EQ(packet.captured, row.snap != 0 ? row.snap : length);
            if (row.snap == 0) {
                EXPECT_EQ(Bytes(packet.data + length - 172, packet.data + length),
                          Payload(static_cast<int>(i % 2)));
            }
        }
        EXPECT_EQ(reader.Next(packet), ReadStatus::End);
        EXPECT_EQ(reader.CutText(), "");
        EXPECT_EQ(reader.Count(), row.links.size());
    }
}

// Every prefix of a capture: the packets before the cut, then End exactly where a packet (or
// record) ends and Cut elsewhere; never an error.
TEST(CaptureFiles, PrefixesEndOrCutNeverFail) {
    SKIP_WITHOUT_TOOLS();
    ASSERT_EQ(Shell(Dir(), "zstd -qf a.pcapng && gzip -kf a.pcap"), 0);
    const Bytes raw = Payload(3, 3 * 86);
    const struct {
        Bytes bytes;
        std::vector<std::size_t> ends;  // where it may end; empty: anywhere (pcapng's blocks)
        bool compressed;
    } rows[] = {{Load(Dir() + "/a.pcap"), {24, 24 + 16 + 214, 24 + 2 * (16 + 214)}, false},
                {Load(Dir() + "/a.pcapng"), {}, false},
                {Load(Dir() + "/a.pcapng.zst"), {}, true},
                {Load(Dir() + "/a.pcap.gz"), {}, true},
                {raw, {86, 172, 258}, false}};
    for (const auto& row : rows) {
        for (std::size_t length = 0; length <= row.bytes.size(); ++length) {
            SCOPED_TRACE(std::to_string(row.bytes.size()) + " cut at " + std::to_string(length));
            CaptureReader reader(ByteStream::FromMemory(row.bytes.data(), length));
            ReadStatus status = ReadStatus::Packet;
            Packet packet;
            unsigned char records[86 * 2];
            std::size_t count = 0;
            while (status == ReadStatus::Packet) {
                status = reader.Kind() == CaptureKind::Raw ? reader.NextRecords(records, 2, count)
                                                           : reader.Next(packet);
            }
            EXPECT_EQ(reader.CutText().empty(), status == ReadStatus::End);
            const auto& ends = row.ends;
            if (length == row.bytes.size() || length == 0) {
                EXPECT_EQ(status, ReadStatus::End);
            } else if (row.compressed || !ends.empty()) {
                const bool end = std::find(ends.begin(), ends.end(), length) != ends.end();
                EXPECT_EQ(status, end ? ReadStatus::End : ReadStatus::Cut);
            }
        }
    }
    CaptureReader reader(ByteStream::FromMemory(raw.data(), 100));
    unsigned char records[86 * 4];
    std::size_t count = 0;
    ASSERT_EQ(reader.NextRecords(records, 4, count), ReadStatus::Packet);
    EXPECT_EQ(count, 1U);
    EXPECT_EQ(reader.NextRecords(records, 4, count), ReadStatus::Cut);
    EXPECT_EQ(reader.CutText(), "14 bytes after the last whole record");
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
        SCOPED_TRACE(row.message);
        Bytes bytes = Load(Dir() + "/" + row.file);
        std::size_t at = row.offset;
        for (int block = 0; block < row.block; ++block) {
            at += bytes[at - row.offset + 4] | (bytes[at - row.offset + 5] << 8);
        }
        for (int i = 0; i < 4; ++i) {
            bytes.at(at + i) = static_cast<unsigned char>(row.value >> (8 * i));
        }
        try {
            CaptureReader reader(ByteStream::FromMemory(bytes.data(), bytes.size(), "damaged"));
            Packet packet;
            while (reader.Next(packet) == ReadStatus::Packet) {
            }
            ADD_FAILURE() << "read to the end";
        } catch (const CaptureError& error) {
            const std::string what = error.what();
            EXPECT_TRUE(what.rfind("damaged: ", 0) == 0 && what.find(row.message) != what.npos)
                << what;
        }
    }
}

TEST(CaptureFiles, WriterOutputReadBackByLibpcapAndTheReader) {
    // Written by hand from the formats' descriptions: pcap's file header, pcapng's section.
    const Bytes pcap = {0xd4, 0xc3, 0xb2, 0xa1, 2, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 4, 0, 1};
    const Bytes pcapng = {10, 13, 13, 10, 28, 0, 0, 0, 0x4d, 0x3c, 0x2b, 0x1a, 1, 0, 0, 0, 0xff};
    using F = WriteFormat;
    using C = Compression;
    constexpr auto kMicro = TimeResolution::Microseconds;
    constexpr auto kNano = TimeResolution::Nanoseconds;
    const struct {
        WriteFormat format;
        TimeResolution resolution;
        Compression compression;
        Bytes head;  // the file's first bytes
    } rows[] = {{F::Raw, kMicro, C::None, Payload(2, 172)}, {F::Raw, kMicro, C::Zstd, {0x28}},
                {F::Pcap, kMicro, C::None, pcap},           {F::Pcap, kNano, C::None, {0x4d, 0x3c}},
                {F::Pcap, kNano, C::Zstd, {0x28, 0xb5}},    {F::Pcapng, kMicro, C::None, pcapng},
                {F::Pcapng, kNano, C::None, pcapng},        {F::Pcapng, kNano, C::Zstd, {0x28}}};
    const std::int64_t seconds[] = {0, kSecond, 2147483647};
    const std::uint32_t nanoseconds[] = {0, 123456789, 999999999};
    const Bytes frames[] = {Payload(1, 60), Payload(2, 61), Payload(3, 214)};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.format) * 10 + static_cast<int>(row.compression));
        char path[] = "/tmp/capture-writer-XXXXXX";
        const int fd = mkstemp(path);
        const bool nano = row.resolution == kNano;
        CaptureWriter writer(fd, {row.format, row.compression, 3, row.resolution, "w"});
        for (int i = 0; i < 3; ++i) {
            if (row.format == F::Raw) {
                writer.WriteRecords(Payload(2, 172).data(), 2);
            } else {
                writer.WritePacket(seconds[i], nanoseconds[i], frames[i].data(), frames[i].size());
            }
        }
        writer.Finish();
        close(fd);
        const Bytes written = Load(path);
        EXPECT_TRUE(std::equal(row.head.begin(), row.head.end(), written.begin()));
        CaptureReader reader(ByteStream::Open(path));
        EXPECT_EQ(static_cast<int>(reader.Kind()), static_cast<int>(row.format));
        EXPECT_EQ(reader.Stream().Compressed(), row.compression);
        char error[PCAP_ERRBUF_SIZE];
        const bool byLibpcap = row.format != F::Raw && row.compression == C::None;
        pcap_t* other = byLibpcap ? pcap_open_offline_with_tstamp_precision(
                                        path, PCAP_TSTAMP_PRECISION_NANO, error)
                                  : nullptr;
        unlink(path);
        ASSERT_EQ(other != nullptr, byLibpcap) << error;
        Packet packet;
        unsigned char records[86 * 6];
        std::size_t count = 0;
        if (row.format == F::Raw) {
            while (reader.NextRecords(records, 6, count) == ReadStatus::Packet) {
                EXPECT_TRUE(std::equal(records, records + 172, Payload(2, 172).begin()));
            }
            EXPECT_EQ(reader.Count(), 6U);
        }
        for (int i = 0; i < 3 && row.format != F::Raw; ++i) {
            const std::uint32_t expected = nano ? nanoseconds[i] : nanoseconds[i] / 1000 * 1000;
            ASSERT_EQ(reader.Next(packet), ReadStatus::Packet);
            EXPECT_EQ(packet.seconds, seconds[i]);
            EXPECT_EQ(packet.nanoseconds, expected);
            EXPECT_EQ(packet.linkType, link::kEthernet);
            EXPECT_EQ(Bytes(packet.data, packet.data + packet.captured), frames[i]);
            EXPECT_EQ(packet.original, frames[i].size());
            pcap_pkthdr* header = nullptr;
            const u_char* data = nullptr;
            if (byLibpcap) {
                ASSERT_EQ(pcap_next_ex(other, &header, &data), 1) << error;
                EXPECT_EQ(header->ts.tv_sec, seconds[i]);
                EXPECT_EQ(header->ts.tv_usec, expected);
                EXPECT_EQ(header->len, frames[i].size());
                EXPECT_EQ(Bytes(data, data + header->caplen), frames[i]);
            }
        }
        EXPECT_EQ(
            row.format == F::Raw ? reader.NextRecords(records, 6, count) : reader.Next(packet),
            ReadStatus::End);
        if (other != nullptr) {
            pcap_close(other);
        }
    }
}

// A pipe hands over what has arrived, and its reader hears before each wait; a pipe whose
// reader has gone is EPIPE for its writer.
TEST(CaptureFiles, PipesWaitAndBreak) {
    SKIP_WITHOUT_TOOLS();
    const Bytes bytes = Load(Dir() + "/a.pcap");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], bytes.data(), 100), 100);
    int waits = 0;
    ByteStream* seen = nullptr;
    auto stream = ByteStream::Open("/dev/fd/" + std::to_string(fds[0]), [&] {
        EXPECT_TRUE(seen->WouldBlock());
        if (waits++ == 0) {
            EXPECT_GT(write(fds[1], bytes.data() + 100, bytes.size() - 100), 0);
            close(fds[1]);
        }
    });
    seen = stream.get();
    EXPECT_FALSE(stream->Size().has_value());
    CaptureReader reader(std::move(stream));
    Packet packet;
    while (reader.Next(packet) == ReadStatus::Packet) {
    }
    EXPECT_EQ(reader.Count(), 2U);
    EXPECT_EQ(waits, 1);
    close(fds[0]);

    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    std::signal(SIGPIPE, SIG_IGN);
    CaptureWriter writer(fds[1], {});
    writer.WriteRecords(bytes.data(), 1);
    EXPECT_THROW(writer.Finish(), CaptureError);
    EXPECT_EQ(writer.FailedErrno(), EPIPE);
    close(fds[1]);
}

}  // namespace
}  // namespace Lumera::capture
