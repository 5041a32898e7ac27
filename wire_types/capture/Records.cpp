#include "wire_types/capture/Records.h"

#include <algorithm>
#include <string>

namespace Lumera::capture {
namespace {

// Where the rule is the length alone, every captured record must name a price format: other
// traffic whose length happens to be a multiple of 86 (zero padding, DNS) is left alone.
// price::Find has a row for every code from 1 to 62 and none other; the range is tested here
// directly because a call per record is a fifth of a datagram's time.
bool KnownCodes(const unsigned char* payload, std::size_t captured) noexcept {
    constexpr unsigned kLastCode = 62;
    for (std::size_t at = 1; at < captured; at += kRecordSize) {
        if (payload[at] - 1u >= kLastCode) {
            return false;
        }
    }
    return true;
}

TakenDatagram Left(Skip skip) noexcept {
    TakenDatagram taken;
    taken.skip = skip;
    return taken;
}

}  // namespace

TakenDatagram TakeDatagram(const Datagram& datagram,
                           const std::vector<std::uint16_t>& ports) noexcept {
    if (datagram.skip != Skip::None) {
        return Left(datagram.skip);
    }
    const std::size_t captured = std::min(datagram.captured, datagram.length);
    if (ports.empty()) {
        if (datagram.length == 0 || datagram.length % kRecordSize != 0) {
            return Left(Skip::Length);
        }
        if (!KnownCodes(datagram.payload, captured)) {
            return Left(Skip::FormatCode);
        }
    } else if (std::find(ports.begin(), ports.end(), datagram.destination.port) == ports.end()) {
        return Left(Skip::OtherPort);
    }
    TakenDatagram taken;
    taken.records = SplitRecords(datagram.payload, captured);
    if (taken.records.count == 0) {
        return Left(captured < datagram.length ? Skip::Truncated : Skip::Length);
    }
    if (captured < datagram.length) {
        taken.cut = Skip::Truncated;
    } else if (datagram.length % kRecordSize != 0) {
        taken.cut = Skip::Trailing;
    }
    return taken;
}

bool DatagramTally::Add(const TakenDatagram& datagram) noexcept {
    if (datagram.skip != Skip::None) {
        ++skipped[static_cast<std::size_t>(datagram.skip)];
        return false;
    }
    ++taken;
    if (datagram.cut != Skip::None) {
        ++inPart[static_cast<std::size_t>(datagram.cut)];
    }
    return true;
}

namespace {

// "2 not UDP, 1 other port", and their sum.
std::string Counted(const DatagramTally::Counts& counts, std::uint64_t& total) {
    std::string text;
    total = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] != 0) {
            text += (text.empty() ? "" : ", ") + std::to_string(counts[i]) + " " +
                    SkipReason(static_cast<Skip>(i));
            total += counts[i];
        }
    }
    return text;
}

}  // namespace

std::string DatagramTally::Summary() const {
    std::uint64_t skippedTotal = 0;
    std::uint64_t inPartTotal = 0;
    const std::string skippedText = Counted(skipped, skippedTotal);
    const std::string inPartText = Counted(inPart, inPartTotal);
    if (skippedTotal == 0 && inPartTotal == 0) {
        return {};
    }
    std::string summary = std::to_string(taken) + " datagrams decoded";
    if (skippedTotal != 0) {
        summary += ", " + std::to_string(skippedTotal) + " packets skipped: " + skippedText;
    }
    if (inPartTotal != 0) {
        summary += "; " + std::to_string(inPartTotal) + " decoded in part: " + inPartText;
    }
    return summary;
}

}  // namespace Lumera::capture
