// Captures of 86-byte price records to numpy rows and back. A row is the record with its depth
// prices made absolute (146 bytes, packed), so that numpy code never repeats the offset
// arithmetic. The row's fields are the record's table with each depth price widened to 32 bits;
// the Python side builds its dtype from them.

#include <pybind11/numpy.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "Bindings.h"
#include "PriceRows.h"
#include "Values.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/price/SyntheticMarket.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire::binding {
namespace {

using Layout = Lumera::PriceRecordLayout;
using Lumera::FieldKind;

// A row's field: the record's field `index`, at `offset` in the row, `count` values of `width`
// bytes each.
struct RowField {
    std::size_t index;
    std::size_t offset;
    std::size_t width;
    int count;
    bool isSigned;
};

constexpr std::size_t kRowFields = std::size(Layout::kFieldList);

constexpr std::array<RowField, kRowFields> RowLayout() {
    std::array<RowField, kRowFields> row{};
    std::size_t offset = 0;
    for (std::size_t i = 0; i < kRowFields; ++i) {
        const Lumera::WireField& field = Layout::kFieldList[i];
        const bool price = field.kind == FieldKind::DepthPrice;
        const std::size_t width = price ? 4 : field.kind == FieldKind::DepthSize ? 2 : field.size;
        row[i] = {i, offset, width, field.count, price || field.kind == FieldKind::Signed};
        offset += width * static_cast<std::size_t>(field.count);
    }
    return row;
}
constexpr std::array<RowField, kRowFields> kRow = RowLayout();

// The row that the fast path fills must be the row the table describes.
static_assert(kRowFields == 13 && sizeof(PriceRow) == kRow[12].offset + 2 * kLevels);
static_assert(offsetof(PriceRow, priceType) == kRow[0].offset &&
              offsetof(PriceRow, priceFormatCode) == kRow[1].offset &&
              offsetof(PriceRow, lastSize) == kRow[2].offset &&
              offsetof(PriceRow, lumeraID) == kRow[3].offset &&
              offsetof(PriceRow, lastPrice) == kRow[4].offset &&
              offsetof(PriceRow, totalVolume) == kRow[5].offset &&
              offsetof(PriceRow, timeStamp) == kRow[6].offset &&
              offsetof(PriceRow, high) == kRow[7].offset &&
              offsetof(PriceRow, low) == kRow[8].offset &&
              offsetof(PriceRow, bidPrice) == kRow[9].offset &&
              offsetof(PriceRow, bidSize) == kRow[10].offset &&
              offsetof(PriceRow, askPrice) == kRow[11].offset &&
              offsetof(PriceRow, askSize) == kRow[12].offset);

// numpy's name for a field's values: u1, <u2, <i4 ...
std::string NumpyFormat(const RowField& field) {
    std::string format = field.width == 1 ? "" : "<";
    format += field.isSigned ? 'i' : 'u';
    return format + std::to_string(field.width);
}

// Records read or written per chunk: a few hundred kilobytes, so that a capture of any size
// streams through a buffer that stays in cache.
constexpr std::size_t kChunkRecords = 4096;

// (name, numpy format, count, offset) of each row field, in the record's order.
py::list RowFields() {
    py::list fields;
    for (const RowField& row : kRow) {
        const Lumera::WireField& field = Layout::kFieldList[row.index];
        fields.append(py::make_tuple(Lumera::Spell(field, Lumera::Spelling::Snake),
                                     NumpyFormat(row), row.count, row.offset));
    }
    return fields;
}

// The names of the record's single values, which a frame shows as columns of their own.
py::tuple ScalarNames() {
    py::list names;
    for (const Lumera::WireField& field : Layout::kFields) {
        if (field.kind == FieldKind::Signed || field.kind == FieldKind::Unsigned) {
            names.append(Lumera::Spell(field, Lumera::Spelling::Snake));
        }
    }
    return py::tuple(names);
}

void DecodeRecords(const unsigned char* records, std::size_t count, PriceRow* rows) noexcept {
    for (std::size_t i = 0; i < count; ++i) {
        DecodeRecord(records + i * Layout::kSize, rows + i);
    }
}

}  // namespace

