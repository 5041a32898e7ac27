// The account data packet through its checked decoder. A refusal must come exactly when the
// count is negative or the buffer cannot hold its entries, and leave the packet as it was; an
// accepted packet must hold, for every kind received, the value met first, encode in ascending
// order of kind, and decode from that encoding into the same entries.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <stdexcept>

#include "FuzzCheck.h"
#include "wire_types/packets/WireAccountDataPacket.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Bytes;
using lmwire_fuzz::SameBits;

template <class T>
T Read(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

Bytes Encoded(const WireAccountDataPacket& packet) {
    return lmwire_fuzz::Take(packet.Encode(),
                             8 + 12 * static_cast<std::size_t>(packet.NumEntries()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A packet that already holds an entry: a refusal must leave it exactly so.
    WireAccountDataPacket held(99);
    held.AddInfo(static_cast<enumAccountDataTypes>(-7), 1.5);
    const Bytes before = Encoded(held);

    const std::int64_t count = size >= 8 ? Read<std::int32_t>(data + 4) : -1;
    const bool fits =
        size >= 8 && count >= 0 && static_cast<std::uint64_t>(count) <= (size - 8) / 12;
    WireAccountDataPacket received;
    try {
        held.Decode(data, size);
        received.Decode(data, size);
    } catch (const std::length_error&) {
        FUZZ_CHECK(!fits);
        FUZZ_CHECK(Encoded(held) == before);
        return 0;
    }
    FUZZ_CHECK(fits);

    // First occurrence wins, also over what the packet held before.
    std::map<std::int32_t, double> expected;
    for (std::int64_t i = 0; i < count; ++i) {
        const unsigned char* entry = data + 8 + 12 * i;
        expected.try_emplace(Read<std::int32_t>(entry), Read<double>(entry + 4));
    }
    FUZZ_CHECK(received.NumEntries() == static_cast<int>(expected.size()));
    for (const auto& [kind, value] : expected) {
        FUZZ_CHECK(
            SameBits(received.GetAccountInfo(static_cast<enumAccountDataTypes>(kind)), value));
    }
    FUZZ_CHECK(SameBits(held.GetAccountInfo(static_cast<enumAccountDataTypes>(-7)), 1.5));

    const Bytes encoded = Encoded(received);
    FUZZ_CHECK(std::memcmp(encoded.data(), data, 4) == 0);
    FUZZ_CHECK(Read<std::int32_t>(encoded.data() + 4) == received.NumEntries());
    std::size_t at = 8;
    for (const auto& [kind, value] : expected) {
        FUZZ_CHECK(Read<std::int32_t>(encoded.data() + at) == kind);
        FUZZ_CHECK(SameBits(Read<double>(encoded.data() + at + 4), value));
        at += 12;
    }

    WireAccountDataPacket again;
    again.Decode(encoded.data(), encoded.size());
    FUZZ_CHECK(Encoded(again) == encoded);
    // One byte short of the encoding is refused.
    WireAccountDataPacket shorter;
    bool refused = false;
    try {
        shorter.Decode(encoded.data(), encoded.size() - 1);
    } catch (const std::length_error&) {
        refused = true;
    }
    FUZZ_CHECK(refused && shorter.NumEntries() == 0);
    return 0;
}
