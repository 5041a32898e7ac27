#include "wire_types/capture/Records.h"

#include <algorithm>
#include <string>

namespace Lumera::capture {
// Programs built against an earlier release call TakeDatagram rather than inlining it: its
// symbol stays in the library.
[[gnu::used]] static TakenDatagram (*const kTakeDatagram)(
    const Datagram&, const std::vector<std::uint16_t>&) noexcept = &TakeDatagram;

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
