// Records routed to their partition's open part as they come; blocks of a part are compressed
// and appended by the block pool, so that this thread only reads each record's date and id and
// copies it once.

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>
#include <map>
#include <thread>
#include <tuple>

#include "wire_types/capture/Dataset.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/detail/BlockPool.h"
#include "wire_types/capture/detail/Escaped.h"
#include "wire_types/capture/detail/Manifest.h"
#include "wire_types/capture/detail/TimeZone.h"
#include "wire_types/price/PriceRecord.h"

namespace Lumera::capture {
namespace {

static_assert(PriceRecordLayout::kSize == kRecordSize);
constexpr std::int64_t kDay = 86400;
// Parts open at once, each with a block being filled: the writer's memory (64 MiB of blocks, and
// those in flight) whatever the number of partitions. A partition beyond them closes the part
// used longest ago. Blocks of half a megabyte compress as well as larger ones, to a tenth of a
// percent, and leave room for a hundred instruments a day to stream into parts of full size.
constexpr std::size_t kMostOpen = 128;
constexpr std::size_t kBlockRecords = (std::size_t{1} << 19) / kRecordSize;

std::int64_t UnitsPerSecond(TimeUnit unit) noexcept {
    switch (unit) {
        case TimeUnit::Seconds:
            break;
        case TimeUnit::Milliseconds:
            return 1000;
        case TimeUnit::Microseconds:
            return 1000000;
        case TimeUnit::Nanoseconds:
            return 1000000000;
    }
    return 1;
}

// A part's date: its days since 1970 and lumera_id, in the manifest's order.
using Partition = std::pair<std::int64_t, std::int32_t>;

std::int64_t DaysOf(const std::string& date) {
    return detail::DaysFromCivil(std::stoll(date.substr(0, 4)),
                                 static_cast<unsigned>(std::stoi(date.substr(5, 2))),
                                 static_cast<unsigned>(std::stoi(date.substr(8, 2))));
}

struct OpenPart {
    Partition partition;
    detail::BlockPool::File* file = nullptr;
    detail::Block block;
    DatasetPart entry;
    std::uint64_t lastUse = 0;
};

}  // namespace

struct DatasetWriter::State {
    std::string directory;
    DatasetOptions options;
    detail::TimeZone zone;
    std::int64_t perSecond = 1;
    std::uint64_t partRecords = 1;
    std::size_t blockRecords = 1;
    detail::BlockPool pool;
    DatasetManifest manifest;  // the earlier parts, then the whole dataset once finished
    std::map<Partition, std::uint64_t> nextNumber;
    std::vector<std::unique_ptr<OpenPart>> open;
    OpenPart* last = nullptr;
    std::vector<std::pair<DatasetPart, detail::BlockPool::File*>> closed;
    std::vector<std::string> madeDirectories;
    std::uint64_t clock = 0;
    bool finished = false;
    // The raw time stamps [from, to) that fall on `days`.
    std::int64_t from = 1, to = 0, days = 0;

    State(std::string dir, DatasetOptions opts)
        : directory(std::move(dir)),
          options(std::move(opts)),
          zone(detail::TimeZone::Load(options.zone)),
          perSecond(UnitsPerSecond(options.unit)),
          partRecords(std::max<std::uint64_t>(1, options.part_bytes / kRecordSize)),
          blockRecords(
              static_cast<std::size_t>(std::min<std::uint64_t>(kBlockRecords, partRecords))),
          pool(options.threads != 0 ? options.threads
                                    : std::max(1u, std::thread::hardware_concurrency()),
               options.compress ? options.level : 0, blockRecords * kRecordSize) {
        if (options.compress && options.level == 0) {
            throw CaptureError("zstd level 0 is not a level of this writer (1 to 19)");
        }
        manifest.unit = options.unit;
        manifest.zone = options.zone;
        MakeDirectory(directory);
        if (IsDataset(directory)) {
            manifest = ReadManifest(directory);
            if (manifest.unit != options.unit || manifest.zone != options.zone) {
                throw CaptureError(detail::Escaped(directory) + " is a dataset of time unit " +
                                   std::string(TimeUnitName(manifest.unit)) + " in " +
                                   detail::Escaped(manifest.zone) + ", not of " +
                                   std::string(TimeUnitName(options.unit)) + " in " +
                                   detail::Escaped(options.zone));
            }
            for (const DatasetPart& part : manifest.parts) {
                std::uint64_t& next = nextNumber[{DaysOf(part.date), part.lumera_id}];
                next = std::max(next, *detail::PartNumber(part) + 1);
            }
        }
    }

    // Made with its parents; those made here are removed again when the writer gives up.
    void MakeDirectory(const std::string& path) {
        struct stat info {};
        if (stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
            return;
        }
        const std::size_t slash = path.find_last_of('/');
        if (slash != std::string::npos && slash != 0) {
            MakeDirectory(path.substr(0, slash));
        }
        if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            throw CaptureError("cannot make directory " + detail::Escaped(path) + ": " +
                               std::strerror(errno));
        }
        madeDirectories.push_back(path);
    }