std::array<unsigned char, Layout::kSize> BuildRecord(const PriceRow& row, std::size_t index) {
    Lumera::PriceRecordBuilder builder;
    builder.PriceType(row.priceType)
        .PriceFormatCode(row.priceFormatCode)
        .LastSize(row.lastSize)
        .LumeraID(row.lumeraID)
        .LastPrice(row.lastPrice)
        .TotalVolume(row.totalVolume)
        .TimeStamp(row.timeStamp)
        .High(row.high)
        .Low(row.low);
    for (int level = 0; level < kLevels; ++level) {
        builder.Bid(level, row.bidPrice[level], row.bidSize[level]);
        builder.Ask(level, row.askPrice[level], row.askSize[level]);
    }
    try {
        return builder.Bytes();
    } catch (const Lumera::PriceOutOfReach& error) {
        // The builder's refusal in its own words, led by the row that the caller looks for.
        std::string message = "row ";
        message += std::to_string(index);
        message += error.Side() == Lumera::PriceOutOfReach::BookSide::Bid ? ": bid" : ": ask";
        message += " level ";
        message += std::to_string(error.Level());
        message += " price ";
        message += std::to_string(error.Price());
        message += " is out of reach of the last price ";
        message += std::to_string(error.LastPrice());
        message += " (offsets -128..127)";
        throw py::value_error(message);
    }
}

void* RowData(py::array& rows, std::size_t itemSize, bool writeable) {
    if (rows.ndim() != 1 || rows.itemsize() != static_cast<py::ssize_t>(itemSize) ||
        !(rows.flags() & py::array::c_style)) {
        throw py::type_error("price rows must be a one-dimensional contiguous array of " +
                             std::to_string(itemSize) + "-byte rows");
    }
    if (writeable && !rows.writeable()) {
        throw py::value_error("the array of price rows is read-only");
    }
    return writeable ? rows.mutable_data() : const_cast<void*>(rows.data());
}

namespace {

PriceRow* Rows(py::array& rows, bool writeable) {
    return static_cast<PriceRow*>(RowData(rows, sizeof(PriceRow), writeable));
}

struct FileCloser {
    void operator()(std::FILE* file) const noexcept { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// OSError with errno's text and the file name, as Python's own open() raises it.
[[noreturn]] void ThrowOsError(int error, const py::object& path) {
    errno = error;
    PyErr_SetFromErrnoWithFilenameObject(PyExc_OSError, path.ptr());
    throw py::error_already_set();
}

std::string FsPath(const py::object& path) {
    return py::module_::import("os").attr("fsencode")(path).cast<std::string>();
}

void DecodePrices(const py::buffer& source, py::array rows) {
    PriceRow* out = Rows(rows, true);
    const Bytes bytes(source);
    const auto count = static_cast<std::size_t>(rows.shape(0));
    if (count * Layout::kSize > bytes.size()) {
        throw py::value_error(std::to_string(count) + " records need " +
                              std::to_string(count * Layout::kSize) + " bytes, the source has " +
                              std::to_string(bytes.size()));
    }
    py::gil_scoped_release release;
    DecodeRecords(bytes.data(), count, out);
}

// Records [first, first + count) of the file into rows, through a buffer that stays in cache (a
// mapping of the file would take a page fault for every page, which costs more than the copy).
// Returns errno, or ENODATA when the file holds fewer records.
int ReadRecords(const std::string& name, std::size_t first, std::size_t count,
                PriceRow* rows) noexcept {
    File file(std::fopen(name.c_str(), "rb"));
    if (!file) {
        return errno;
    }
    if (first > 0 && fseeko(file.get(), static_cast<off_t>(first * Layout::kSize), SEEK_SET) != 0) {
        return errno;
    }
    std::unique_ptr<unsigned char[]> chunk(
        new (std::nothrow) unsigned char[kChunkRecords * Layout::kSize]);
    if (!chunk) {
        return ENOMEM;
    }
    for (std::size_t done = 0; done < count;) {
        const std::size_t want = std::min(kChunkRecords, count - done);
        const std::size_t got = std::fread(chunk.get(), Layout::kSize, want, file.get());
        DecodeRecords(chunk.get(), got, rows + done);
        done += got;
        if (got < want) {
            return std::ferror(file.get()) ? errno : ENODATA;
        }
    }
    return 0;
}

// A large file is read in pieces, one per core up to kMaxReaders: a single core leaves most of
// the memory bandwidth unused, and the fresh pages of the rows fault in on every reader at once.
constexpr std::size_t kRecordsPerReader = std::size_t{1} << 16;
constexpr std::size_t kMaxReaders = 4;

int ReadRecords(const std::string& name, std::size_t count, PriceRow* rows) noexcept {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t readers =
        std::max<std::size_t>(1, std::min({count / kRecordsPerReader, cores, kMaxReaders}));
    const std::size_t share = count / readers;
    // Piece i is [i x share, End(i)); the last one takes the remainder.
    const auto end = [&](std::size_t i) { return i + 1 == readers ? count : (i + 1) * share; };
    const auto read = [&](std::size_t first, std::size_t last) {
        return ReadRecords(name, first, last - first, rows + first);
    };
    int errors[kMaxReaders] = {};
    std::vector<std::thread> helpers;
    // The pieces from `unstarted` on are left to this thread when a helper cannot be started.
    std::size_t unstarted = 1;
    try {
        helpers.reserve(readers - 1);
        for (std::size_t i = 1; i < readers; ++i) {
            unstarted = i;
            helpers.emplace_back([&read, &error = errors[i], first = i * share, last = end(i)] {
                error = read(first, last);
            });
        }
        unstarted = readers;
    } catch (...) {
    }
    errors[0] = read(0, end(0));
    if (errors[0] == 0 && unstarted < readers) {
        errors[0] = read(unstarted * share, count);
    }
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const int error : errors) {
        if (error != 0) {
            return error;
        }
    }
    return 0;
}

// Fills every row from the start of the file; the caller sized the rows from the file's size.
void ReadPriceFile(const py::object& path, py::array rows) {
    PriceRow* out = Rows(rows, true);
    const auto count = static_cast<std::size_t>(rows.shape(0));
    const std::string name = FsPath(path);
    int error = 0;
    {
        py::gil_scoped_release release;
        error = ReadRecords(name, count, out);
    }
    if (error == ENODATA) {
        PyErr_Format(PyExc_OSError, "%R holds fewer than the %zu records it held when planned",
                     path.ptr(), count);
        throw py::error_already_set();
    }
    if (error != 0) {
        ThrowOsError(error, path);
    }
}

// Every row is built before the file is opened, so a row out of reach leaves no file behind.
void WritePriceFile(py::array rows, const py::object& path) {
    const PriceRow* in = Rows(rows, false);
    const auto count = static_cast<std::size_t>(rows.shape(0));
    const std::string name = FsPath(path);
    int error = 0;
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < count; ++i) {
            static_cast<void>(BuildRecord(in[i], i));
        }
        File file(std::fopen(name.c_str(), "wb"));
        if (!file) {
            error = errno;
        } else {
            BuildRecordBatches(reinterpret_cast<const unsigned char*>(in), sizeof(PriceRow), count,
                               [&](const unsigned char* records, std::size_t n) {
                                   if (std::fwrite(records, Layout::kSize, n, file.get()) != n) {
                                       error = errno;
                                   }
                                   return error == 0;
                               });
            if (error == 0 && std::fflush(file.get()) != 0) {
                error = errno;
            }
        }
    }
    if (error != 0) {
        ThrowOsError(error, path);
    }
}

