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
            const unsigned char* record = records + i * kPriceRecordSize;
            if (json_) {
                reader_.AppendJsonLine(record, out_.Buffer());
            } else {
                reader_.AppendLine(record, out_.Buffer());
            }
            out_.MaybeFlush();
            if (i % 4096 == 0) {
                progress_.Update(doneBefore + i * kPriceRecordSize);
            }
        }
    }

  private:
    bool json_;
    Progress progress_;
    PriceRecordReader reader_;
    Output out_;
};

void DecodePriceRecords(Input& input, const DecodeOptions& options) {
    if (options.binary && input.Size()) {
        // A regular file is checked by its size and then streamed, so that a capture of any
        // length is decoded in constant memory and a bad length is refused before any output.
        const std::uint64_t size = *input.Size();
        RequireWholeRecords(size);
        CaptureWriter writer(options.json, size);
        Bytes chunk(kPriceRecordSize * 8192);
        std::uint64_t done = 0;
        while (done < size) {
            const std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(chunk.size(), size - done));
            const std::size_t got = input.Read(chunk.data(), want);
            if (got != want) {
                throw BadInput(input.Name() + " changed while it was read");
            }
            writer.Write(chunk.data(), got / kPriceRecordSize, done);
            done += got;
        }
        return;
    }
    const Bytes bytes = ReadBytes(input, options.binary);
    RequireWholeRecords(bytes.size());
    CaptureWriter writer(options.json, bytes.size());
    writer.Write(bytes.data(), bytes.size() / kPriceRecordSize, 0);
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
    const Json record = kind.decode(ReadBytes(input, options.binary));
    Output out;
    out << (options.json ? record.dump() + "\n" : RenderFields(record));
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
}

}  // namespace lmwire
