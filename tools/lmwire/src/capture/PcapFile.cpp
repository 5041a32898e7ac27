#include "capture/PcapFile.h"

#ifdef LMWIRE_HAVE_PCAP

#include <pcap/pcap.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <utility>

#include <fmt/format.h>

#include "capture/Datagram.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Input.h"
#include "io/ReplacedFile.h"

namespace lmwire {

struct PcapReader::Handle {
    Input input;
    std::function<void()> beforeWait;
    std::exception_ptr error;  // met inside a read that libpcap called
    pcap_t* pcap = nullptr;

    Handle(const std::string& path, std::function<void()> wait)
        : input(path), beforeWait(std::move(wait)) {}
    ~Handle() {
        if (pcap != nullptr) {
            pcap_close(pcap);
        }
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
};

PcapReader::PcapReader(const std::string& path, std::function<void()> beforeWait)
    : handle_(std::make_unique<Handle>(path, std::move(beforeWait))), name_(handle_->input.Name()) {
    // libpcap reads through a stream of ours: only there is it known that a read is about to
    // wait, which stdio's own buffer would hide. Nothing may be thrown through libpcap's frames.
    cookie_io_functions_t functions{};
    functions.read = [](void* cookie, char* into, std::size_t size) -> ssize_t {
        Handle& handle = *static_cast<Handle*>(cookie);
        try {
            if (handle.beforeWait && handle.input.WouldBlock()) {
                handle.beforeWait();
            }
            return static_cast<ssize_t>(
                handle.input.ReadSome(reinterpret_cast<unsigned char*>(into), size));
        } catch (...) {
            handle.error = std::current_exception();
            errno = EIO;
            return -1;
        }
    };
    std::FILE* file = fopencookie(handle_.get(), "rb", functions);
    if (file == nullptr) {
        throw std::bad_alloc();
    }
    std::setvbuf(file, nullptr, _IOFBF, std::size_t{1} << 16);
    char error[PCAP_ERRBUF_SIZE] = {};
    // Nanosecond files are scaled down by libpcap: every line shows microseconds.
    handle_->pcap =
        pcap_fopen_offline_with_tstamp_precision(file, PCAP_TSTAMP_PRECISION_MICRO, error);
    if (handle_->pcap == nullptr) {
        std::fclose(file);
        if (handle_->error) {
            std::rethrow_exception(handle_->error);
        }
        throw BadInput(fmt::format("cannot read {} as a pcap or pcapng capture: {}", name_, error));
    }
    linkType_ = pcap_datalink(handle_->pcap);
    if (!KnownLinkType(linkType_)) {
        const char* name = pcap_datalink_val_to_name(linkType_);
        throw BadInput(
            fmt::format("{}: link-layer type {} ({}) is not read; Ethernet, Linux cooked (SLL, "
                        "SLL2) and raw IP are",
                        name_, linkType_, name != nullptr ? name : "unknown"));
    }
}

PcapReader::~PcapReader() = default;

bool PcapReader::Next(CapturedFrame& frame) {
    pcap_pkthdr* header = nullptr;
    const u_char* data = nullptr;
    const int result = pcap_next_ex(handle_->pcap, &header, &data);
    if (result == PCAP_ERROR_BREAK) {
        return false;
    }
    if (result != 1) {
        if (handle_->error) {
            std::rethrow_exception(handle_->error);
        }
        // libpcap tells an end inside a packet from damage only by its message.
        const std::string message = pcap_geterr(handle_->pcap);
        if (message.rfind("truncated ", 0) == 0) {
            cut_ = message;
            return false;
        }
        throw BadInput(fmt::format("cannot read {}: {}", name_, message));
    }
    ++packets_;
    frame.seconds = header->ts.tv_sec;
    frame.microseconds = static_cast<std::uint32_t>(header->ts.tv_usec);
    frame.data = data;
    frame.captured = header->caplen;
    frame.original = header->len;
    return true;
}

struct PcapWriter::Handle {
    pcap_t* pcap = nullptr;
    pcap_dumper_t* dumper = nullptr;
    std::unique_ptr<ReplacedFile> named;  // a file replaced once the capture is complete
    ~Handle() {
        if (dumper != nullptr) {
            pcap_dump_close(dumper);
        }
        if (pcap != nullptr) {
            pcap_close(pcap);
        }
    }
};

PcapWriter::PcapWriter(const std::string& path)
    : handle_(std::make_unique<Handle>()), name_(path == "-" ? "standard output" : Escaped(path)) {
    handle_->pcap =
        pcap_open_dead_with_tstamp_precision(kLinkEthernet, 65535, PCAP_TSTAMP_PRECISION_MICRO);
    if (handle_->pcap == nullptr) {
        throw std::bad_alloc();
    }
    // Closing the dumper closes its stream: it gets one of its own, on a copy of the descriptor.
    if (path != "-") {
        handle_->named = std::make_unique<ReplacedFile>(path);
    }
    const int descriptor =
        handle_->named ? fileno(handle_->named->Stream()) : static_cast<int>(STDOUT_FILENO);
    std::FILE* file = fdopen(dup(descriptor), "wb");
    if (file == nullptr) {
        throw BadInput(fmt::format("cannot create {}: {}", name_, std::strerror(errno)));
    }
    handle_->dumper = pcap_dump_fopen(handle_->pcap, file);
    if (handle_->dumper == nullptr) {
        std::fclose(file);
        throw WriteError(fmt::format("cannot write {}: {}", name_, pcap_geterr(handle_->pcap)),
                         false);
    }
}

PcapWriter::~PcapWriter() = default;

void PcapWriter::Write(std::int64_t seconds, std::uint32_t microseconds, const unsigned char* frame,
                       std::size_t length) {
    pcap_pkthdr header{};
    header.ts.tv_sec = static_cast<time_t>(seconds);
    header.ts.tv_usec = static_cast<suseconds_t>(microseconds);
    header.caplen = header.len = static_cast<bpf_u_int32>(length);
    pcap_dump(reinterpret_cast<u_char*>(handle_->dumper), &header, frame);
}

void PcapWriter::Finish() {
    std::FILE* file = pcap_dump_file(handle_->dumper);
    const bool failed = pcap_dump_flush(handle_->dumper) != 0 || std::ferror(file) != 0;
    const int error = errno;
    pcap_dump_close(handle_->dumper);
    handle_->dumper = nullptr;
    if (failed) {
        throw WriteError(fmt::format("cannot write {}: {}", name_, std::strerror(error)),
                         error == EPIPE);
    }
    if (handle_->named) {
        handle_->named->Commit();
    }
}

}  // namespace lmwire

#endif
