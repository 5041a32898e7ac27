#pragma once

// Writers of captures: raw records, classic pcap (Ethernet frames) or pcapng (one Ethernet
// interface), micro- or nanosecond time stamps, optionally zstd-compressed at the
// caller's level. They write to a descriptor the caller owns (a temporary file to be renamed, a
// pipe, standard output) and never close it.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Stream.h"

namespace Lumera::capture {

enum class WriteFormat { Raw, Pcap, Pcapng };
enum class TimeResolution { Microseconds, Nanoseconds };

struct WriterOptions {
    WriteFormat format = WriteFormat::Raw;
    Compression compression = Compression::None;               // None or Zstd
    int level = 3;                                             // zstd's level
    TimeResolution resolution = TimeResolution::Microseconds;  // of pcap and pcapng stamps
    std::string name = "standard output";                      // for messages
};

class LMWIRE_CAPTURE_API CaptureWriter {
  public:
    // CaptureError for options it cannot honour (gzip, a level zstd refuses).
    CaptureWriter(int descriptor, WriterOptions options);
    ~CaptureWriter();
    CaptureWriter(const CaptureWriter&) = delete;
    CaptureWriter& operator=(const CaptureWriter&) = delete;

    // Raw: records as they are. CaptureError for a packet format.
    void WriteRecords(const unsigned char* records, std::size_t count);
    // Pcap, pcapng: one Ethernet frame. CaptureError for raw.
    void WritePacket(std::int64_t seconds, std::uint32_t nanoseconds, const unsigned char* frame,
                     std::size_t length);
    // Flushes what is buffered and ends the compressed frame; CaptureError (with errno's text)
    // on any write failure. Nothing may be written after it.
    void Finish();
    // The errno of the write that failed, 0 when none did (EPIPE: the reader went away).
    [[nodiscard]] int FailedErrno() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Lumera::capture
