// Captures that other tools wrote (text2pcap, editcap, mergecap, zstd, gzip) read back packet by
// packet, the writer's output read back by libpcap and by the reader, and captures cut anywhere.

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

// The two packets' payloads and times (2026-01-02 03:04:05.123456789 UTC and a second later).
constexpr std::int64_t kSecond = 1767323045;
Bytes Payload(int i) {
    Bytes bytes(172);
    for (std::size_t j = 0; j < bytes.size(); ++j) {
        bytes[j] = static_cast<unsigned char>(i * 7 + static_cast<int>(j));
    }
    return bytes;
}

Bytes Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

// A scratch directory with the files every test starts from; empty when a tool is missing.
const std::string& Dir() {
    static const std::string dir = [] {
        char name[] = "/tmp/capture-files-XXXXXX";
        const std::string made = mkdtemp(name);
        std::ofstream text(made + "/in.txt");
        std::ofstream sll(made + "/sll.txt");
        const char* stamps[] = {"2026-01-02 03:04:05.123456789", "2026-01-02 03:04:06.000000001"};
        for (int i = 0; i < 2; ++i) {
            text << stamps[i] << "\n";
            // A cooked header (outgoing, Ethernet, IPv4) before the payload.
            sll << stamps[i] << "\n000000 00 04 00 01 00 06 02 00 00 00 00 01 00 00 08 00\n";
            const Bytes payload = Payload(i);
            for (std::size_t at = 0; at < payload.size(); ++at) {
                char hex[32];
                if (at % 16 == 0) {
                    std::snprintf(hex, sizeof hex, "\n%06zx", at);
                    text << hex;
                    std::snprintf(hex, sizeof hex, "\n%06zx", at + 16);
                    sll << hex;
                }
                std::snprintf(hex, sizeof hex, " %02x", payload[at]);
                text << hex;
                sll << hex;
            }
            text << "\n";
            sll << "\n";
        }
        text.close();
        sll.close();
        const std::string t2p = "TZ=UTC text2pcap -q -t '%Y-%m-%d %H:%M:%S.%f' ";
        const std::string udp = "-4 10.0.0.1,10.0.0.2 -u 1000,2000 ";
        const std::string make =
            "cd " + made + " && " + t2p + udp + "in.txt a.pcapng && " + t2p + udp +
            "-F pcap in.txt a.pcap && " + t2p + udp + "-l 101 in.txt raw.pcapng && " + t2p +
            "-F pcap -l 113 sll.txt sll.pcap && editcap -s 1000 raw.pcapng raw2.pcapng";
        return std::system(("command -v editcap mergecap zstd gzip >/dev/null && " + make +
                            " >/dev/null 2>&1")
                               .c_str()) == 0
                   ? made
                   : std::string();
    }();
    return dir;
}

std::size_t FrameLength(int linkType) {
    return linkType == link::kEthernet ? 214 : linkType == link::kRaw ? 200 : 188;
}

struct ToolFile {
    const char* name;
    const char* make;  // in the scratch directory, from the files Dir() made
    CaptureKind kind;
    Compression compression;
    std::vector<int> links;  // of each packet, in order
    const char* nano;        // 'n' where a packet's stamps are in nanoseconds, else 'm'
    std::size_t snap;        // 0: whole frames
};

