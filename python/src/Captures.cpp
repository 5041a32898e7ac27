// Captures of every kind for Python through the capture component: raw records, pcap and pcapng,
// plain, zstd or gzip, read chunk by chunk into numpy rows (so that memory stays bounded whatever
// the capture's size), and written back as raw records or UDP datagrams. Which datagrams carry
// records, and what is counted when one is left, is the component's rule (Records.h), as the
// tool applies it. Built without the component, the module says so in CAPTURE and lacks the rest.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "PriceRows.h"
#include "Values.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include <sys/mman.h>

#include "Dataset.h"
#include "RowBlock.h"
#include "wire_types/capture/CaptureReader.h"
#include "wire_types/capture/CaptureWriter.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/Synthetic.h"
#endif

namespace lmwire::binding {

#ifdef LMWIRE_HAVE_CAPTURE
namespace {

namespace capture = Lumera::capture;
using capture::Skip;
constexpr std::size_t kSkips = static_cast<std::size_t>(Skip::Count);
constexpr std::size_t kRecordSize = capture::kRecordSize;
// Raw records read per call of the reader: a few hundred kilobytes, which stay in cache.
constexpr std::size_t kRawChunk = 4096;
// Records in one written datagram at most: 16 x 86 = 1376 bytes fit a 1500-byte Ethernet MTU
// under an IPv4 or IPv6 header, so a written capture is one that a network could carry.
constexpr std::size_t kMostRecords = 16;
// numpy's NaT, for a packet time beyond datetime64[ns] (years 1678 to 2262).
constexpr std::int64_t kNotATime = INT64_MIN;

std::int64_t Nanoseconds(std::int64_t seconds, std::uint32_t nanoseconds) noexcept {
    std::int64_t time = 0;
    if (__builtin_mul_overflow(seconds, 1'000'000'000, &time) ||
        __builtin_add_overflow(time, static_cast<std::int64_t>(nanoseconds), &time)) {
        return kNotATime;
    }
    return time;
}

// One capture being read: rows come out in the capture's order, a packet capture's with its
// packet's time. Python reads it from one thread at a time; the mutex keeps two from racing.
class Capture {
  public:
    // `source`: a path (os.fsencode's bytes) when `isPath`, else any contiguous buffer, held
    // until the capture is dropped. `name` is how messages show it.
    Capture(const py::object& source, bool isPath, std::string name,
            std::vector<std::uint16_t> ports)
        : ports_(std::move(ports)) {
        std::unique_ptr<capture::ByteStream> stream;
        if (isPath) {
            stream = capture::ByteStream::Open(source.cast<std::string>(), {}, std::move(name));
        } else {
            bytes_.emplace(source);
            stream = capture::ByteStream::FromMemory(bytes_->data(), bytes_->size(), name);
        }
        reader_ = std::make_unique<capture::CaptureReader>(std::move(stream));
        packets_ = reader_->Kind() != capture::CaptureKind::Raw;
        rowSize_ = packets_ ? sizeof(CaptureRow) : sizeof(PriceRow);
    }
    // The parts of a dataset as one capture of raw records, whatever their first bytes look like.
    Capture(const std::string& directory, const std::vector<PartFields>& parts)
        : reader_(std::make_unique<capture::CaptureReader>(OpenDatasetParts(directory, parts),
                                                           capture::CaptureKind::Raw)),
          rowSize_(sizeof(PriceRow)) {}

    const char* Kind() const noexcept { return capture::CaptureKindName(reader_->Kind()); }

    // Fills len(rows) rows, fewer only at the capture's end; the count.
    std::size_t Read(py::array rows) {
        auto* out = static_cast<unsigned char*>(RowData(rows, rowSize_, true));
        const auto capacity = static_cast<std::size_t>(rows.shape(0));
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(mutex_);
        return Fill(out, capacity);
    }

    // Up to len(records) / 86 records as they are in the capture (a datagram's records, for a
    // packet capture), fewer only at its end; the count. What a dataset is written from.
    std::size_t ReadRecords(py::array_t<unsigned char, py::array::c_style> records) {
        unsigned char* out = records.mutable_data();
        const auto capacity = static_cast<std::size_t>(records.size()) / kRecordSize;
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(mutex_);
        std::size_t done = 0;
        while (done < capacity && (packets_ ? left_ > 0 || NextDatagram() : !ended_)) {
            std::size_t got = 0;
            if (packets_) {
                got = std::min(left_, capacity - done);
                std::memcpy(out + done * kRecordSize, pending_, got * kRecordSize);
                pending_ += got * kRecordSize;
                left_ -= got;
            } else {
                ended_ = reader_->NextRecords(out + done * kRecordSize, capacity - done, got) !=
                         capture::ReadStatus::Packet;
            }
            done += got;
        }
        return done;
    }

    // Every row left, in one array of `dtype` (the caller's dtype for rowSize_): a block sized for
    // the whole file at once when its size is known (pages never written cost nothing), grown
    // by doubling otherwise.
    py::array ReadAll(const py::dtype& dtype) {
        if (dtype.itemsize() != static_cast<py::ssize_t>(rowSize_)) {
            throw py::type_error("the rows of this capture are " + std::to_string(rowSize_) +
                                 " bytes each");
        }
        std::size_t capacity = std::size_t{1} << 16;
        if (const auto size = reader_->Stream().Size()) {
            capacity = static_cast<std::size_t>(*size / kRecordSize + 1);
        }
        RowBlock rows(capacity * rowSize_);
        std::size_t count = 0;
        {
            py::gil_scoped_release release;
            const std::lock_guard<std::mutex> lock(mutex_);
            std::optional<Prefault> prefault;
            prefault.emplace(rows.Data(), rows.Size());
            while ((count += Fill(rows.Data() + count * rowSize_, capacity - count)) == capacity) {
                prefault.reset();
                rows.Resize(2 * capacity * rowSize_);
                prefault.emplace(rows.Data() + count * rowSize_, capacity * rowSize_);
                capacity *= 2;
            }
            prefault.reset();
            rows.Resize(count * rowSize_);
        }
        void* data = rows.Data();
        return py::array(dtype, {count}, {rowSize_}, data, rows.Release());
    }

    // Counts by skip reason (datagrams left, and taken datagrams decoded only in part).
    std::vector<std::uint64_t> Skipped() const {
        return {tally_.skipped.begin(), tally_.skipped.end()};
    }
    std::vector<std::uint64_t> InPart() const {
        return {tally_.inPart.begin(), tally_.inPart.end()};
    }
    std::uint64_t Datagrams() const noexcept { return tally_.taken; }
    // The tool's words for the counts; empty when nothing was skipped or cut.
    std::string Summary() const { return tally_.Summary(); }
    std::uint64_t Count() const noexcept { return reader_->Count(); }
    const std::string& Cut() const noexcept { return reader_->CutText(); }

  private:
    // The fresh pages of a block, faulted in on another core while this one fills them from the
    // front: clearing them costs about what decoding into them does. The kernel populates pages
    // without touching their contents, so the two never race. Nothing where it is not offered.
    class Prefault {
      public:
        Prefault(void* block, std::size_t size) {
#ifdef MADV_POPULATE_WRITE
            const auto first = (reinterpret_cast<std::uintptr_t>(block) + kPage - 1) & ~(kPage - 1);
            const auto last = (reinterpret_cast<std::uintptr_t>(block) + size) & ~(kPage - 1);
            if (block == nullptr || last < first + kStep) {
                return;
            }
            try {
                thread_ = std::thread([this, first, last] {
                    for (auto at = first; at < last && !stop_; at += kStep) {
                        if (madvise(reinterpret_cast<void*>(at), std::min(kStep, last - at),
                                    MADV_POPULATE_WRITE) != 0) {
                            return;
                        }
                    }
                });
            } catch (const std::system_error&) {
            }
#else
            static_cast<void>(block);
            static_cast<void>(size);
#endif
        }
        ~Prefault() {
            Stop();
        }
        Prefault(const Prefault&) = delete;
        Prefault& operator=(const Prefault&) = delete;
        // Before the block moves or is freed.
        void Stop() noexcept {
            stop_ = true;
            if (thread_.joinable()) {
                thread_.join();
            }
        }

      private:
        static constexpr std::uintptr_t kPage = 4096;
        static constexpr std::uintptr_t kStep = std::uintptr_t{8} << 20;
        std::atomic<bool> stop_{false};
        std::thread thread_;
    };

    std::size_t Fill(unsigned char* out, std::size_t capacity) {
        return packets_ ? FillPackets(out, capacity) : FillRecords(out, capacity);
    }

    std::size_t FillRecords(unsigned char* out, std::size_t capacity) {
        std::size_t done = 0;
        while (done < capacity && !ended_) {
            std::size_t got = 0;
            ended_ = reader_->NextRecords(records_.data(), std::min(kRawChunk, capacity - done),
                                          got) != capture::ReadStatus::Packet;
            for (std::size_t i = 0; i < got; ++i, ++done) {
                DecodeRecord(records_.data() + i * kRecordSize, out + done * sizeof(PriceRow));
            }
        }
        return done;
    }

    // A datagram's records may straddle two calls: its packet stays valid until the next Next.
    std::size_t FillPackets(unsigned char* out, std::size_t capacity) {
        std::size_t done = 0;
        while (done < capacity) {
            if (left_ == 0 && !NextDatagram()) {
                break;
            }
            const std::size_t n = std::min(left_, capacity - done);
            for (std::size_t i = 0; i < n; ++i, ++done) {
                unsigned char* row = out + done * sizeof(CaptureRow);
                DecodeRecord(pending_ + i * kRecordSize, row);
                std::memcpy(row + sizeof(PriceRow), &time_, sizeof time_);
            }
            pending_ += n * kRecordSize;
            left_ -= n;
        }
        return done;
    }

    bool NextDatagram() {
        while (!ended_) {
            if (reader_->Next(packet_) != capture::ReadStatus::Packet) {
                ended_ = true;
                break;
            }
            const capture::Datagram datagram = capture::ReadDatagram(packet_);
            const capture::TakenDatagram taken = capture::TakeDatagram(datagram, ports_);
            if (!tally_.Add(taken)) {
                continue;
            }
            pending_ = taken.records.first;
            left_ = taken.records.count;
            time_ = Nanoseconds(datagram.seconds, datagram.nanoseconds);
            return true;
        }
        return false;
    }

    std::optional<Bytes> bytes_;
    std::unique_ptr<capture::CaptureReader> reader_;
    std::vector<std::uint16_t> ports_;
    bool packets_ = false;
    std::size_t rowSize_ = 0;
    bool ended_ = false;
    std::mutex mutex_;
    std::vector<unsigned char> records_ = std::vector<unsigned char>(kRawChunk * kRecordSize);
    capture::Packet packet_;
    const unsigned char* pending_ = nullptr;  // the taken datagram's records not yet handed out
    std::size_t left_ = 0;
    std::int64_t time_ = 0;
    capture::DatagramTally tally_;
};

// (address bytes, port): 4 bytes for IPv4, 16 for IPv6.
using PyEndpoint = std::pair<py::bytes, std::uint16_t>;

capture::Endpoint ToEndpoint(const PyEndpoint& given) {
    const std::string address = given.first;
    capture::Endpoint endpoint;
    endpoint.v6 = address.size() == 16;
    std::copy_n(address.begin(), std::min<std::size_t>(address.size(), 16),
                endpoint.address.begin());
    endpoint.port = given.second;
    return endpoint;
}

py::tuple DefaultEndpoints() {
    const capture::SyntheticEndpoints endpoints = capture::DefaultSyntheticEndpoints();
    const auto pair = [](const capture::Endpoint& endpoint) {
        return py::make_tuple(
            py::bytes(reinterpret_cast<const char*>(endpoint.address.data()), endpoint.v6 ? 16 : 4),
            endpoint.port);
    };
    return py::make_tuple(pair(endpoints.source), pair(endpoints.destination));
}

// Rows (PriceRow or CaptureRow items) to the descriptor: raw records, or datagrams of the
// consecutive rows that share a time in `times` (nanoseconds since 1970, checked by the caller
// to fit the format). Every record is built before the first byte is written.
void WriteCapture(py::array rows, py::array_t<std::int64_t, py::array::c_style> times,
                  int descriptor, const std::string& format, bool zstd, int level, bool nano,
                  const PyEndpoint& source, const PyEndpoint& destination) {
    const std::size_t rowSize = static_cast<std::size_t>(rows.itemsize());
    const auto* in = static_cast<const unsigned char*>(
        RowData(rows, rowSize == sizeof(CaptureRow) ? rowSize : sizeof(PriceRow), false));
    const auto count = static_cast<std::size_t>(rows.shape(0));
    capture::WriterOptions options;
    options.format = format == "pcap"     ? capture::WriteFormat::Pcap
                     : format == "pcapng" ? capture::WriteFormat::Pcapng
                                          : capture::WriteFormat::Raw;
    options.compression = zstd ? capture::Compression::Zstd : capture::Compression::None;
    options.level = level;
    options.resolution =
        nano ? capture::TimeResolution::Nanoseconds : capture::TimeResolution::Microseconds;
    const capture::Endpoint from = ToEndpoint(source);
    const capture::Endpoint to = ToEndpoint(destination);
    if (options.format != capture::WriteFormat::Raw &&
        (from.v6 != to.v6 || static_cast<std::size_t>(times.size()) < count)) {
        throw py::value_error("write_capture: endpoints of two families, or fewer times than rows");
    }
    const std::int64_t* stamps = times.data();
    const auto record = [&](std::size_t i) {
        PriceRow row;
        std::memcpy(&row, in + i * rowSize, sizeof row);
        return BuildRecord(row, i);
    };
    std::string failure;
    int failedErrno = 0;
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < count; ++i) {
            static_cast<void>(record(i));
        }
        std::optional<capture::CaptureWriter> writer;
        try {
            writer.emplace(descriptor, options);
            std::vector<unsigned char> payload(kMostRecords * kRecordSize);
            std::vector<unsigned char> frame(capture::FrameSize(true, payload.size()));
            const bool raw = options.format == capture::WriteFormat::Raw;
            for (std::size_t first = 0, datagram = 0; first < count; ++datagram) {
                std::size_t last = first;
                do {
                    const auto bytes = record(last);
                    std::copy(bytes.begin(), bytes.end(),
                              payload.data() + (last - first) * kRecordSize);
                    ++last;
                } while (last < count && last - first < kMostRecords &&
                         (raw || stamps[last] == stamps[first]));
                if (raw) {
                    writer->WriteRecords(payload.data(), last - first);
                } else {
                    const std::size_t size = capture::WriteUdpFrame(
                        frame.data(), frame.size(), from, to, static_cast<std::uint16_t>(datagram),
                        payload.data(), (last - first) * kRecordSize);
                    const std::int64_t time = stamps[first];
                    writer->WritePacket(time / 1'000'000'000,
                                        static_cast<std::uint32_t>(time % 1'000'000'000),
                                        frame.data(), size);
                }
                first = last;
            }
            writer->Finish();
        } catch (const capture::CaptureError& error) {
            failure = error.what();
            failedErrno = writer ? writer->FailedErrno() : 0;
        }
    }
    if (failedErrno != 0) {  // OSError's subclass for the errno, with the writer's message
        PyErr_SetObject(PyExc_OSError, py::make_tuple(failedErrno, failure).ptr());
        throw py::error_already_set();
    }
    if (!failure.empty()) {
        throw py::value_error(failure);
    }
}

}  // namespace

void BindCaptures(py::module_& module) {
    module.attr("CAPTURE") = true;
    module.attr("CAPTURE_ROW_SIZE") = sizeof(CaptureRow);
    py::list reasons;
    for (std::size_t i = 0; i < kSkips; ++i) {
        reasons.append(capture::SkipReason(static_cast<Skip>(i)));
    }
    module.attr("SKIP_REASONS") = py::tuple(reasons);
    module.def(
        "plain_records",
        [](const py::bytes& head) {
            const std::string bytes = head;
            const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
            return capture::DetectCompression(data, bytes.size()) == capture::Compression::None &&
                   capture::DetectKind(data, bytes.size()) == capture::CaptureKind::Raw;
        },
        py::arg("head"),
        "Whether a capture's first bytes are raw records, neither compressed nor a "
        "packet capture.");
    module.def("default_endpoints", &DefaultEndpoints,
               "((source address, port), (destination address, port)) of synthetic captures.");
    module.def("write_capture", &WriteCapture, py::arg("rows"), py::arg("times"),
               py::arg("descriptor"), py::arg("format"), py::arg("zstd"), py::arg("level"),
               py::arg("nano"), py::arg("source"), py::arg("destination"),
               "Writes the rows to the descriptor as raw records or datagrams; ValueError for a "
               "row out of reach or what the writer refuses.");
    py::class_<Capture>(module, "Capture")
        .def(py::init<const py::object&, bool, std::string, std::vector<std::uint16_t>>(),
             py::arg("source"), py::arg("is_path"), py::arg("name"), py::arg("ports"))
        .def(py::init<const std::string&, const std::vector<PartFields>&>(), py::arg("directory"),
             py::arg("parts"))
        .def_property_readonly("kind", &Capture::Kind)
        .def("read", &Capture::Read, py::arg("rows"))
        .def("read_records", &Capture::ReadRecords, py::arg("records"))
        .def("read_all", &Capture::ReadAll, py::arg("dtype"))
        .def_property_readonly("skipped", &Capture::Skipped)
        .def_property_readonly("in_part", &Capture::InPart)
        .def_property_readonly("datagrams", &Capture::Datagrams)
        .def_property_readonly("summary", &Capture::Summary)
        .def_property_readonly("count", &Capture::Count)
        .def_property_readonly("cut", &Capture::Cut);
    // Damaged bytes are the input's fault; a file that cannot be read is the system's.
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) {
                std::rethrow_exception(error);
            }
        } catch (const capture::CaptureError& failure) {
            PyErr_SetString(PyExc_ValueError, failure.what());
        }
    });
}

#else

void BindCaptures(py::module_& module) {
    module.attr("CAPTURE") = false;
}

#endif

}  // namespace lmwire::binding
