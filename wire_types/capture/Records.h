#pragma once

// Whole 86-byte price records in a datagram or a raw stream. A record cut short (by the snap
// length, by the end of a datagram or of a file) is reported, never decoded: that rule is
// written here once for the tool, the Python package and the live commands.
//
// Which datagrams carry records is a convention, since no record carries a tag or a length:
// when the user names ports, every datagram to them is taken whatever its length; otherwise only
// one whose length on the wire is a positive multiple of 86 and whose captured records all have
// a price format code with a row (1 to 62), so that other traffic of that length is left alone.

#include <algorithm>
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
namespace detail {
// Where the rule is the length alone, every captured record must name a price format: other
// traffic whose length happens to be a multiple of 86 (zero padding, DNS) is left alone. The
// price formats have a row for every code from 1 to 62 and none other; the range is tested here
// directly because a look-up per record is a fifth of a datagram's time.
[[nodiscard]] inline bool KnownCodes(const unsigned char* payload, std::size_t captured) noexcept {
    constexpr unsigned kLastCode = 62;
    for (std::size_t at = 1; at < captured; at += kRecordSize) {
        if (payload[at] - 1u >= kLastCode) {
            return false;
        }
    }
    return true;
}

[[nodiscard]] inline TakenDatagram Left(Skip skip) noexcept {
    TakenDatagram taken;
    taken.skip = skip;
    return taken;
}
}  // namespace detail

// `ports`: the destination ports named by the user, none for the length rule. Inline, as it is
// on every datagram's path: its result then stays in registers. The library exports it as well.
[[nodiscard]] LMWIRE_CAPTURE_API inline TakenDatagram TakeDatagram(
    const Datagram& datagram, const std::vector<std::uint16_t>& ports) noexcept {
    if (datagram.skip != Skip::None) {
        return detail::Left(datagram.skip);
    }
    const std::size_t captured = std::min(datagram.captured, datagram.length);
    TakenDatagram taken;
    taken.records = SplitRecords(datagram.payload, captured);
    // The length's remainder is the captured bytes' unless the snap length cut some.
    const std::size_t lengthTail =
        captured == datagram.length ? taken.records.tail : datagram.length % kRecordSize;
    if (ports.empty()) {
        if (datagram.length == 0 || lengthTail != 0) {
            return detail::Left(Skip::Length);
        }
        if (!detail::KnownCodes(datagram.payload, captured)) {
            return detail::Left(Skip::FormatCode);
        }
    } else if (std::find(ports.begin(), ports.end(), datagram.destination.port) == ports.end()) {
        return detail::Left(Skip::OtherPort);
    }
    if (taken.records.count == 0) {
        return detail::Left(captured < datagram.length ? Skip::Truncated : Skip::Length);
    }
    if (captured < datagram.length) {
        taken.cut = Skip::Truncated;
    } else if (lengthTail != 0) {
        taken.cut = Skip::Trailing;
    }
    return taken;
}

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
