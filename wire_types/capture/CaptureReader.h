#pragma once

// A capture file read packet by packet, whatever it is: classic pcap (micro- or nanosecond time
// stamps, either byte order), pcapng (several sections and interfaces, each packet read with its
// own interface's link type, snap length and time resolution), or a raw file of records back to
// back; each plain, zstd or gzip (ByteStream). Recognised by content. The per-packet path
// allocates nothing once the largest packet has been seen.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"
#include "wire_types/capture/Stream.h"

namespace Lumera::capture {

enum class CaptureKind { Raw, Pcap, Pcapng };
[[nodiscard]] LMWIRE_CAPTURE_API const char* CaptureKindName(CaptureKind kind) noexcept;
// By the first decompressed bytes (up to 12): a pcap's magic in either byte order and either
// resolution, a pcapng section header; anything else is raw.
[[nodiscard]] LMWIRE_CAPTURE_API CaptureKind DetectKind(const unsigned char* head,
                                                        std::size_t length) noexcept;

enum class ReadStatus {
    Packet,  // the packet (or the records) filled in
    End,     // the capture ended where it should
    Cut,     // the capture ended inside a packet or record: a capture still being written, or
             // whose writer was stopped; CutText() says what was missing
};

class LMWIRE_CAPTURE_API CaptureReader {
  public:
    // Takes the stream and reads enough of it to know its kind (and a pcap's file header).
    // CaptureError for a damaged header, a pcap's unknown link type included; a header cut short
    // is the first Next's Cut. A pcapng interface of an unknown link type is refused only when a
    // packet of it arrives, so that an idle interface of another kind leaves the file readable.
    explicit CaptureReader(std::unique_ptr<ByteStream> stream);
    // As `kind`, whatever the bytes look like (the tool's --pcap and --binary).
    CaptureReader(std::unique_ptr<ByteStream> stream, CaptureKind kind);
    ~CaptureReader();
    CaptureReader(const CaptureReader&) = delete;
    CaptureReader& operator=(const CaptureReader&) = delete;

    [[nodiscard]] CaptureKind Kind() const noexcept;
    [[nodiscard]] const ByteStream& Stream() const noexcept;
    [[nodiscard]] const std::string& Name() const noexcept;

    // Packet captures: the next packet, valid until the next call. CaptureError for damaged
    // bytes (a block whose length is impossible, a packet of an interface never described, a
    // time that no 64-bit second count holds). A pcap's seconds are read unsigned (to 2106);
    // time units finer than a nanosecond are truncated.
    [[nodiscard]] ReadStatus Next(Packet& packet);
    // Raw captures: up to `capacity` whole records into `into` (capacity * 86 bytes); `count`
    // says how many (0 only with End or Cut). A record cut by the end of the file is reported as
    // Cut and its bytes are never handed out.
    [[nodiscard]] ReadStatus NextRecords(unsigned char* into, std::size_t capacity,
                                         std::size_t& count);

    // Empty, or what was missing where the capture ended inside a packet or record, or where its
    // compressed data ended inside a frame or member (ByteStream::CutText).
    [[nodiscard]] const std::string& CutText() const noexcept;
    // Whole packets (or records, for a raw capture) read so far.
    [[nodiscard]] std::uint64_t Count() const noexcept;

  private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace Lumera::capture
