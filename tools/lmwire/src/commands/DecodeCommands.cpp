// decode and encode.

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <thread>

#include <fmt/format.h>

#include "capture/ParallelDecode.h"
#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Input.h"
#include "io/Output.h"
#include "io/Progress.h"
#include "records/Kinds.h"
#include "records/PriceRecord.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "wire_types/capture/CaptureReader.h"
#endif

namespace lmwire {
namespace {

std::string NotWholeRecords(std::uint64_t size) {
    return fmt::format(
        "price-record: {} bytes is not a whole number of 86-byte records ({} bytes over)", size,
        size % kPriceRecordSize);
}

// What the first bytes of a price-record input say it is, unless the command line insists: a
// packet capture (pcap or pcapng), hex text, or raw records (anything else, and anything that
// was compressed).
enum class Shape { Packets, Hex, Raw };

bool HexText(std::string_view head) {
    return std::all_of(head.begin(), head.end(), [](char c) {
        return std::isxdigit(static_cast<unsigned char>(c)) != 0 ||
               std::isspace(static_cast<unsigned char>(c)) != 0;
    });
}

bool PacketCapture(Input& input) {
    const std::string_view head = input.Peek(12);
#ifdef LMWIRE_HAVE_CAPTURE
    return Lumera::capture::DetectKind(reinterpret_cast<const unsigned char*>(head.data()),
                                       head.size()) != Lumera::capture::CaptureKind::Raw;
#else
    const auto is = [](std::string_view bytes, std::string_view big) {
        const std::string little(big.rbegin(), big.rend());
        return bytes == big || bytes == little;
    };
    const std::string_view magic = head.substr(0, 4);
    return is(magic, "\xA1\xB2\xC3\xD4") || is(magic, "\xA1\xB2\x3C\x4D") ||
           (magic == "\x0A\x0D\x0D\x0A" && head.size() == 12 &&
            is(head.substr(8), "\x1A\x2B\x3C\x4D"));
#endif
}

Shape ShapeOf(Input& input, const DecodeOptions& options) {
    if (!options.pcap.empty()) {
        return Shape::Packets;
    }
    if (options.binary) {
        return Shape::Raw;
    }
    if (PacketCapture(input)) {
        return Shape::Packets;
    }
    // Enough for a few hex digits, few enough that a live feed is not kept waiting.
    return !input.Compressed() && HexText(input.Peek(64)) ? Shape::Hex : Shape::Raw;
}

class RecordWriter {
  public:
    RecordWriter(const DecodeOptions& options, std::uint64_t total, Output& out)
        : format_(FormatOf(options.json, options.csv)),
          timeUnit_(ParseTimeUnit(options.timeUnit)),
          progress_(total),
          lines_(format_, timeUnit_),
          out_(out) {
        out_ << lines_.Header(false);
    }

    // The first `records` records of a regular file on `jobs` threads; the bytes read.
    std::uint64_t WriteInParallel(Input& input, std::uint64_t records, unsigned jobs) {
        return DecodeInParallel(input, records, jobs, format_, timeUnit_, out_, progress_);
    }

    void Write(const unsigned char* records, std::size_t count, std::uint64_t doneBefore) {
        for (std::size_t i = 0; i < count; ++i) {
            char* at = block_.Room(PriceRecordLines::kMaxLine);
            block_.Commit(
                lines_.Write(at, Lumera::PriceRecordView(records + i * kPriceRecordSize)));
            if (block_.Size() >= kBlock) {
                out_.Write(block_.View());
                block_.Clear();
                progress_.Update(doneBefore + i * kPriceRecordSize);
            }
        }
    }
    void Flush() {
        out_.Write(block_.View());
        block_.Clear();
        out_.Flush();
    }
    void Finish() {
        out_.Write(block_.View());
        block_.Clear();
        out_.Finish();
    }

  private:
    static constexpr std::size_t kBlock = 1 << 18;

