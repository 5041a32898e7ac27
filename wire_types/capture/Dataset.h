#pragma once

// A capture stored as a partitioned dataset, so that a history larger than one machine's memory
// can be read a part at a time, by one process or by many:
//
//   DIR/manifest.json
//   DIR/date=YYYY-MM-DD/lumera_id=N/part-NNNNN.bin.zst   (part-NNNNN.bin uncompressed)
//
// A part holds raw 86-byte records in their arrival order; its date is the local date of each
// record's TimeStamp (read in the dataset's unit, in its time zone). The manifest lists every
// part with its record count, size and first and last time, and is written last and atomically:
// a reader sees the dataset as it was before a writer started or after it finished, never a
// half-written one. A dataset reads as one raw capture, in date, lumera_id, part order.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Stream.h"

namespace Lumera::capture {

enum class TimeUnit { Seconds, Milliseconds, Microseconds, Nanoseconds };
// "s", "ms", "us", "ns".
[[nodiscard]] LMWIRE_CAPTURE_API std::string_view TimeUnitName(TimeUnit unit) noexcept;
[[nodiscard]] LMWIRE_CAPTURE_API std::optional<TimeUnit> ParseTimeUnit(
    std::string_view name) noexcept;

struct DatasetOptions {
    TimeUnit unit = TimeUnit::Seconds;  // how a record's TimeStamp is read
    std::string zone = "UTC";           // "UTC" or an IANA name from the system's zoneinfo
    bool compress = true;               // part-NNNNN.bin.zst (zstd) or part-NNNNN.bin
    int level = 3;                      // zstd level
    // Records' bytes per part, at most (rounded down to whole records, at least one).
    std::uint64_t part_bytes = std::uint64_t{64} << 20;
    unsigned threads = 0;  // compression threads; 0: the machine's cores
};

struct DatasetPart {
    std::string path;  // relative to the dataset directory, '/' separated
    std::string date;  // "YYYY-MM-DD"
    std::int32_t lumera_id = 0;
    std::uint64_t records = 0;
    std::uint64_t bytes = 0;      // the part file's size on disk
    std::int64_t first_time = 0;  // TimeStamp of its first and last record, in the dataset's unit
    std::int64_t last_time = 0;
};

struct DatasetManifest {
    int version = 1;
    TimeUnit unit = TimeUnit::Seconds;
    std::string zone = "UTC";
    std::vector<DatasetPart> parts;  // in date, lumera_id, part order
};

// Writes records into a directory (made if missing). Over an existing dataset it appends: new
// parts after the existing ones of each partition, whose unit and zone must be the manifest's.
// Nothing is visible to readers until Finish() writes the manifest. Memory stays bounded however
// many partitions the records fall in: a few parts are open at a time, and a record of a
// partition whose part was closed starts a new part. Compression runs on worker threads.
class LMWIRE_CAPTURE_API DatasetWriter {
  public:
    // CaptureError for an unknown time zone, options zstd refuses, an existing manifest that is
    // damaged or of another unit or zone, or a directory that cannot be made.
    DatasetWriter(std::string directory, DatasetOptions options);
    // Without Finish(): the manifest is untouched and every part this writer wrote is removed.
    ~DatasetWriter();
    DatasetWriter(const DatasetWriter&) = delete;
    DatasetWriter& operator=(const DatasetWriter&) = delete;

    // `count` whole 86-byte records. CaptureError when a part cannot be written.
    void Write(const unsigned char* records, std::size_t count);
    // Completes the parts, then writes the manifest (a temporary file, synced, renamed): the
    // whole dataset, the earlier parts included. Nothing may be written after it.
    const DatasetManifest& Finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// A directory holding a manifest.
[[nodiscard]] LMWIRE_CAPTURE_API bool IsDataset(const std::string& path);
// CaptureError naming the manifest when it is missing, cut short or damaged, and naming the
// directory when it is no dataset at all.
[[nodiscard]] LMWIRE_CAPTURE_API DatasetManifest ReadManifest(const std::string& directory);

// Inclusive date bounds ("" = open) and ids (empty = all): whole partitions are left out.
struct LMWIRE_CAPTURE_API DatasetFilter {
    std::string date_from, date_to;
    std::vector<std::int32_t> lumera_ids;
    [[nodiscard]] bool Keeps(const DatasetPart& part) const noexcept;
};
[[nodiscard]] LMWIRE_CAPTURE_API std::vector<DatasetPart> SelectParts(
    const DatasetManifest& manifest, const DatasetFilter& filter);

// The raw records of `parts` back to back, as one stream for CaptureReader (kind Raw); its Size()
// is their bytes. Each part is checked against the manifest (present, its size, its record
// count) before any of its records are handed out; one that is not as the manifest says is a
// CaptureError naming it. Missing parts and parts of another size are found when it opens.
[[nodiscard]] LMWIRE_CAPTURE_API std::unique_ptr<ByteStream> OpenParts(
    const std::string& directory, std::vector<DatasetPart> parts);

}  // namespace Lumera::capture
