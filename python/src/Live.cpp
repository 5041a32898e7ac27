// Live feeds for Python through the capture component: a Receiver's datagrams handed out as
// numpy rows with their kernel receive time, chunk by chunk, and a capture sent again by the
// component's Replay. Which datagrams carry records is the component's rule, as for captures.
// Waiting and sending happen without the GIL, so other threads run meanwhile, and one of them
// may stop either.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "PriceRows.h"

#ifdef LMWIRE_HAVE_CAPTURE
#include "wire_types/capture/Address.h"
#include "wire_types/capture/Receiver.h"
#include "wire_types/capture/Records.h"
#include "wire_types/capture/Replay.h"
#include "wire_types/capture/Sender.h"
#endif

namespace lmwire::binding {

#ifdef LMWIRE_HAVE_CAPTURE
namespace {

namespace capture = Lumera::capture;
using Clock = std::chrono::steady_clock;
constexpr std::size_t kRecordSize = capture::kRecordSize;

// Counts by skip reason, as Capture's skipped and in_part give them.
std::vector<std::uint64_t> List(const capture::DatagramTally::Counts& counts) {
    return {counts.begin(), counts.end()};
}

// A socket listening to a feed. One thread at a time takes rows (Fill); any thread may stop it
// or read its counts meanwhile, so the counts have a lock of their own, never held while
// waiting.
class Listener {
  public:
    Listener(const std::string& address, long port, const std::string& interface,
             const std::optional<std::string>& source, bool anyDatagram, std::uint64_t count,
             int receiveBuffer)
        : limit_(count) {
        capture::ReceiverOptions options;
        options.endpoint = capture::MakeEndpoint(address, port);
        options.interface = interface;
        if (source) {
            options.source = capture::MakeEndpoint(*source, 0);
        }
        options.receiveBuffer = receiveBuffer;
        receiver_ = std::make_unique<capture::Receiver>(options);
        local_ = receiver_->Local();
        granted_ = receiver_->ReceiveBuffer();
        // Every datagram reaches the bound port: naming it takes them whatever their length.
        if (anyDatagram) {
            ports_.push_back(local_.port);
        }
    }

    // Fills up to len(rows) rows, returning once they are full, `timeout` seconds after the
    // first of them arrived, or when no more will come. 0 when stopped, closed, past the count,
    // or woken by a signal before any row: the caller's loop then lets Python run its handlers.
    std::size_t Fill(py::array rows, double timeout) {
        auto* out = static_cast<unsigned char*>(RowData(rows, sizeof(CaptureRow), true));
        const auto capacity = static_cast<std::size_t>(rows.shape(0));
        const auto allowed = std::chrono::duration_cast<Clock::duration>(
            std::chrono::duration<double>(std::min(timeout, static_cast<double>(INT_MAX) / 1000)));
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(fill_);
        std::size_t done = 0;
        Clock::time_point deadline;
        while (done < capacity && receiver_ && !CountReached()) {
            if (left_ > 0) {
                const std::size_t n = std::min(left_, capacity - done);
                for (std::size_t i = 0; i < n; ++i) {
                    unsigned char* row = out + (done + i) * sizeof(CaptureRow);
                    DecodeRecord(pending_ + i * kRecordSize, row);
                    std::memcpy(row + sizeof(PriceRow), &time_, sizeof time_);
                }
                if (done == 0) {
                    deadline = Clock::now() + allowed;
                }
                pending_ += n * kRecordSize;
                left_ -= n;
                done += n;
                const std::lock_guard<std::mutex> counting(counting_);
                counts_.records += n;
                continue;
            }
            if (next_ < got_) {
                Take((*receiver_)[next_++]);
                continue;
            }
            int wait = -1;
            if (done > 0) {
                const auto left =
                    std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
                if (left.count() <= 0) {
                    break;
                }
                wait = static_cast<int>(left.count());
            }
            got_ = receiver_->Receive(wait);
            next_ = 0;
            {
                const std::lock_guard<std::mutex> counting(counting_);
                counts_.drops = receiver_->KernelDrops();
            }
            if (got_ == 0) {
                break;  // the time is up, stopped, or a signal
            }
        }
        finished_ =
            !receiver_ || CountReached() || (receiver_->Stopped() && left_ == 0 && next_ >= got_);
        return done;
    }