TEST(CaptureFiles, ToolFilesReadPacketByPacket) {
    if (Dir().empty()) {
        GTEST_SKIP() << "text2pcap, editcap, mergecap, zstd or gzip is missing";
    }
    const ToolFile rows[] = {
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
        {"m.pcapng",
         "mergecap -a -w m.pcapng a.pcapng raw2.pcapng sll.pcap",
         CaptureKind::Pcapng,
         Compression::None,
         {1, 1, 101, 101, 113, 113},
         "nnnnmm",
         0},
        {"m.pcapng.zst",
         "zstd -q m.pcapng",
         CaptureKind::Pcapng,
         Compression::Zstd,
         {1, 1, 101, 101, 113, 113},
         "nnnnmm",
         0},
        {"a.pcap.gz",
         "gzip -c a.pcap >a.pcap.gz",
         CaptureKind::Pcap,
         Compression::Gzip,
         {1, 1},
         "mm",
         0},
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
    for (const ToolFile& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(std::system(("cd " + Dir() + " && (" + row.make + ") >/dev/null 2>&1").c_str()),
                  0);
        const std::string path = Dir() + "/" + row.name;
        CaptureReader reader(ByteStream::Open(path));
        EXPECT_EQ(reader.Kind(), row.kind);
        EXPECT_EQ(reader.Stream().Compressed(), row.compression);
        EXPECT_EQ(reader.Stream().Size().has_value(), row.compression == Compression::None);
        Packet packet;
        for (std::size_t i = 0; i < row.links.size(); ++i) {
            ASSERT_EQ(reader.Next(packet), ReadStatus::Packet) << i;
            const std::size_t length = FrameLength(row.links[i]);
            const std::size_t captured = row.snap != 0 ? row.snap : length;
            EXPECT_EQ(packet.linkType, row.links[i]);
            EXPECT_EQ(packet.seconds, kSecond + static_cast<int>(i % 2));
            EXPECT_EQ(packet.nanoseconds, i % 2 == 1
                                              ? (row.nano[i] == 'n' ? 1U : 0U)
                                              : (row.nano[i] == 'n' ? 123456789U : 123456000U));
            EXPECT_EQ(packet.original, length);
            ASSERT_EQ(packet.captured, captured);
            if (captured == length) {
                const Bytes payload = Payload(static_cast<int>(i % 2));
                EXPECT_EQ(Bytes(packet.data + length - 172, packet.data + length), payload);
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
    if (Dir().empty()) {
        GTEST_SKIP() << "text2pcap, editcap, mergecap, zstd or gzip is missing";
    }
    ASSERT_EQ(std::system(("cd " + Dir() + " && zstd -qf a.pcapng && gzip -kf a.pcap").c_str()), 0);
    Bytes raw(3 * 86);
    for (std::size_t i = 0; i < raw.size(); ++i) {
        raw[i] = static_cast<unsigned char>(i * 13);
    }
    // Where an uncompressed capture may end: after the header or after a packet.
    const std::vector<std::size_t> pcapEnds = {24, 24 + 16 + 214, 24 + 2 * (16 + 214)};
    const struct {
        Bytes bytes;
        std::vector<std::size_t> ends;  // empty: any prefix may end either way (pcapng blocks)
        bool compressed;
    } rows[] = {{Load(Dir() + "/a.pcap"), pcapEnds, false},
                {Load(Dir() + "/a.pcapng"), {}, false},
                {Load(Dir() + "/a.pcapng.zst"), {}, true},
                {Load(Dir() + "/a.pcap.gz"), {}, true},
                {raw, {86, 172, 258}, false}};
    for (const auto& row : rows) {
        for (std::size_t length = 0; length <= row.bytes.size(); ++length) {
            SCOPED_TRACE(std::to_string(row.bytes.size()) + " bytes cut at " +
                         std::to_string(length));
            const bool whole = length == row.bytes.size();
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
            if (whole || length == 0) {
                EXPECT_EQ(status, ReadStatus::End);
            } else if (row.compressed) {
                EXPECT_EQ(status, ReadStatus::Cut);
            } else if (!row.ends.empty()) {
                const bool atEnd =
                    std::find(row.ends.begin(), row.ends.end(), length) != row.ends.end();
                EXPECT_EQ(status, atEnd ? ReadStatus::End : ReadStatus::Cut);
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
    if (Dir().empty()) {
        GTEST_SKIP() << "text2pcap, editcap, mergecap, zstd or gzip is missing";
    }
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
        std::size_t at = 0;
        for (int block = 0; block < row.block; ++block) {
            at += bytes[at + 4] | (bytes[at + 5] << 8) | (bytes[at + 6] << 16);
        }
        for (int i = 0; i < 4; ++i) {
            bytes.at(at + row.offset + i) = static_cast<unsigned char>(row.value >> (8 * i));
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
    const Bytes pcapMicro = {0xd4, 0xc3, 0xb2, 0xa1, 2, 0, 4, 0, 0, 0, 0, 0,
                             0,    0,    0,    0,    0, 0, 4, 0, 1, 0, 0, 0};
    const Bytes pcapngSection = {0x0a, 0x0d, 0x0d, 0x0a, 28, 0, 0,    0,    0x4d, 0x3c,
                                 0x2b, 0x1a, 1,    0,    0,  0, 0xff, 0xff, 0xff, 0xff,
                                 0xff, 0xff, 0xff, 0xff, 28, 0, 0,    0};
    const struct {
        WriteFormat format;
        TimeResolution resolution;
        Compression compression;
        Bytes head;  // the file's first bytes, when it is not compressed
    } rows[] = {
        {WriteFormat::Raw, TimeResolution::Microseconds, Compression::None, {}},
        {WriteFormat::Raw, TimeResolution::Microseconds, Compression::Zstd, {}},
        {WriteFormat::Pcap, TimeResolution::Microseconds, Compression::None, pcapMicro},
        {WriteFormat::Pcap, TimeResolution::Nanoseconds, Compression::None, {0x4d, 0x3c, 0xb2}},
        {WriteFormat::Pcap, TimeResolution::Nanoseconds, Compression::Zstd, {}},
        {WriteFormat::Pcapng, TimeResolution::Microseconds, Compression::None, pcapngSection},
        {WriteFormat::Pcapng, TimeResolution::Nanoseconds, Compression::None, pcapngSection},
        {WriteFormat::Pcapng, TimeResolution::Nanoseconds, Compression::Zstd, {}},
    };
    const std::int64_t seconds[] = {0, kSecond, 2147483647};
    const std::uint32_t nanoseconds[] = {0, 123456789, 999999999};
    std::vector<Bytes> frames;
    for (const std::size_t length : {60, 61, 214}) {
        frames.push_back(Payload(static_cast<int>(length)));
        frames.back().resize(length, 0xA5);
    }
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.format) * 10 + static_cast<int>(row.compression));
        char path[] = "/tmp/capture-writer-XXXXXX";
        const int fd = mkstemp(path);
        ASSERT_GE(fd, 0);
        const bool nano = row.resolution == TimeResolution::Nanoseconds;
        CaptureWriter writer(fd, {row.format, row.compression, 3, row.resolution, "w"});
        for (int i = 0; i < 3; ++i) {
            if (row.format == WriteFormat::Raw) {
                writer.WriteRecords(frames[2].data(), 2);
            } else {
                writer.WritePacket(seconds[i], nanoseconds[i], frames[i].data(), frames[i].size());
            }
        }
        writer.Finish();
        close(fd);
        const Bytes written = Load(path);
        EXPECT_TRUE(std::equal(row.head.begin(), row.head.end(), written.begin()));
        CaptureReader reader(ByteStream::Open(path));
        EXPECT_EQ(reader.Stream().Compressed(), row.compression);
        EXPECT_EQ(static_cast<int>(reader.Kind()), static_cast<int>(row.format));
        pcap_t* pcap = nullptr;
        if (row.format != WriteFormat::Raw && row.compression == Compression::None) {
            char error[PCAP_ERRBUF_SIZE];
            pcap = pcap_open_offline_with_tstamp_precision(path, PCAP_TSTAMP_PRECISION_NANO, error);
            ASSERT_NE(pcap, nullptr) << error;
        }
        Packet packet;
        unsigned char records[86 * 6];
        std::size_t count = 0;
        for (int i = 0; i < 3; ++i) {
            const std::uint32_t expected = nano ? nanoseconds[i] : nanoseconds[i] / 1000 * 1000;
            if (row.format == WriteFormat::Raw) {
                ASSERT_EQ(reader.NextRecords(records, 6, count), ReadStatus::Packet);
                ASSERT_EQ(count % 2, 0U);
                EXPECT_TRUE(std::equal(records, records + 172, frames[2].data()));
                i += static_cast<int>(count / 2) - 1;
                continue;
            }
            ASSERT_EQ(reader.Next(packet), ReadStatus::Packet);
            EXPECT_EQ(packet.seconds, seconds[i]);
            EXPECT_EQ(packet.nanoseconds, expected);
            EXPECT_EQ(packet.linkType, link::kEthernet);
            EXPECT_EQ(Bytes(packet.data, packet.data + packet.captured), frames[i]);
            EXPECT_EQ(packet.original, frames[i].size());
            pcap_pkthdr* header = nullptr;
            const u_char* data = nullptr;
            if (pcap != nullptr && pcap_next_ex(pcap, &header, &data) == 1) {
                EXPECT_EQ(header->ts.tv_sec, seconds[i]);
                EXPECT_EQ(header->ts.tv_usec, expected);
                EXPECT_EQ(header->len, frames[i].size());
                EXPECT_EQ(Bytes(data, data + header->caplen), frames[i]);
            } else if (pcap != nullptr) {
                ADD_FAILURE() << "libpcap: " << pcap_geterr(pcap);
            }
        }
        if (row.format == WriteFormat::Raw) {
            EXPECT_EQ(reader.NextRecords(records, 6, count), ReadStatus::End);
        } else {
            EXPECT_EQ(reader.Next(packet), ReadStatus::End);
        }
        if (pcap != nullptr) {
            pcap_close(pcap);
        }
        unlink(path);
    }
}

// A pipe hands over what has arrived; the caller hears before each wait; a closed reader is
// EPIPE for the writer.
TEST(CaptureFiles, PipesWaitAndBreak) {
    if (Dir().empty()) {
        GTEST_SKIP() << "text2pcap, editcap, mergecap, zstd or gzip is missing";
    }
    const Bytes bytes = Load(Dir() + "/a.pcap");
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    ASSERT_EQ(write(fds[1], bytes.data(), 100), 100);
    int waits = 0;
    ByteStream* seen = nullptr;
    auto stream = ByteStream::Open("/dev/fd/" + std::to_string(fds[0]), [&] {
        EXPECT_TRUE(seen->WouldBlock());
        if (waits++ == 0) {
            EXPECT_EQ(write(fds[1], bytes.data() + 100, bytes.size() - 100),
                      static_cast<ssize_t>(bytes.size() - 100));
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
    EXPECT_THROW(
        {
            writer.WriteRecords(bytes.data(), 1);
            writer.Finish();
        },
        CaptureError);
    EXPECT_EQ(writer.FailedErrno(), EPIPE);
    close(fds[1]);
}
}  // namespace
}  // namespace Lumera::capture
