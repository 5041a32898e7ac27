// decode and encode.

#include <algorithm>
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

namespace lmwire {
namespace {

std::string NotWholeRecords(std::uint64_t size) {
    return fmt::format(
        "price-record: {} bytes is not a whole number of 86-byte records ({} bytes over)", size,
        size % kPriceRecordSize);
}

// A network capture given as records would be refused for a reason that hides the real one (not
// hex, not whole records), or decoded as nonsense: its first bytes say what it is.
void RefuseNetworkCapture(Input& input) {
    const auto is = [](std::string_view bytes, std::string_view big) {
        const std::string little(big.rbegin(), big.rend());
        return bytes == big || bytes == little;
    };
    const std::string_view head = input.Peek(4);
    bool capture = is(head, "\xA1\xB2\xC3\xD4") || is(head, "\xA1\xB2\x3C\x4D");
    if (head == "\x0A\x0D\x0D\x0A") {
        const std::string_view block = input.Peek(12);
        capture = block.size() == 12 && is(block.substr(8), "\x1A\x2B\x3C\x4D");
    }
    if (capture) {
        throw BadInput(input.Name() + ": this is a pcap capture: add --pcap");
    }
}

class CaptureWriter {
  public:
    CaptureWriter(const DecodeOptions& options, std::uint64_t total)
        : format_(FormatOf(options.json, options.csv)),
          timeUnit_(ParseTimeUnit(options.timeUnit)),
          progress_(total),
          lines_(format_, timeUnit_) {
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
    Output out_;
};

constexpr std::uint64_t kParallelFrom = 8192;  // records

// Records are decoded as they are read, so a capture of any length, from a file or a pipe, takes
// the same few hundred kilobytes. A regular file read raw is measured first and a bad length
// refused before any output; a stream cannot be, so its whole records are written as they
// arrive and a partial last one is reported at the end. Lines are gathered into large blocks,
// and written early only when the input has nothing more for the moment, so that a reader of a
// live feed sees each record when it comes.
void DecodePriceRecords(Input& input, const DecodeOptions& options) {
    RefuseNetworkCapture(input);
    const std::optional<std::uint64_t> size =
        options.binary ? input.Size() : std::optional<std::uint64_t>();
    if (size && !options.partial && *size % kPriceRecordSize != 0) {
        throw BadInput(NotWholeRecords(*size));
    }
    ByteReader reader(input, options.binary);
    CaptureWriter writer(options, size.value_or(0));
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
    if (!options.pcap.empty()) {
        if (kind.name != "price-record" || !options.file.empty()) {
            throw BadInput(
                "--pcap reads price-record datagrams from a capture file, instead of FILE");
        }
        RunDecodePcap(options);
        return;
    }
    if (!options.ports.empty()) {
        throw BadInput("--port chooses the datagrams of a --pcap capture");
    }
    Input input(options.file);
    if (kind.name == "price-record") {
        DecodePriceRecords(input, options);
        return;
    }
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
               bool binary) {
    const Kind& kind = FindKind(kindName);
    const Bytes bytes = kind.encode(ParseAssignments(kind, assignments));
    Output out;
    if (binary) {
        out << std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    } else {
        out << FormatHex(bytes.data(), bytes.size());
    }
    out.Finish();
}

}  // namespace lmwire
