// Datasets written and read back record for record: partitions by dates written here by hand (in
// UTC and across New York's changes of offset), parts of a bounded size, appends, and datasets
// damaged in every way a reader must refuse without handing out a record of the damaged part.

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/Dataset.h"
#include "wire_types/capture/detail/TimeZone.h"
#include "wire_types/price/PriceRecord.h"

namespace Lumera::capture {
namespace {

using Bytes = std::vector<unsigned char>;
using ::testing::HasSubstr;

// A record, its partition's date as written by hand, and its place in the input (LastPrice).
struct In {
    int id;
    std::int32_t stamp;
    const char* date;
};

Bytes Records(const std::vector<In>& records) {
    Bytes bytes;
    for (std::size_t i = 0; i < records.size(); ++i) {
        PriceRecordBuilder record;
        record.PriceType(1)
            .PriceFormatCode(9)
            .LumeraID(static_cast<std::uint16_t>(records[i].id))
            .TimeStamp(records[i].stamp)
            .LastPrice(static_cast<std::int32_t>(i));
        const auto one = record.Bytes();
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    return bytes;
}

// The records as a dataset holds them: by date and id, in arrival order within a partition.
Bytes InDatasetOrder(std::vector<In> records) {
    std::vector<std::size_t> order(records.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        order[i] = i;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return std::make_pair(std::string(records[a].date), records[a].id) <
               std::make_pair(std::string(records[b].date), records[b].id);
    });
    const Bytes all = Records(records);
    Bytes sorted;
    for (const std::size_t i : order) {
        sorted.insert(sorted.end(), all.begin() + static_cast<std::ptrdiff_t>(i * 86),
                      all.begin() + static_cast<std::ptrdiff_t>(i * 86 + 86));
    }
    return sorted;
}

DatasetOptions Options(TimeUnit unit = TimeUnit::Seconds, std::string zone = "UTC",
                       bool compress = true, std::uint64_t partBytes = 64 << 20) {
    DatasetOptions options;
    options.unit = unit;
    options.zone = std::move(zone);
    options.compress = compress;
    options.part_bytes = partBytes;
    options.threads = 2;
    return options;
}

// A fresh directory of this process's scratch directory, removed at its end.
std::string Fresh() {
    static const struct Scratch {
        std::string path;
        ~Scratch() { std::system(("rm -rf " + path).c_str()); }
    } scratch{mkdtemp(std::string("/tmp/dataset-test-XXXXXX").data())};
    static int made = 0;
    return scratch.path + "/d" + std::to_string(made++);
}

void Write(const std::string& directory, const DatasetOptions& options, const Bytes& records) {
    DatasetWriter writer(directory, options);
    // In two calls, so that a partition continues across them.
    writer.Write(records.data(), records.size() / 86 / 2);
    writer.Write(records.data() + records.size() / 86 / 2 * 86,
                 records.size() / 86 - records.size() / 86 / 2);
    writer.Finish();
}

// Every record of the parts, and the error that stopped the reading, if any.
Bytes ReadAll(const std::string& directory, const std::vector<DatasetPart>& parts,
              std::string* error = nullptr) {
    Bytes read;
    try {
        CaptureReader reader(OpenParts(directory, parts), CaptureKind::Raw);
        unsigned char chunk[86 * 7];
        std::size_t count = 0;
        while (reader.NextRecords(chunk, 7, count) == ReadStatus::Packet) {
            read.insert(read.end(), chunk, chunk + count * 86);
        }
        EXPECT_EQ(reader.CutText(), "");
    } catch (const CaptureError& caught) {
        if (error == nullptr) {
            throw;
        }
        *error = caught.what();
    }
    return read;
}

// Every file below the directory, relative to it.
std::set<std::string> Files(const std::string& directory, const std::string& below = "") {
    std::set<std::string> files;
    DIR* dir = opendir((directory + "/" + below).c_str());
    if (dir == nullptr) {
        return files;
    }
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        const std::string path = below.empty() ? name : below + "/" + name;
        const std::set<std::string> inner = Files(directory, path);
        files.insert(path);
        files.insert(inner.begin(), inner.end());
    }
    closedir(dir);
    return files;
}

std::string Load(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Save(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

constexpr std::int32_t k0301 = 1772323200;  // 2026-03-01T00:00:00Z

TEST(Dataset, WrittenThenReadBackByPartition) {
    const struct {
        const char* name;
        DatasetOptions options;
        std::vector<In> records;
    } rows[] = {
        {"utc seconds",
         Options(),
         {{2, k0301, "2026-03-01"},
          {5, k0301 + 86399, "2026-03-01"},
          {2, k0301 + 86400, "2026-03-02"},
          {2, k0301 - 1, "2026-02-28"},
          {5, k0301 + 10, "2026-03-01"},
          {2, k0301 + 20, "2026-03-01"}}},
        {"plain parts",
         Options(TimeUnit::Seconds, "UTC", false),
         {{1, k0301, "2026-03-01"}, {1, k0301 + 86400, "2026-03-02"}, {3, k0301, "2026-03-01"}}},
        // 32-bit stamps in finer units reach little beyond 1970, before it too.
        {"milliseconds",
         Options(TimeUnit::Milliseconds),
         {{7, 86'399'999, "1970-01-01"}, {7, 86'400'000, "1970-01-02"}, {7, -1, "1969-12-31"}}},
        {"microseconds",
         Options(TimeUnit::Microseconds),
         {{7, 2'000'000'000, "1970-01-01"}, {7, -2'000'000'000, "1969-12-31"}}},
        {"nanoseconds",
         Options(TimeUnit::Nanoseconds),
         {{7, 1, "1970-01-01"}, {7, -1, "1969-12-31"}}},
        // Midnight on either side of each change, and a night that only the new offset puts on
        // the next day.
        {"new york",
         Options(TimeUnit::Seconds, "America/New_York"),
         {{1, 1772945999, "2026-03-07"},    // 2026-03-08T04:59:59Z, 23:59:59 EST
          {1, 1772946000, "2026-03-08"},    // 05:00Z, midnight EST
          {1, 1773028799, "2026-03-08"},    // 2026-03-09T03:59:59Z, 23:59:59 EDT
          {1, 1773030600, "2026-03-09"},    // 04:30Z, 00:30 EDT
          {1, 1793505599, "2026-10-31"},    // 2026-11-01T03:59:59Z, 23:59:59 EDT
          {1, 1793505600, "2026-11-01"},    // 04:00Z, midnight EDT
          {1, 1793593800, "2026-11-01"},    // 2026-11-02T04:30Z, 23:30 EST
          {1, 1793595600, "2026-11-02"}}},  // 05:00Z, midnight EST
        {"tokyo",
         Options(TimeUnit::Seconds, "Asia/Tokyo"),
         {{4, k0301 - 9 * 3600, "2026-03-01"}, {4, k0301 - 9 * 3600 - 1, "2026-02-28"}}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string directory = Fresh();
        Write(directory, row.options, Records(row.records));
        const DatasetManifest manifest = ReadManifest(directory);
        EXPECT_EQ(manifest.unit, row.options.unit);
        EXPECT_EQ(manifest.zone, row.options.zone);
        std::set<std::string> expected;
        std::map<std::string, int> counts;
        for (const In& in : row.records) {
            const std::string path = std::string("date=") + in.date +
                                     "/lumera_id=" + std::to_string(in.id) + "/part-00000.bin" +
                                     (row.options.compress ? ".zst" : "");
            expected.insert(path);
            ++counts[path];
        }
        std::set<std::string> paths;
        for (const DatasetPart& part : manifest.parts) {
            paths.insert(part.path);
            EXPECT_EQ(part.records, static_cast<std::uint64_t>(counts[part.path])) << part.path;
            EXPECT_EQ(part.path.substr(5, 10), part.date);
            struct stat info {};
            ASSERT_EQ(stat((directory + "/" + part.path).c_str(), &info), 0) << part.path;
            EXPECT_EQ(part.bytes, static_cast<std::uint64_t>(info.st_size));
        }
        EXPECT_EQ(paths, expected);
        EXPECT_EQ(ReadAll(directory, manifest.parts), InDatasetOrder(row.records));
        // Nothing else is left in it: no temporary file.
        std::set<std::string> files = Files(directory);
        for (const std::string& path : expected) {
            files.erase(path);
            files.erase(path.substr(0, path.rfind('/')));
            files.erase(path.substr(0, path.find('/')));
        }
        EXPECT_EQ(files, std::set<std::string>{"manifest.json"});
    }
}

// A part holds at most the records of its size; the next one follows in the same partition.
// Appending adds parts after the existing ones, and keeps them.
TEST(Dataset, PartsOfBoundedSizeAndAppends) {
    const std::string directory = Fresh();
    std::vector<In> first;
    for (int i = 0; i < 10; ++i) {
        first.push_back({3, k0301 + i, "2026-03-01"});
    }
    first.push_back({4, k0301, "2026-03-01"});
    const DatasetOptions options = Options(TimeUnit::Seconds, "UTC", true, 86 * 3 + 85);
    Write(directory, options, Records(first));
    std::vector<In> more = {{3, k0301 + 86400, "2026-03-02"}, {4, k0301 + 99, "2026-03-01"}};
    Write(directory, options, Records(more));
    const DatasetManifest manifest = ReadManifest(directory);
    std::vector<std::tuple<std::string, std::uint64_t, std::int64_t, std::int64_t>> parts;
    for (const DatasetPart& part : manifest.parts) {
        parts.emplace_back(part.path, part.records, part.first_time, part.last_time);
    }
    const auto row = [](const char* path, std::uint64_t records, int first, int last) {
        return std::make_tuple(std::string(path), records, std::int64_t{k0301} + first,
                               std::int64_t{k0301} + last);
    };
    EXPECT_EQ(parts, (decltype(parts){
                         row("date=2026-03-01/lumera_id=3/part-00000.bin.zst", 3, 0, 2),
                         row("date=2026-03-01/lumera_id=3/part-00001.bin.zst", 3, 3, 5),
                         row("date=2026-03-01/lumera_id=3/part-00002.bin.zst", 3, 6, 8),
                         row("date=2026-03-01/lumera_id=3/part-00003.bin.zst", 1, 9, 9),
                         row("date=2026-03-01/lumera_id=4/part-00000.bin.zst", 1, 0, 0),
                         row("date=2026-03-01/lumera_id=4/part-00001.bin.zst", 1, 99, 99),
                         row("date=2026-03-02/lumera_id=3/part-00000.bin.zst", 1, 86400, 86400)}));
    // The earlier parts, then those appended, in each partition.
    Bytes expected = InDatasetOrder(first);
    const Bytes appended = Records(more);
    expected.insert(expected.begin() + 11 * 86, appended.begin() + 86, appended.end());
    expected.insert(expected.end(), appended.begin(), appended.begin() + 86);
    EXPECT_EQ(ReadAll(directory, manifest.parts), expected);

    // Filters leave out whole partitions.
    DatasetFilter filter;
    filter.lumera_ids = {4};
    EXPECT_EQ(SelectParts(manifest, filter).size(), 2u);
    filter.lumera_ids = {};
    filter.date_from = "2026-03-02";
    EXPECT_EQ(SelectParts(manifest, filter).size(), 1u);
    filter.date_from = "";
    filter.date_to = "2026-03-01";
    EXPECT_EQ(SelectParts(manifest, filter).size(), 6u);

    // At most 128 parts are open at once: the partition used longest ago gets a new part.
    std::vector<In> many;
    for (int id = 1; id <= 129; ++id) {
        many.push_back({id, k0301, "2026-03-01"});
    }
    many.push_back({1, k0301, "2026-03-01"});
    const std::string wide = Fresh();
    Write(wide, Options(), Records(many));
    const DatasetManifest widest = ReadManifest(wide);
    EXPECT_EQ(widest.parts.size(), 130u);
    EXPECT_EQ(widest.parts[1].path, "date=2026-03-01/lumera_id=1/part-00001.bin.zst");
    EXPECT_EQ(ReadAll(wide, widest.parts), InDatasetOrder(many));

    // Another unit or zone is no append.
    try {
        DatasetWriter other(directory, Options(TimeUnit::Milliseconds));
        ADD_FAILURE() << "appended in another unit";
    } catch (const CaptureError& error) {
        EXPECT_THAT(error.what(), HasSubstr("time unit s in UTC, not of ms in UTC"));
    }
}

// Without Finish the writer leaves the dataset as it found it, however far it got.
TEST(Dataset, WriterDestroyedWithoutFinishChangesNothing) {
    std::vector<In> records;
    for (int i = 0; i < 3000; ++i) {
        records.push_back({i % 5, k0301 + i * 100, ""});
    }
    const Bytes bytes = Records(records);
    for (const bool existing : {false, true}) {
        SCOPED_TRACE(existing ? "over a dataset" : "a new directory");
        const std::string directory = Fresh();
        if (existing) {
            Write(directory, Options(), bytes);
        }
        const std::set<std::string> before = Files(directory);
        const std::string manifest = Load(directory + "/manifest.json");
        {
            DatasetWriter writer(directory, Options(TimeUnit::Seconds, "UTC", true, 86 * 100));
            writer.Write(bytes.data(), records.size());
        }
        EXPECT_EQ(Files(directory), before);
        EXPECT_EQ(Load(directory + "/manifest.json"), manifest);
        struct stat info {};
        EXPECT_EQ(stat(directory.c_str(), &info) == 0, existing);
    }
}

TEST(Dataset, DamageIsAnErrorNamingThePartOrManifest) {
    // Three parts of one partition, then one of another.
    std::vector<In> records;
    for (int i = 0; i < 9; ++i) {
        records.push_back({1, k0301 + i, "2026-03-01"});
    }
    records.push_back({2, k0301, "2026-03-01"});
    const Bytes bytes = Records(records);
    const std::string second = "date=2026-03-01/lumera_id=1/part-00001.bin";
    const struct {
        const char* name;
        bool compress;
        // Applied to the dataset; the manifest's text is its argument and result.
        std::function<std::string(const std::string& dir, std::string manifest)> damage;
        const char* error;
        std::size_t recordsBefore;  // handed out before the error; all of earlier parts only
    } rows[] = {
        {"part missing", true,
         [&](const std::string& dir, std::string m) {
             unlink((dir + "/" + second + ".zst").c_str());
             return m;
         },
         "part-00001.bin.zst is missing", 0},
        {"part longer", true,
         [&](const std::string& dir, std::string m) {
             std::ofstream(dir + "/" + second + ".zst", std::ios::app) << 'x';
             return m;
         },
         "part-00001.bin.zst is ", 0},
        {"part cut short, as its manifest says", true,
         [&](const std::string& dir, std::string m) {
             const std::string path = dir + "/" + second + ".zst";
             const std::string part = Load(path);
             Save(path, part.substr(0, part.size() - 6));
             const std::string size = "\"bytes\":" + std::to_string(part.size());
             const std::size_t at = m.find(size, m.find(second));
             return m.replace(at, size.size(), "\"bytes\":" + std::to_string(part.size() - 6));
         },
         "part-00001.bin.zst is damaged: it ends inside a zstd frame", 3},
        {"more records than the manifest says", true,
         [&](const std::string&, std::string m) {
             const std::size_t at = m.find("\"records\":3", m.find(second));
             return m.replace(at, 11, "\"records\":2");
         },
         "part-00001.bin.zst holds 3 records, the manifest says 2", 3},
        {"plain part with fewer records", false,
         [&](const std::string&, std::string m) {
             const std::size_t at = m.find("\"records\":3", m.find(second));
             return m.replace(at, 11, "\"records\":4");
         },
         "part-00001.bin holds 3 records, the manifest says 4", 0},
        {"manifest cut short", true,
         [](const std::string&, std::string m) { return m.substr(0, 120); },
         "manifest.json is damaged: ", 0},
        {"manifest empty", true, [](const std::string&, std::string) { return std::string(); },
         "manifest.json is damaged: empty", 0},
        {"manifest names a file outside", true,
         [&](const std::string&, std::string m) {
             const std::size_t at = m.find(second);
             return m.replace(at, second.size(), "../../etc/passwd");
         },
         "manifest.json is damaged: part \"../../etc/passwd.zst\" is not a part of date", 0},
        {"manifest missing", true,
         [](const std::string& dir, std::string) {
             unlink((dir + "/manifest.json").c_str());
             return std::string("-");
         },
         "is a directory, not a dataset (no manifest.json)", 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string directory = Fresh();
        Write(directory, Options(TimeUnit::Seconds, "UTC", row.compress, 86 * 3), bytes);
        const std::string manifest = row.damage(directory, Load(directory + "/manifest.json"));
        if (manifest != "-") {
            Save(directory + "/manifest.json", manifest);
        }
        std::string error;
        Bytes read;
        try {
            read = ReadAll(directory, ReadManifest(directory).parts, &error);
        } catch (const CaptureError& caught) {
            error = caught.what();
        }
        EXPECT_THAT(error, HasSubstr(row.error));
        EXPECT_THAT(error, HasSubstr(directory));
        EXPECT_EQ(read.size(), row.recordsBefore * 86);
        EXPECT_TRUE(std::equal(read.begin(), read.end(), InDatasetOrder(records).begin()));
    }
    EXPECT_FALSE(IsDataset(Fresh()));
    try {
        (void)ReadManifest("/dev/null");
        ADD_FAILURE();
    } catch (const CaptureError& error) {
        EXPECT_STREQ(error.what(), "/dev/null is not a dataset: not a directory");
    }
}

TEST(Dataset, NamesOfUnitsAndZones) {
    for (const TimeUnit unit : {TimeUnit::Seconds, TimeUnit::Milliseconds, TimeUnit::Microseconds,
                                TimeUnit::Nanoseconds}) {
        EXPECT_EQ(ParseTimeUnit(TimeUnitName(unit)), unit);
    }
    EXPECT_EQ(ParseTimeUnit("m"), std::nullopt);
    for (const char* zone : {"Mars/Olympus", "../../etc/passwd", "", "America"}) {
        try {
            DatasetWriter writer(Fresh(), Options(TimeUnit::Seconds, zone));
            ADD_FAILURE() << zone;
        } catch (const CaptureError& error) {
            EXPECT_THAT(error.what(), HasSubstr(std::string("unknown time zone ") + zone));
        }
    }
}

// The rule of a zone file's footer, against the same zone's transitions that the file lists:
// each zone written out as a file of no transitions and only its footer.
TEST(Dataset, ZoneRuleAgreesWithTheZonesTransitions) {
    const struct {
        const char* zone;
        const char* footer;
        int standard;  // seconds east of UTC, as a zone file's type holds it
    } rows[] = {
        {"America/New_York", "EST5EDT,M3.2.0,M11.1.0", -18000},
        {"Europe/Berlin", "CET-1CEST,M3.5.0,M10.5.0/3", 3600},
        {"Australia/Sydney", "AEST-10AEDT,M10.1.0,M4.1.0/3", 36000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.zone);
        Bytes file;
        for (int block = 0; block < 2; ++block) {
            const std::string magic = "TZif2";
            file.insert(file.end(), magic.begin(), magic.end());
            file.resize(file.size() + 15 + 4 * 4);
            for (const int count : {1, 4}) {  // one type, four characters of abbreviations
                for (const int shift : {24, 16, 8, 0}) {
                    file.push_back(static_cast<unsigned char>(count >> shift));
                }
            }
            for (const int shift : {24, 16, 8, 0}) {
                file.push_back(static_cast<unsigned char>(row.standard >> shift));
            }
            file.insert(file.end(), {0, 0, 'A', 'B', 'C', 0});
        }
        const std::string footer = std::string("\n") + row.footer + "\n";
        file.insert(file.end(), footer.begin(), footer.end());
        const auto rule = detail::TimeZone::FromBytes("rule", file.data(), file.size());
        const detail::TimeZone listed = detail::TimeZone::Load(row.zone);
        for (std::int64_t at = 1893456000; at < 2114380800; at += 3 * 3600 + 17) {  // 2030-2037
            ASSERT_EQ(rule.SpanAt(at).offset, listed.SpanAt(at).offset) << at;
        }
    }
    // The span around an instant runs from one change to the next.
    const detail::TimeZone::Span span =
        detail::TimeZone::Load("America/New_York").SpanAt(1900000000);  // 2030-03-17
    EXPECT_EQ(span.begin, 1899356400);                                  // 2030-03-10T07:00Z
    EXPECT_EQ(span.end, 1919916000);                                    // 2030-11-03T06:00Z
}

}  // namespace
}  // namespace Lumera::capture