    // No row will come any more: stopped or past the count, with nothing received left.
    bool Finished() const noexcept { return finished_; }

    // Any thread, any time: the waiting Fill returns.
    void Stop() {
        const std::lock_guard<std::mutex> lock(life_);
        if (receiver_) {
            receiver_->Stop();
        }
    }

    // Stops and closes the socket (a unicast port is free again); the counts stay.
    void Close() {
        Stop();
        py::gil_scoped_release release;
        const std::lock_guard<std::mutex> lock(fill_);
        const std::lock_guard<std::mutex> life(life_);
        receiver_.reset();
        left_ = got_ = next_ = 0;
        finished_ = true;
    }

    std::string Address() const { return capture::AddressText(local_); }
    std::uint16_t Port() const { return local_.port; }
    int GrantedBuffer() const { return granted_; }
    std::uint64_t Datagrams() const { return Snapshot().datagrams; }
    std::uint64_t Records() const { return Snapshot().records; }
    std::uint64_t Drops() const { return Snapshot().drops; }
    std::vector<std::uint64_t> Skipped() const { return List(Snapshot().tally.skipped); }
    std::vector<std::uint64_t> InPart() const { return List(Snapshot().tally.inPart); }
    std::string Summary() const { return Snapshot().tally.Summary(); }

  private:
    struct Counts {
        std::uint64_t datagrams = 0;
        std::uint64_t records = 0;
        std::uint64_t drops = 0;
        capture::DatagramTally tally;
    };

    Counts Snapshot() const {
        const std::lock_guard<std::mutex> lock(counting_);
        return counts_;
    }

    bool CountReached() const {
        const std::lock_guard<std::mutex> lock(counting_);
        return limit_ != 0 && counts_.records >= limit_;
    }

    // A datagram judged; its records, up to the count, become pending.
    void Take(const capture::Datagram& datagram) {
        const capture::TakenDatagram taken = capture::TakeDatagram(datagram, ports_);
        const std::lock_guard<std::mutex> counting(counting_);
        ++counts_.datagrams;
        if (!counts_.tally.Add(taken)) {
            return;
        }
        pending_ = taken.records.first;
        left_ = taken.records.count;
        if (limit_ != 0) {
            left_ =
                static_cast<std::size_t>(std::min<std::uint64_t>(left_, limit_ - counts_.records));
        }
        time_ = datagram.seconds * 1'000'000'000 + datagram.nanoseconds;
    }

    std::unique_ptr<capture::Receiver> receiver_;
    capture::Endpoint local_;
    int granted_ = 0;
    std::vector<std::uint16_t> ports_;
    const std::uint64_t limit_;
    std::atomic<bool> finished_{false};
    std::mutex fill_;              // one Fill at a time, and Close between them
    mutable std::mutex life_;      // the receiver for Stop from another thread
    mutable std::mutex counting_;  // counts_, read by any thread
    // The batch received and the taken datagram's records not yet handed out: a datagram's
    // records may straddle two calls, and its payload stays valid until the next Receive.
    std::size_t got_ = 0;
    std::size_t next_ = 0;
    const unsigned char* pending_ = nullptr;
    std::size_t left_ = 0;
    std::int64_t time_ = 0;
    Counts counts_;
};

// One replay, set up (the destination and the sender checked) before it runs, so that Run can go
// on a thread of its own while the caller stays free to stop it.
class Replaying {
  public:
    Replaying(std::string path, std::string name, const std::string& address, long port,
              const std::string& pace, double speed, double rate, std::size_t records,
              std::uint64_t loops, std::vector<std::uint16_t> ports, const std::string& interface,
              int ttl, bool loopback)
        : path_(std::move(path)), name_(std::move(name)) {
        capture::SenderOptions to;
        to.destination = capture::MakeEndpoint(address, port);
        to.interface = interface;
        to.ttl = ttl;
        to.loopback = loopback;
        sender_ = std::make_unique<capture::Sender>(to);
        options_.pace = pace == "max"    ? capture::Pace::Max
                        : pace == "rate" ? capture::Pace::Rate
                                         : capture::Pace::Recorded;
        options_.speed = speed;
        options_.rate = rate;
        options_.records = records;
        options_.loops = loops;
        options_.ports = std::move(ports);
    }