    // The days and the span of raw time stamps around `stamp` that fall on them: the zone's
    // offset holds over the span, so the next records of the same day cost a comparison.
    void DayOf(std::int64_t stamp) {
        const std::int64_t second = detail::FloorDiv(stamp, perSecond);
        const detail::TimeZone::Span span = zone.SpanAt(second);
        days = detail::FloorDiv(second + span.offset, kDay);
        // Bounds beyond a 32-bit time stamp's reach matter no more than the reach itself.
        const auto clamp = [](std::int64_t s) {
            return std::clamp<std::int64_t>(s, -(std::int64_t{1} << 33), std::int64_t{1} << 33);
        };
        from = clamp(std::max(span.begin, days * kDay - span.offset)) * perSecond;
        to = clamp(std::min(span.end, (days + 1) * kDay - span.offset)) * perSecond;
    }

    OpenPart& Open(const Partition& partition) {
        for (const auto& part : open) {
            if (part->partition == partition) {
                return *part;
            }
        }
        if (open.size() == kMostOpen) {
            const auto oldest = std::min_element(
                open.begin(), open.end(),
                [](const auto& a, const auto& b) { return a->lastUse < b->lastUse; });
            Close(**oldest);
        }
        auto part = std::make_unique<OpenPart>();
        part->partition = partition;
        part->entry.date = detail::CivilDate(partition.first);
        part->entry.lumera_id = partition.second;
        MakeDirectory(directory + "/" + detail::PartitionPath(part->entry.date, partition.second));
        std::uint64_t& number = nextNumber[partition];
        // A file no manifest names (a writer that stopped) is left as it is.
        for (;; ++number) {
            part->entry.path =
                detail::PartPath(part->entry.date, partition.second, number, options.compress);
            if (access((directory + "/" + part->entry.path).c_str(), F_OK) != 0) {
                break;
            }
        }
        ++number;
        const std::string path = directory + "/" + part->entry.path;
        part->file = pool.Create(path + ".tmp", path);
        part->block = pool.TakeBlock();
        open.push_back(std::move(part));
        return *open.back();
    }

    // Its last block to the pool; the part is complete once the pool has written it.
    void Close(OpenPart& part) {
        pool.Append(part.file, std::move(part.block));
        pool.Close(part.file);
        closed.emplace_back(std::move(part.entry), part.file);
        if (last == &part) {
            last = nullptr;
        }
        open.erase(std::find_if(open.begin(), open.end(),
                                [&](const auto& p) { return p.get() == &part; }));
    }

    void Write(const unsigned char* records, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) {
            const unsigned char* record = records + i * kRecordSize;
            const PriceRecordView view(record);
            const std::int64_t stamp = view.TimeStamp();
            const std::int32_t id = view.LumeraID();
            if (stamp < from || stamp >= to) {
                DayOf(stamp);
            }
            if (last == nullptr || last->partition.first != days || last->partition.second != id) {
                last = &Open({days, id});
            }
            OpenPart& part = *last;
            std::memcpy(part.block.data.get() + part.block.size, record, kRecordSize);
            part.block.size += kRecordSize;
            part.entry.first_time = part.entry.records == 0 ? stamp : part.entry.first_time;
            part.entry.last_time = stamp;
            part.lastUse = ++clock;
            if (++part.entry.records == partRecords) {
                Close(part);
            } else if (part.block.size == blockRecords * kRecordSize) {
                pool.Append(part.file, std::move(part.block));
                part.block = pool.TakeBlock();
            }
        }
    }

    void Finish() {
        while (!open.empty()) {
            Close(*open.back());
        }
        pool.Wait();
        // The parts are on disk before a manifest names them.
        pool.Sync();
        for (auto& [entry, file] : closed) {
            entry.bytes = pool.Size(file);
            manifest.parts.push_back(std::move(entry));
        }
        closed.clear();
        std::stable_sort(
            manifest.parts.begin(), manifest.parts.end(),
            [](const DatasetPart& a, const DatasetPart& b) {
                return std::tie(a.date, a.lumera_id) < std::tie(b.date, b.lumera_id) ||
                       (std::tie(a.date, a.lumera_id) == std::tie(b.date, b.lumera_id) &&
                        *detail::PartNumber(a) < *detail::PartNumber(b));
            });
        detail::ReplaceFile(directory + "/" + detail::kManifestName,
                            detail::ManifestJson(manifest));
        finished = true;
    }

    void GiveUp() noexcept {
        pool.Discard();
        for (auto at = madeDirectories.rbegin(); at != madeDirectories.rend(); ++at) {
            rmdir(at->c_str());
        }
    }
};

DatasetWriter::DatasetWriter(std::string directory, DatasetOptions options)
    : state_(std::make_unique<State>(std::move(directory), std::move(options))) {}

DatasetWriter::~DatasetWriter() {
    if (!state_->finished) {
        state_->GiveUp();
    }
}

void DatasetWriter::Write(const unsigned char* records, std::size_t count) {
    if (state_->finished) {
        throw CaptureError("dataset " + detail::Escaped(state_->directory) +
                           ": records written after Finish");
    }
    state_->Write(records, count);
}

const DatasetManifest& DatasetWriter::Finish() {
    if (!state_->finished) {
        state_->Finish();
    }
    return state_->manifest;
}

}  // namespace Lumera::capture