    LineFormat format_;
    TimeUnit timeUnit_;
    Progress progress_;
    PriceRecordLines lines_;
    TextBlock block_;
    Output& out_;
};

constexpr std::uint64_t kParallelFrom = 8192;  // records

// Records are decoded as they are read, so a capture of any length, from a file or a pipe, takes
// the same few hundred kilobytes. A regular file read raw is measured first and a bad length
// refused before any output; a stream cannot be, so its whole records are written as they
// arrive and a partial last one is reported at the end. Lines are gathered into large blocks,
// and written early only when the input has nothing more for the moment, so that a reader of a
// live feed sees each record when it comes.
void DecodePriceRecords(Input& input, Output& out, bool binary, const DecodeOptions& options) {
    const std::optional<std::uint64_t> size =
        binary ? input.Size() : std::optional<std::uint64_t>();
    if (size && !options.partial && *size % kPriceRecordSize != 0) {
        throw BadInput(NotWholeRecords(*size));
    }
    ByteReader reader(input, binary);
    RecordWriter writer(options, size.value_or(0), out);
    constexpr std::size_t kChunk = kPriceRecordSize * 4096;
    Bytes chunk(kChunk);
    std::size_t held = 0;  // bytes at the front of the chunk, less than a whole record
    std::uint64_t done = 0;
    // A file of more than a few pieces is formatted on every core; its tail, if any, below.
    const unsigned jobs =
        options.jobs != 0 ? options.jobs : std::max(1u, std::thread::hardware_concurrency());
    if (size && jobs > 1 && *size / kPriceRecordSize >= kParallelFrom) {
        done = writer.WriteInParallel(input, *size / kPriceRecordSize, jobs);
    }
    for (;;) {
        if (reader.WouldBlock()) {
            writer.Flush();
        }
        const std::size_t got = reader.ReadSome(chunk.data() + held, kChunk - held);
        if (got == 0) {
            break;
        }
        held += got;
        const std::size_t whole = held / kPriceRecordSize;
        writer.Write(chunk.data(), whole, done);
        done += whole * kPriceRecordSize;
        held -= whole * kPriceRecordSize;
        std::memmove(chunk.data(), chunk.data() + whole * kPriceRecordSize, held);
    }
    if (size && done + held != *size) {
        throw BadInput(input.Name() + " changed while it was read");
    }
    writer.Finish();
    if (const std::string cut = input.CutText(); !cut.empty()) {
        // Compressed input that stops inside a frame: a capture compressed as it was written.
        const std::string end = fmt::format("{}: {} after {} whole records", input.Name(), cut,
                                            done / kPriceRecordSize);
        if (!options.partial) {
            throw BadInput(end);
        }
        fmt::print(stderr, "lmwire: {}; left undecoded\n", end);
    }
    if (held == 0) {
        return;
    }
    if (!options.partial) {
        throw BadInput(NotWholeRecords(done + held));
    }
    fmt::print(stderr,
               "lmwire: {}: {} bytes after the last whole record ({} records) left undecoded\n",
               input.Name(), held, done / kPriceRecordSize);
}

}  // namespace

void RunDecode(const DecodeOptions& options) {
    const Kind& kind = FindKind(options.kind);
    if (kind.name != "price-record" &&
        (options.csv || !options.timeUnit.empty() || options.partial)) {
        throw BadInput("--csv, --time-unit and --partial are for price-record captures");
    }
    const bool dataset = kind.name == "price-record" && options.pcap.empty() && !options.binary &&
                         IsDirectory(options.file);
    if (!dataset &&
        (!options.dateFrom.empty() || !options.dateTo.empty() || !options.lumeraIds.empty())) {
        throw BadInput(
            "--date-from, --date-to and --lumera-id choose the partitions of a dataset "
            "directory; " +
            (options.file.empty() || options.file == "-" ? std::string("standard input")
                                                         : Quoted(options.file)) +
            " is not one");
    }
#ifdef LMWIRE_HAVE_CAPTURE
    if (dataset) {
        Output out;
        Input input(OpenDataset(options));
        DecodePriceRecords(input, out, true, options);
        return;
    }
#endif
    if (kind.name == "price-record") {
        if (!options.pcap.empty() && !options.file.empty()) {
            throw BadInput(
                "--pcap reads price-record datagrams from a capture file, instead of FILE");
        }
        Output out;
        Input input(options.pcap.empty() ? options.file : options.pcap, [&out] { out.Flush(); });
        const Shape shape = ShapeOf(input, options);
        if (shape == Shape::Packets) {
            DecodePacketCapture(input, out, options);
            return;
        }
        if (!options.ports.empty()) {
            throw BadInput("--port chooses the datagrams of a pcap or pcapng capture");
        }
        DecodePriceRecords(input, out, shape == Shape::Raw, options);
        return;
    }
    if (!options.pcap.empty()) {
        throw BadInput("--pcap reads price-record datagrams from a capture file, instead of FILE");
    }
    if (!options.ports.empty()) {
        throw BadInput("--port chooses the datagrams of a pcap or pcapng capture");
    }
    Input input(options.file);
    // A raw file of the wrong size is refused without reading it into memory first.
    if (options.binary && kind.fixedSize && input.Size() && *input.Size() != *kind.fixedSize) {
        throw BadInput(
            fmt::format("{} takes {} bytes, got {}", kind.name, *kind.fixedSize, *input.Size()));
    }
    const std::size_t limit = MaxSize(kind);
    const Bytes bytes = ReadAtMost(input, options.binary, limit);
    if (bytes.size() > limit) {
        throw BadInput(kind.fixedSize ? kind.name + " takes " + std::to_string(limit) +
                                            " bytes, got " + std::to_string(limit + 1) + " or more"
                                      : kind.name + ": more than " + std::to_string(limit) +
                                            " bytes, the most a record of variable length takes");
    }
    const Json record = kind.decode(bytes);
    Output out;
    out << (options.json ? record.dump() + "\n" : RenderFields(record));
    out.Finish();
}

void RunEncode(const std::string& kindName, const std::vector<std::string>& assignments,
               bool binary, Compress compress) {
    const Kind& kind = FindKind(kindName);
    if (compress.zstdLevel != 0 && (kind.name != "price-record" || !binary)) {
        throw BadInput("--compress writes price-record captures: with --binary");
    }
    const Bytes bytes = kind.encode(ParseAssignments(kind, assignments));
    Output out("-", compress);
    if (binary) {
        out << std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else {
        out << FormatHex(bytes.data(), bytes.size());
    }
    out.Finish();
}

}  // namespace lmwire
