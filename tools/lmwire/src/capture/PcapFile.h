#pragma once

// Capture files through libpcap: classic pcap and pcapng read, classic pcap written. Built only
// where libpcap is (LMWIRE_HAVE_PCAP); elsewhere the commands say that --pcap is not available.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace lmwire {

struct CapturedFrame {
    std::int64_t seconds = 0;  // UTC
    std::uint32_t microseconds = 0;
    const unsigned char* data = nullptr;  // valid until the next Next
    std::size_t captured = 0;
    std::size_t original = 0;  // length on the wire
};

class PcapReader {
  public:
    // BadInput when the file cannot be opened or is no capture; "-" is standard input.
    // `beforeWait` runs whenever the next read would wait for a writer (a pipe or terminal with
    // nothing pending), so that what was decoded can be shown while the capture is live.
    explicit PcapReader(const std::string& path, std::function<void()> beforeWait = {});
    ~PcapReader();
    PcapReader(const PcapReader&) = delete;
    PcapReader& operator=(const PcapReader&) = delete;

    const std::string& Name() const { return name_; }
    int LinkType() const { return linkType_; }
    // False at the end, or where the capture ends inside a packet (see Cut); BadInput for a
    // damaged file.
    bool Next(CapturedFrame& frame);
    // Empty, or what was missing where the capture ended inside a packet: a capture still being
    // written, or whose writer was stopped, ends so.
    const std::string& Cut() const { return cut_; }
    // The whole packets read.
    std::uint64_t Packets() const { return packets_; }

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::string name_;
    int linkType_ = 0;
    std::string cut_;
    std::uint64_t packets_ = 0;
};

// Ethernet frames into a classic pcap file (microsecond time stamps).
class PcapWriter {
  public:
    // BadInput when the file cannot be created; "-" is standard output.
    explicit PcapWriter(const std::string& path);
    ~PcapWriter();
    PcapWriter(const PcapWriter&) = delete;
    PcapWriter& operator=(const PcapWriter&) = delete;

    void Write(std::int64_t seconds, std::uint32_t microseconds, const unsigned char* frame,
               std::size_t length);
    // Flushes and closes; WriteError naming the file on any failure.
    void Finish();

  private:
    struct Handle;
    std::unique_ptr<Handle> handle_;
    std::string name_;
};

}  // namespace lmwire
