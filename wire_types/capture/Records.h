#pragma once

// Whole 86-byte price records in a datagram or a raw stream. A record cut short (by the snap
// length, by the end of a datagram or of a file) is reported, never decoded: that rule is
// written here once for the tool, the Python package and the live commands.
//
// Which datagrams carry records is a convention, since no record carries a tag or a length:
// when the user names ports, every datagram to them is taken whatever its length; otherwise only
// one whose length on the wire is a positive multiple of 86 and whose captured records all have
// a price format code with a row (1 to 62), so that other traffic of that length is left alone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"

namespace Lumera::capture {

constexpr std::size_t kRecordSize = 86;

// The whole records at the start of `length` bytes, and what is left after them.
struct WholeRecords {
    const unsigned char* first = nullptr;
    std::size_t count = 0;
    std::size_t tail = 0;  // bytes after the last whole record (0 to 85)
};
// Inline: it is on every datagram's path, and a result returned through memory costs more than
// the division.
[[nodiscard]] inline WholeRecords SplitRecords(const unsigned char* bytes,
                                               std::size_t length) noexcept {
    return {bytes, length / kRecordSize, length % kRecordSize};
}

// A datagram judged by the convention above: `skip` is None when it is taken, and then `records`
// are its whole captured records (at least one) and `cut` says why some bytes were left
// (Truncated by the snap length, Trailing bytes after the last whole record) or is None.
struct TakenDatagram {
    Skip skip = Skip::None;
    Skip cut = Skip::None;
    WholeRecords records;
};
// `ports`: the destination ports named by the user, none for the length rule.
[[nodiscard]] LMWIRE_CAPTURE_API TakenDatagram
TakeDatagram(const Datagram& datagram, const std::vector<std::uint16_t>& ports) noexcept;

// What a reader of a packet capture says at the end: the datagrams taken, and by reason those
// left and those decoded only in part, in the words every front end prints.
struct LMWIRE_CAPTURE_API DatagramTally {
    using Counts = std::array<std::uint64_t, static_cast<std::size_t>(Skip::Count)>;
    std::uint64_t taken = 0;
    Counts skipped{};
    Counts inPart{};

    // Counts a datagram judged by TakeDatagram; true when it is taken.
    bool Add(const TakenDatagram& datagram) noexcept;
    // "2 datagrams decoded, 4 packets skipped: 2 length not a positive multiple of 86, 2 format
    // code without a row; 1 decoded in part: 1 truncated by the snap length"; empty when nothing
    // was skipped or cut.
    [[nodiscard]] std::string Summary() const;
};

}  // namespace Lumera::capture
