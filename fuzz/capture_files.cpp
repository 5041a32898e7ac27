// Capture files through ByteStream and CaptureReader. The first byte chooses what the rest is:
//
// - 0 to 3: arbitrary bytes (plain, zstd or gzip), read as their content says or as raw, pcap or
//   pcapng whatever they are, until End, Cut or CaptureError. Nothing else may be thrown, every
//   packet must be coherent (captured <= original, nanoseconds below a second, bytes present).
// - 4 to 7: choices from which this file writes a pcap or a pcapng itself, byte by byte at the
//   formats' offsets (either byte order; several sections and interfaces, every time
//   resolution and offset, unknown blocks, simple and obsolete packet blocks, link types the
//   reader refuses), optionally cut short; the reader must return exactly those packets, then
//   End at a block boundary and Cut elsewhere, or CaptureError exactly where a packet is of a
//   refused link type or has a time no 64-bit second count holds.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "FuzzCheck.h"
#include "wire_types/capture/CaptureReader.h"

namespace {

using namespace Lumera::capture;
using lmwire_fuzz::Bytes;

__extension__ using I128 = __int128;
__extension__ using U128 = unsigned __int128;

// The input's choices, zero once it is used up.
class Choices {
  public:
    Choices(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint32_t Byte() { return at_ < size_ ? data_[at_++] : 0; }
    std::uint64_t Take(int bytes) {
        std::uint64_t value = 0;
        for (int i = 0; i < bytes; ++i) {
            value = (value << 8) | Byte();
        }
        return value;
    }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// Bytes at offsets, in the byte order of the section being written.
struct Writer {
    Bytes out;
    bool big = false;
    void Put(std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            const int shift = 8 * (big ? bytes - 1 - i : i);
            out.push_back(static_cast<unsigned char>(value >> shift));
        }
    }
    void PutBytes(const Bytes& bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }
    void Pad() {
        while (out.size() % 4 != 0) {
            out.push_back(0);
        }
    }
    // A block's length, at `start + 4` and at its end.
    void Close(std::size_t start) {
        const std::size_t total = out.size() + 4 - start;
        Put(total, 4);
        Writer length{{}, big};
        length.Put(total, 4);
        std::copy(length.out.begin(), length.out.end(), out.begin() + static_cast<long>(start) + 4);
    }
};

struct Expected {
    std::size_t end = 0;  // the offset where its block ends
    bool throws = false;
    Packet packet;  // data unused
    Bytes bytes;
};

constexpr int kLinkTypes[] = {1, 0, 101, 113, 276, 228, 229, 12, 108, 105, 147};

bool Readable(int type) {
    return type != 105 && type != 147;
}

// floor(stamp / unit) and the rest in nanoseconds, by long division rather than the reader's way.
std::optional<std::pair<std::int64_t, std::uint32_t>> Time(std::uint64_t stamp,
                                                           std::uint8_t resolution,
                                                           std::int64_t offset) {
    const unsigned n = resolution & 0x7F;
    U128 seconds = 0;
    std::uint32_t nanoseconds = 0;
    if ((resolution & 0x80) != 0) {
        seconds = n >= 64 ? 0 : stamp >> n;
        U128 rest = stamp - (seconds << n);
        for (int digit = 0; digit < 9; ++digit) {
            rest *= 10;
            nanoseconds = nanoseconds * 10 + static_cast<std::uint32_t>(rest >> n);
            rest &= (U128{1} << n) - 1;
        }
    } else {
        seconds = stamp;
        for (unsigned i = 0; i < n; ++i) {
            seconds /= 10;
        }
        // The fraction's first nine decimal digits: stamp's digits below the unit.
        U128 power = 1;
        for (unsigned i = 0; i < n && power <= stamp; ++i) {
            power *= 10;
        }
        U128 rest = n <= 19 ? stamp - seconds * power : stamp;
        for (unsigned i = 9; i < n; ++i) {
            rest /= 10;
        }
        for (unsigned i = n; i < 9; ++i) {
            rest *= 10;
        }
        nanoseconds = static_cast<std::uint32_t>(rest);
    }
    const I128 total = static_cast<I128>(seconds) + offset;
    if (total > INT64_MAX || total < INT64_MIN) {
        return std::nullopt;
    }
    return std::pair{static_cast<std::int64_t>(total), nanoseconds};
}

void Arbitrary(const std::uint8_t* data, std::size_t size, int mode) {
    try {
        auto stream = ByteStream::FromMemory(data, size);
        std::unique_ptr<CaptureReader> reader =
            mode == 0 ? std::make_unique<CaptureReader>(std::move(stream))
                      : std::make_unique<CaptureReader>(std::move(stream),
                                                        static_cast<CaptureKind>(mode - 1));
        Packet packet;
        unsigned char records[86 * 3];
        std::size_t count = 0;
        for (;;) {
            if (reader->Kind() == CaptureKind::Raw) {
                const ReadStatus status = reader->NextRecords(records, 3, count);
                FUZZ_CHECK((status == ReadStatus::Packet) == (count != 0) && count <= 3);
                if (status != ReadStatus::Packet) {
                    FUZZ_CHECK(reader->CutText().empty() == (status == ReadStatus::End));
                    return;
                }
                continue;
            }
            const ReadStatus status = reader->Next(packet);
            if (status != ReadStatus::Packet) {
                FUZZ_CHECK(reader->CutText().empty() == (status == ReadStatus::End));
                return;
            }
            FUZZ_CHECK(packet.captured <= packet.original && packet.nanoseconds < 1000000000);
            FUZZ_CHECK(packet.captured == 0 || packet.data != nullptr);
            volatile unsigned char touch = 0;
            for (std::size_t i = 0; i < packet.captured; ++i) {
                touch = touch ^ packet.data[i];
            }
        }
    } catch (const CaptureError&) {
    }
}

// A packet's bytes and lengths from the choices.
void PacketBytes(Choices& choices, Expected& e) {
    const std::size_t captured = choices.Byte() % 40;
    e.packet.original = captured + choices.Byte() % 3;
    for (std::size_t i = 0; i < captured; ++i) {
        e.bytes.push_back(static_cast<unsigned char>(choices.Byte()));
    }
    e.packet.captured = captured;
}

void Pcap(Choices& choices, Writer& w, std::vector<Expected>& expected,
          std::set<std::size_t>& ends) {
    const bool nano = (choices.Byte() & 1) != 0;
    const int link = kLinkTypes[choices.Byte() % std::size(kLinkTypes)];
    w.Put(nano ? 0xA1B23C4D : 0xA1B2C3D4, 4);
    w.Put(2, 2);
    w.Put(4, 2);
    w.Put(0, 8);
    w.Put(choices.Byte() % 2 == 0 ? 0 : 65535, 4);
    w.Put(static_cast<std::uint32_t>(link) | (choices.Byte() << 28), 4);  // FCS bits above
    ends.insert(w.out.size());
    if (!Readable(link)) {
        expected.push_back({w.out.size(), true, {}, {}});
        return;
    }
    const int packets = static_cast<int>(choices.Byte() % 6);
    for (int i = 0; i < packets; ++i) {
        Expected e;
        const std::uint32_t seconds = static_cast<std::uint32_t>(choices.Take(4));
        const std::uint32_t fraction = static_cast<std::uint32_t>(choices.Take(4));
        PacketBytes(choices, e);
        w.Put(seconds, 4);
        w.Put(fraction, 4);
        w.Put(e.packet.captured, 4);
        w.Put(e.packet.original, 4);
        w.PutBytes(e.bytes);
        const std::uint32_t perSecond = nano ? 1000000000 : 1000000;
        e.packet.linkType = link;
        e.packet.seconds = std::int64_t{seconds} + fraction / perSecond;
        e.packet.nanoseconds = fraction % perSecond * (nano ? 1 : 1000);
        e.end = w.out.size();
        ends.insert(e.end);
        expected.push_back(e);
    }
}

struct Interface {
    int link;
    std::uint32_t snap;
    std::uint8_t resolution;
    std::int64_t offset;
};

void Pcapng(Choices& choices, Writer& w, std::vector<Expected>& expected,
            std::set<std::size_t>& ends) {
    std::vector<Interface> interfaces;
    const int blocks = static_cast<int>(choices.Byte() % 12) + 1;
    for (int b = 0; b < blocks; ++b) {
        const std::uint32_t what = b == 0 ? 0 : choices.Byte() % 7;
        const std::size_t start = w.out.size();
        if (what == 0) {  // a section, in either byte order
            w.big = (choices.Byte() & 1) != 0;
            w.Put(0x0A0D0D0A, 4);
            w.Put(0, 4);
            w.Put(0x1A2B3C4D, 4);
            w.Put(1, 2);
            w.Put(0, 2);
            w.Put(~std::uint64_t{0}, 8);
            interfaces.clear();
        } else if (what == 1 || interfaces.empty()) {
            Interface i{kLinkTypes[choices.Byte() % std::size(kLinkTypes)],
                        static_cast<std::uint32_t>(choices.Byte() % 3 * 20), 6, 0};
            w.Put(1, 4);
            w.Put(0, 4);
            w.Put(static_cast<std::uint32_t>(i.link), 2);
            w.Put(0, 2);
            w.Put(i.snap, 4);
            const std::uint32_t options = choices.Byte();
            if ((options & 1) != 0) {
                i.resolution = static_cast<std::uint8_t>(choices.Byte());
                w.Put(9, 2);
                w.Put(1, 2);
                w.Put(i.resolution, 1);
                w.Pad();
            }
            if ((options & 2) != 0) {
                i.offset = static_cast<std::int64_t>(choices.Take(8));
                w.Put(14, 2);
                w.Put(8, 2);
                w.Put(static_cast<std::uint64_t>(i.offset), 8);
            }
            if ((options & 4) != 0) {
                w.Put(0, 4);  // the end of the options
            }
            interfaces.push_back(i);
        } else if (what == 2) {  // a block the reader skips
            w.Put(0x0BAD + choices.Byte(), 4);
            w.Put(0, 4);
            for (std::uint32_t i = choices.Byte() % 8 * 4; i > 0; --i) {
                w.Put(choices.Byte(), 1);
            }
        } else {
            const std::uint32_t type = what == 3 ? 3 : what == 4 ? 2 : 6;
            const std::uint32_t id = type == 3 ? 0 : choices.Byte() % interfaces.size();
            const Interface& from = interfaces[id];
            Expected e;
            PacketBytes(choices, e);
            const std::uint64_t stamp = choices.Take(8);
            w.Put(type, 4);
            w.Put(0, 4);
            if (type == 3) {
                w.Put(e.packet.original, 4);
                w.PutBytes(e.bytes);
                w.Pad();
                // Its captured length is what the block holds, padding included, up to the
                // original length and the snap length.
                std::size_t held = (e.bytes.size() + 3) / 4 * 4;
                held = std::min(held, e.packet.original);
                if (from.snap != 0) {
                    held = std::min<std::size_t>(held, from.snap);
                }
                e.bytes.resize(held, 0);
                e.packet.captured = held;
            } else {
                if (type == 2) {
                    w.Put(id, 2);
                    w.Put(choices.Byte(), 2);
                } else {
                    w.Put(id, 4);
                }
                w.Put(stamp >> 32, 4);
                w.Put(stamp & 0xFFFFFFFF, 4);
                w.Put(e.packet.captured, 4);
                w.Put(e.packet.original, 4);
                w.PutBytes(e.bytes);
                w.Pad();
                if ((choices.Byte() & 1) != 0) {
                    w.Put(1, 2);  // a comment
                    w.Put(3, 2);
                    w.Put(0x414243, 3);
                    w.Pad();
                }
            }
            e.packet.linkType = from.link;
            e.packet.interface = id;
            if (type != 3) {
                const auto time = Time(stamp, from.resolution, from.offset);
                e.throws = !time.has_value();
                if (time) {
                    e.packet.seconds = time->first;
                    e.packet.nanoseconds = time->second;
                }
            }
            e.throws = e.throws || !Readable(from.link);
            w.Close(start);
            e.end = w.out.size();
            ends.insert(e.end);
            expected.push_back(e);
            continue;
        }
        w.Close(start);
        ends.insert(w.out.size());
    }
}

void Oracle(const std::uint8_t* data, std::size_t size) {
    Choices choices(data, size);
    const bool pcapng = (choices.Byte() & 1) != 0;
    Writer w;
    w.big = (choices.Byte() & 1) != 0;
    std::vector<Expected> expected;
    std::set<std::size_t> ends;  // where a block or packet ends
    if (pcapng) {
        Pcapng(choices, w, expected, ends);
    } else {
        Pcap(choices, w, expected, ends);
    }
    // Cut anywhere, or whole.
    const std::size_t cut =
        choices.Byte() % 2 == 0 ? w.out.size() : choices.Take(2) % (w.out.size() + 1);
    const Bytes bytes(w.out.begin(), w.out.begin() + static_cast<long>(cut));
    std::size_t next = 0;
    try {
        CaptureReader reader(ByteStream::FromMemory(bytes.data(), bytes.size()),
                             pcapng ? CaptureKind::Pcapng : CaptureKind::Pcap);
        // A pcap's refused link type is refused with its file header.
        FUZZ_CHECK(expected.empty() || !expected[0].throws || pcapng || cut < 24);
        Packet packet;
        for (;;) {
            const ReadStatus status = reader.Next(packet);
            if (status != ReadStatus::Packet) {
                FUZZ_CHECK(next == expected.size() || expected[next].end > cut);
                FUZZ_CHECK((status == ReadStatus::End) == (ends.count(cut) != 0));
                FUZZ_CHECK(reader.CutText().empty() == (status == ReadStatus::End));
                return;
            }
            FUZZ_CHECK(next < expected.size() && !expected[next].throws);
            const Expected& e = expected[next++];
            FUZZ_CHECK(e.end <= cut);
            FUZZ_CHECK(packet.linkType == e.packet.linkType);
            FUZZ_CHECK(packet.interface == e.packet.interface);
            FUZZ_CHECK(packet.seconds == e.packet.seconds);
            FUZZ_CHECK(packet.nanoseconds == e.packet.nanoseconds);
            FUZZ_CHECK(packet.captured == e.packet.captured);
            FUZZ_CHECK(packet.original == std::max(e.packet.original, e.packet.captured));
            FUZZ_CHECK(Bytes(packet.data, packet.data + packet.captured) == e.bytes);
            FUZZ_CHECK(reader.Count() == next);
        }
    } catch (const CaptureError& error) {
        const bool expectedError =
            next < expected.size() && expected[next].throws && expected[next].end <= cut;
        if (!expectedError) {
            std::fprintf(stderr, "unexpected: %s\n", error.what());
        }
        FUZZ_CHECK(expectedError);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const int mode = data[0] % 8;
    if (mode < 4) {
        Arbitrary(data + 1, size - 1, mode);
    } else {
        Oracle(data + 1, size - 1);
    }
    return 0;
}
