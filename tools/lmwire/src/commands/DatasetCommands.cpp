// split: captures of any kind into a partitioned dataset, through the capture component's
// dataset writer; and the dataset a decode reads.

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include <fmt/format.h>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "capture/Endpoints.h"
#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/Dataset.h"
#include "wire_types/capture/Records.h"
#endif

namespace lmwire {

bool IsDirectory(const std::string& path) {
    struct stat info {};
    return !path.empty() && path != "-" && stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

#ifdef LMWIRE_HAVE_CAPTURE

namespace {

namespace capture = Lumera::capture;

// The capture component's refusals of an input are bad input; the writer's are the run's.
template <class Call>
auto AsBadInput(Call call) {
    try {
        return call();
    } catch (const capture::CaptureError& error) {
        throw BadInput(error.what());
    }
}

// The parts of a dataset that `filter` keeps, as one stream of raw records.
std::unique_ptr<capture::ByteStream> OpenParts(const std::string& path,
                                               const capture::DatasetFilter& filter) {
    return AsBadInput([&] {
        return capture::OpenParts(path, capture::SelectParts(capture::ReadManifest(path), filter));
    });
}

std::unique_ptr<capture::CaptureReader> OpenCapture(const std::string& path) {
    return AsBadInput([&] {
        if (capture::IsDataset(path)) {
            return std::make_unique<capture::CaptureReader>(OpenParts(path, {}),
                                                            capture::CaptureKind::Raw);
        }
        return std::make_unique<capture::CaptureReader>(capture::ByteStream::Open(
            path == "-" ? "-" : path, {}, path == "-" ? "standard input" : Escaped(path)));
    });
}

// Every record of one input to the writer; the records read.
std::uint64_t SplitOne(const std::string& path, const std::vector<std::uint16_t>& ports,
                       capture::DatasetWriter& writer) {
    const auto reader = OpenCapture(path);
    const auto write = [&](const unsigned char* records, std::size_t count) {
        try {
            writer.Write(records, count);
        } catch (const capture::CaptureError& error) {
            throw RunError(error.what());
        }
    };
    std::uint64_t records = 0;
    if (reader->Kind() == capture::CaptureKind::Raw) {
        if (!ports.empty()) {
            throw BadInput("--port chooses the datagrams of a pcap or pcapng capture; " +
                           reader->Name() + " is raw records");
        }
        constexpr std::size_t kChunk = 8192;
        std::vector<unsigned char> chunk(kChunk * capture::kRecordSize);
        std::size_t count = 0;
        while (AsBadInput([&] { return reader->NextRecords(chunk.data(), kChunk, count); }) ==
               capture::ReadStatus::Packet) {
            write(chunk.data(), count);
            records += count;
        }
    } else {
        capture::DatagramTally tally;
        capture::Packet packet;
        while (AsBadInput([&] { return reader->Next(packet); }) == capture::ReadStatus::Packet) {
            const capture::TakenDatagram taken =
                capture::TakeDatagram(capture::ReadDatagram(packet), ports);
            if (tally.Add(taken)) {
                write(taken.records.first, taken.records.count);
                records += taken.records.count;
            }
        }
        if (const std::string summary = tally.Summary(); !summary.empty()) {
            fmt::print(stderr, "lmwire: {}: {}\n", reader->Name(), summary);
        }
    }
    if (!reader->CutText().empty()) {
        throw BadInput(
            fmt::format("{}: the capture ends inside a {} after {} whole ones ({})", reader->Name(),
                        reader->Kind() == capture::CaptureKind::Raw ? "record" : "packet",
                        reader->Count(), reader->CutText()));
    }
    return records;
}

bool DateShaped(const std::string& text) {
    return text.size() == 10 && text[4] == '-' && text[7] == '-' &&
           std::all_of(text.begin(), text.end(),
                       [](char c) { return c == '-' || (c >= '0' && c <= '9'); });
}

}  // namespace

std::unique_ptr<Lumera::capture::ByteStream> OpenDataset(const DecodeOptions& options) {
    capture::DatasetFilter filter;
    for (const auto& [date, option] :
         {std::pair{&options.dateFrom, "--date-from"}, std::pair{&options.dateTo, "--date-to"}}) {
        if (!date->empty() && !DateShaped(*date)) {
            throw BadInput(std::string(option) + " " + Quoted(*date) + ": not a date YYYY-MM-DD");
        }
    }
    filter.date_from = options.dateFrom;
    filter.date_to = options.dateTo;
    filter.lumera_ids.assign(options.lumeraIds.begin(), options.lumeraIds.end());
    return OpenParts(options.file, filter);
}

void RunSplit(const SplitOptions& options) {
    capture::DatasetOptions dataset;
    const auto unit = capture::ParseTimeUnit(options.timeUnit);
    if (!unit) {
        throw BadInput("--time-unit " + Quoted(options.timeUnit) + ": not s, ms, us or ns");
    }
    dataset.unit = *unit;
    dataset.zone = options.zone;
    dataset.compress = !options.noCompress;
    dataset.level = options.level;
    if (options.partBytes < capture::kRecordSize) {
        throw BadInput(fmt::format("--part-size {}: less than one record ({} bytes)",
                                   options.partBytes, capture::kRecordSize));
    }
    dataset.part_bytes = options.partBytes;
    const std::vector<std::uint16_t> ports = Ports(options.ports);
    // Inputs that cannot be opened are refused before anything is written.
    // (Standard input is read once, so only when its turn comes.)
    for (const std::string& input : options.inputs) {
        if (input != "-") {
            OpenCapture(input);
        }
    }
    // What the dataset held before: a writer only adds parts, so the rest is what it wrote.
    std::size_t earlierParts = 0;
    std::uint64_t earlierBytes = 0;
    AsBadInput([&] {
        if (capture::IsDataset(options.directory)) {
            for (const capture::DatasetPart& part :
                 capture::ReadManifest(options.directory).parts) {
                ++earlierParts;
                earlierBytes += part.bytes;
            }
        }
    });
    auto writer = AsBadInput(
        [&] { return std::make_unique<capture::DatasetWriter>(options.directory, dataset); });
    std::uint64_t records = 0;
    for (const std::string& input : options.inputs) {
        records += SplitOne(input, ports, *writer);
    }
    const capture::DatasetManifest* manifest = nullptr;
    try {
        manifest = &writer->Finish();
    } catch (const capture::CaptureError& error) {
        throw RunError(error.what());
    }
    std::uint64_t bytes = 0;
    for (const capture::DatasetPart& part : manifest->parts) {
        bytes += part.bytes;
    }
    const std::size_t parts = manifest->parts.size() - earlierParts;
    bytes -= earlierBytes;
    fmt::print("{} records, {} parts, {} bytes written to {} ({} parts in all)\n", records, parts,
               bytes, Escaped(options.directory), manifest->parts.size());
}

#else

void RunSplit(const SplitOptions&) {
    throw BadInput("split: this lmwire was built without the capture component");
}

#endif

}  // namespace lmwire
