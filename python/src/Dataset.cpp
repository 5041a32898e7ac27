// Datasets for Python: a manifest as tuples, and records written into a dataset through the
// library's writer. Which parts a read takes is Python's choice (its filters are those of Dask's
// and Arrow's readers, wider than the library's date range and ids); reading and checking them is
// the library's, through a Capture (Captures.cpp) over OpenDatasetParts.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Bindings.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "Dataset.h"
#include "PriceRows.h"
#include "Values.h"
#endif

namespace lmwire::binding {

#ifdef LMWIRE_HAVE_CAPTURE

namespace capture = Lumera::capture;

std::unique_ptr<capture::ByteStream> OpenDatasetParts(const std::string& directory,
                                                      const std::vector<PartFields>& parts) {
    std::vector<capture::DatasetPart> chosen;
    chosen.reserve(parts.size());
    for (const PartFields& fields : parts) {
        capture::DatasetPart& part = chosen.emplace_back();
        std::tie(part.path, part.date, part.lumera_id, part.records, part.bytes, part.first_time,
                 part.last_time) = fields;
    }
    return capture::OpenParts(directory, std::move(chosen));
}

namespace {

constexpr std::size_t kRecordSize = Lumera::PriceRecordLayout::kSize;

py::tuple Manifest(const capture::DatasetManifest& manifest) {
    py::list parts;
    for (const capture::DatasetPart& part : manifest.parts) {
        parts.append(py::cast(PartFields{part.path, part.date, part.lumera_id, part.records,
                                         part.bytes, part.first_time, part.last_time}));
    }
    return py::make_tuple(manifest.version, std::string(capture::TimeUnitName(manifest.unit)),
                          manifest.zone, parts);
}

// One writing of records into a dataset. Closed (or collected) before Finish, it leaves the
// dataset as it was: the writer removes the parts it wrote.
class Writer {
  public:
    Writer(std::string directory, const std::string& unit, std::string zone, bool compress,
           int level, std::uint64_t partBytes, unsigned threads) {
        capture::DatasetOptions options;
        const std::optional<capture::TimeUnit> parsed = capture::ParseTimeUnit(unit);
        if (!parsed) {
            throw py::value_error("time_unit " + unit + ": expected s, ms, us or ns");
        }
        options.unit = *parsed;
        options.zone = std::move(zone);
        options.compress = compress;
        options.level = level;
        options.part_bytes = partBytes;
        options.threads = threads;
        py::gil_scoped_release release;
        writer_.emplace(std::move(directory), std::move(options));
    }

    // Whole 86-byte records back to back, from any contiguous buffer.
    void Write(const py::buffer& records) {
        const Bytes bytes(records);
        if (bytes.size() % kRecordSize != 0) {
            throw py::value_error(std::to_string(bytes.size()) + " bytes are not whole records");
        }
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(mutex_);
        Open().Write(bytes.data(), bytes.size() / kRecordSize);
    }

    // PriceRow or CaptureRow items through the record builder; a row out of reach is a
    // ValueError naming it, and what came before it stays written (the caller closes).
    void WriteRows(py::array rows) {
        const std::size_t rowSize = static_cast<std::size_t>(rows.itemsize());
        const auto* in = static_cast<const unsigned char*>(
            RowData(rows, rowSize == sizeof(CaptureRow) ? rowSize : sizeof(PriceRow), false));
        const auto count = static_cast<std::size_t>(rows.shape(0));
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(mutex_);
        BuildRecordBatches(in, rowSize, count, [&](const unsigned char* records, std::size_t n) {
            Open().Write(records, n);
            return true;
        });
    }

    // The manifest as written; the writer is done.
    py::tuple Finish() {
        std::optional<capture::DatasetManifest> manifest;
        {
            py::gil_scoped_release release;
            const std::lock_guard<std::mutex> lock(mutex_);
            manifest = Open().Finish();
            writer_.reset();
        }
        return Manifest(*manifest);
    }

    // Without Finish: the parts written are removed.
    void Close() {
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(mutex_);
        writer_.reset();
    }

  private:
    capture::DatasetWriter& Open() {
        if (!writer_) {
            throw py::value_error("the dataset writer is closed");
        }
        return *writer_;
    }

    std::optional<capture::DatasetWriter> writer_;
    std::mutex mutex_;
};

}  // namespace

void BindDataset(py::module_& module) {
    module.def("is_dataset", &capture::IsDataset, py::arg("path"),
               "Whether the path is a directory with a dataset manifest.");
    module.def(
        "read_manifest",
        [](const std::string& directory) { return Manifest(capture::ReadManifest(directory)); },
        py::arg("directory"),
        "(version, time unit, zone, parts): each part a tuple (path, date, lumera_id, records, "
        "bytes, first_time, last_time); ValueError naming the manifest when it is damaged.");
    py::class_<Writer>(module, "DatasetWriter")
        .def(py::init<std::string, const std::string&, std::string, bool, int, std::uint64_t,
                      unsigned>(),
             py::arg("directory"), py::arg("unit"), py::arg("zone"), py::arg("compress"),
             py::arg("level"), py::arg("part_bytes"), py::arg("threads"))
        .def("write", &Writer::Write, py::arg("records"))
        .def("write_rows", &Writer::WriteRows, py::arg("rows"))
        .def("finish", &Writer::Finish)
        .def("close", &Writer::Close);
}

#else

void BindDataset(py::module_&) {}

#endif

}  // namespace lmwire::binding