    py::dict Run() {
        capture::ReplaySummary sent;
        {
            py::gil_scoped_release release;
            sent = capture::Replay([this] { return capture::ByteStream::Open(path_, {}, name_); },
                                   *sender_, options_, &stop_);
        }
        py::dict summary;
        summary["datagrams"] = sent.datagrams;
        summary["records"] = sent.records;
        summary["nanoseconds"] = sent.nanoseconds;
        summary["timed"] = sent.pacing.count;
        summary["median"] = sent.pacing.median;
        summary["p99"] = sent.pacing.p99;
        summary["max"] = sent.pacing.max;
        summary["skipped"] = List(sent.tally.skipped);
        summary["in_part"] = List(sent.tally.inPart);
        summary["summary"] = sent.tally.Summary();
        summary["cut"] = sent.cut;
        return summary;
    }

    void Stop() noexcept { stop_.store(true, std::memory_order_relaxed); }

  private:
    std::string path_;
    std::string name_;  // how messages show the capture
    std::unique_ptr<capture::Sender> sender_;
    capture::ReplayOptions options_;
    std::atomic<bool> stop_{false};
};

}  // namespace

void BindLive(py::module_& module) {
    module.attr("MAX_RECORDS_PER_DATAGRAM") = capture::kMaxRecordsPerDatagram;
    py::class_<Listener>(module, "Listener")
        .def(py::init<const std::string&, long, const std::string&,
                      const std::optional<std::string>&, bool, std::uint64_t, int>(),
             py::arg("address"), py::arg("port"), py::arg("interface"), py::arg("source"),
             py::arg("any_datagram"), py::arg("count"), py::arg("receive_buffer"))
        .def("fill", &Listener::Fill, py::arg("rows"), py::arg("timeout"))
        .def_property_readonly("finished", &Listener::Finished)
        .def("stop", &Listener::Stop)
        .def("close", &Listener::Close)
        .def_property_readonly("address", &Listener::Address)
        .def_property_readonly("port", &Listener::Port)
        .def_property_readonly("receive_buffer", &Listener::GrantedBuffer)
        .def_property_readonly("datagrams", &Listener::Datagrams)
        .def_property_readonly("records", &Listener::Records)
        .def_property_readonly("kernel_drops", &Listener::Drops)
        .def_property_readonly("skipped", &Listener::Skipped)
        .def_property_readonly("in_part", &Listener::InPart)
        .def_property_readonly("summary", &Listener::Summary);
    py::class_<Replaying>(module, "Replay")
        .def(py::init<std::string, std::string, const std::string&, long, const std::string&,
                      double, double, std::size_t, std::uint64_t, std::vector<std::uint16_t>,
                      const std::string&, int, bool>(),
             py::arg("path"), py::arg("name"), py::arg("address"), py::arg("port"), py::arg("pace"),
             py::arg("speed"), py::arg("rate"), py::arg("records"), py::arg("loops"),
             py::arg("ports"), py::arg("interface"), py::arg("ttl"), py::arg("loopback"))
        .def("run", &Replaying::Run)
        .def("stop", &Replaying::Stop);
    // The system's refusals keep their errno, as OSError's subclasses tell them apart.
    py::register_exception_translator([](std::exception_ptr error) {
        try {
            if (error) {
                std::rethrow_exception(error);
            }
        } catch (const std::system_error& failure) {
            PyErr_SetObject(PyExc_OSError,
                            py::make_tuple(failure.code().value(), failure.what()).ptr());
        }
    });
}

#else

void BindLive(py::module_&) {}

#endif

}  // namespace lmwire::binding
