#include "capture/PcapFile.h"

#ifdef LMWIRE_HAVE_PCAP

#include <pcap/pcap.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "capture/Datagram.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/ReplacedFile.h"

namespace lmwire {

struct PcapReader::Handle {
    pcap_t* pcap = nullptr;
    ~Handle() {
        if (pcap != nullptr) {
            pcap_close(pcap);
        }
    }
};

PcapReader::PcapReader(const std::string& path)
    : handle_(std::make_unique<Handle>()), name_(path == "-" ? "standard input" : Escaped(path)) {
    char error[PCAP_ERRBUF_SIZE] = {};
    // Nanosecond files are scaled down by libpcap: every line shows microseconds.
    handle_->pcap =
        pcap_open_offline_with_tstamp_precision(path.c_str(), PCAP_TSTAMP_PRECISION_MICRO, error);
    if (handle_->pcap == nullptr) {
        throw BadInput(Cat({"cannot read ", name_, " as a pcap or pcapng capture: ", error}));
    }
    linkType_ = pcap_datalink(handle_->pcap);
    if (!KnownLinkType(linkType_)) {
        const char* name = pcap_datalink_val_to_name(linkType_);
        throw BadInput(Cat({name_, ": link-layer type ", std::to_string(linkType_), " (",
                            name != nullptr ? name : "unknown",
                            ") is not read; Ethernet, Linux cooked (SLL, SLL2) and raw IP are"}));
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
        throw BadInput(Cat({"cannot read ", name_, ": ", pcap_geterr(handle_->pcap)}));
    }
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
        throw BadInput(Cat({"cannot create ", name_, ": ", std::strerror(errno)}));
    }
    handle_->dumper = pcap_dump_fopen(handle_->pcap, file);
    if (handle_->dumper == nullptr) {
        std::fclose(file);
        throw WriteError(Cat({"cannot write ", name_, ": ", pcap_geterr(handle_->pcap)}), false);
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
        throw WriteError(Cat({"cannot write ", name_, ": ", std::strerror(error)}), error == EPIPE);
    }
    if (handle_->named) {
        handle_->named->Commit();
    }
}

}  // namespace lmwire

#endif
