// decode and encode.

#include <algorithm>
#include <cstdio>

#include "Commands.h"
#include "Errors.h"
#include "Input.h"
#include "Kinds.h"
#include "Output.h"
#include "PriceRecord.h"
#include "Progress.h"

namespace lmwire {
namespace {

void RequireWholeRecords(std::uint64_t size) {
    if (size % kPriceRecordSize != 0) {
        throw BadInput("price-record: " + std::to_string(size) + " bytes is not a whole number " +
                       "of 86-byte records (" + std::to_string(size % kPriceRecordSize) +
                       " bytes over)");
    }
}

class CaptureWriter {
  public:
    CaptureWriter(bool json, std::uint64_t total) : json_(json), progress_(total) {}

    void Write(const unsigned char* records, std::size_t count, std::uint64_t doneBefore) {
        for (std::size_t i = 0; i < count; ++i) {
            const Lumera::PriceRecordView record(records + i * kPriceRecordSize);
            if (json_) {
                lines_.AppendJsonLine(record, out_.Buffer());
            } else {
                lines_.AppendLine(record, out_.Buffer());
            }
            out_.MaybeFlush();
            if (i % 4096 == 0) {
                progress_.Update(doneBefore + i * kPriceRecordSize);
            }
        }
    }
    void Finish() { out_.Finish(); }

  private:
    bool json_;
    Progress progress_;
    PriceRecordLines lines_;
    Output out_;
};

// Records are decoded piece by piece as they are read, so a capture of any length, from a file
// or a pipe, takes the same few hundred kilobytes. A bad length is refused before any output
// when the size is known beforehand (a regular file read raw); otherwise it shows only at the
// end, and the lines of the last block not yet written are dropped with it.
void DecodePriceRecords(Input& input, const DecodeOptions& options) {
    const std::optional<std::uint64_t> size =
        options.binary ? input.Size() : std::optional<std::uint64_t>();
    if (size) {
        RequireWholeRecords(*size);
    }
    ByteReader reader(input, options.binary);
    CaptureWriter writer(options.json, size.value_or(0));
    // A whole number of records, so that only the last piece can end inside one.
    Bytes chunk(kPriceRecordSize * 4096);
    std::uint64_t done = 0;
    for (;;) {
        const std::size_t got = reader.Read(chunk.data(), chunk.size());
        writer.Write(chunk.data(), got / kPriceRecordSize, done);
        done += got;
        if (got < chunk.size()) {
            break;
        }
    }
    if (size && done != *size) {
        throw BadInput(input.Name() + " changed while it was read");
    }
    RequireWholeRecords(done);
    writer.Finish();
}

}  // namespace

void RunDecode(const DecodeOptions& options) {
    const Kind& kind = FindKind(options.kind);
    Input input(options.file);
    if (kind.name == "price-record") {
        DecodePriceRecords(input, options);
        return;
    }
    // A raw file of the wrong size is refused without reading it into memory first.
    if (options.binary && kind.fixedSize && input.Size() && *input.Size() != *kind.fixedSize) {
        throw BadInput(kind.name + " takes " + std::to_string(*kind.fixedSize) + " bytes, got " +
                       std::to_string(*input.Size()));
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