// The seeded market's next len(rows) records, as the tool's `synth prices` writes them.
void SynthPrices(py::array rows, std::uint64_t seed) {
    PriceRow* out = Rows(rows, true);
    const auto count = static_cast<std::size_t>(rows.shape(0));
    py::gil_scoped_release release;
    Lumera::SyntheticMarket market(seed);
    unsigned char record[Layout::kSize];
    for (std::size_t i = 0; i < count; ++i) {
        market.Next(record);
        DecodeRecord(record, out + i);
    }
}

}  // namespace

void BindPriceRecords(py::module_& module) {
    module.attr("RECORD_SIZE") = Layout::kSize;
    module.attr("PRICE_ROW_SIZE") = sizeof(PriceRow);
    module.def("price_row_fields", &RowFields,
               "The fields of a price row in order: (name, numpy format, count, offset).");
    module.attr("PRICE_SCALARS") = ScalarNames();
    module.def("decode_prices", &DecodePrices, py::arg("source"), py::arg("rows"),
               "Decodes len(rows) records from the start of source into rows, without the GIL.");
    module.def("read_price_file", &ReadPriceFile, py::arg("path"), py::arg("rows"),
               "Decodes len(rows) records from the start of the file into rows, in one pass "
               "without the GIL.");
    module.def("write_price_file", &WritePriceFile, py::arg("rows"), py::arg("path"),
               "Writes the rows as records through the record builder.");
    module.def("synth_prices", &SynthPrices, py::arg("rows"), py::arg("seed"),
               "Fills the rows with the records of the synthetic market of `seed`.");
}

}  // namespace lmwire::binding
