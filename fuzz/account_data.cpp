// The account data packet through its checked decoder and its FromBytes factory. The oracle is the
// wire form, read here byte by byte: account (i32 at 0), entry count N (i32 at 4), then N entries
// of kind (i32) and value (little-endian double), 12 bytes each. A null buffer, a negative count or
// a buffer that cannot hold the N entries must be refused and leave the packet as it was; an
// accepted packet adds the entries to those it held, the value met first winning for each kind,
// takes the account received, encodes in ascending order of kind, and decodes from that encoding
// into the same entries.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>

#include "FuzzCheck.h"
#include "wire_types/packets/WireAccountDataPacket.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Attempt;
using lmwire_fuzz::Bytes;
using lmwire_fuzz::F64At;
using lmwire_fuzz::I32At;
using lmwire_fuzz::Outcome;
using lmwire_fuzz::SameBits;

using Entries = std::map<std::int32_t, double>;

Bytes Encoded(const WireAccountDataPacket& packet) {
    return lmwire_fuzz::Take(packet.Encode(),
                             8 + 12 * static_cast<std::size_t>(packet.NumEntries()));
}

// The packet encodes as `account` and exactly `entries`, and its getters read them back.
void CheckHolds(const WireAccountDataPacket& packet, std::int32_t account, const Entries& entries) {
    FUZZ_CHECK(packet.NumEntries() == static_cast<int>(entries.size()));
    FUZZ_CHECK(packet.GetAccount() == account);
    const auto listed = packet.GetEntries();
    FUZZ_CHECK(listed.size() == entries.size());
    auto next = listed.begin();
    const Bytes encoded = Encoded(packet);
    FUZZ_CHECK(I32At(encoded.data()) == account);
    FUZZ_CHECK(I32At(encoded.data() + 4) == static_cast<std::int32_t>(entries.size()));
    std::size_t at = 8;
    for (const auto& [kind, value] : entries) {
        FUZZ_CHECK(I32At(encoded.data() + at) == kind);
        FUZZ_CHECK(SameBits(F64At(encoded.data() + at + 4), value));
        const auto typed = static_cast<enumAccountDataTypes>(kind);
        FUZZ_CHECK(SameBits(packet.GetAccountInfo(typed), value));
        const std::optional<double> found = packet.FindAccountInfo(typed);
        FUZZ_CHECK(found.has_value() && SameBits(*found, value));
        FUZZ_CHECK(next != listed.end() && next->first == typed && SameBits(next->second, value));
        ++next;
        at += 12;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // A packet that already holds entries (one of them a kind the input may repeat): a refusal
    // must leave it exactly so, an acceptance must keep its values over the input's.
    const auto heldKind = static_cast<std::int32_t>(size % 5) - 7;
    const Entries heldEntries{{heldKind, 1.5}, {2, -0.0}};
    WireAccountDataPacket held(99);
    for (const auto& [kind, value] : heldEntries) {
        held.AddInfo(static_cast<enumAccountDataTypes>(kind), value);
    }
    CheckHolds(held, 99, heldEntries);

    const auto decode = [&held](const unsigned char* bytes, std::size_t n) {
        held.Decode(bytes, n);
    };
    lmwire_fuzz::CheckNullBuffer(decode, size);
    CheckHolds(held, 99, heldEntries);
    lmwire_fuzz::CheckNullBuffer(decode, 0);
    CheckHolds(held, 99, heldEntries);

    const std::int64_t count = size >= 8 ? I32At(data + 4) : -1;
    const bool fits =
        size >= 8 && count >= 0 && static_cast<std::uint64_t>(count) <= (size - 8) / 12;
    const Outcome outcome = Attempt([&] { decode(data, size); });
    if (!fits) {
        FUZZ_CHECK(outcome == Outcome::kTooShort);
        CheckHolds(held, 99, heldEntries);
        WireAccountDataPacket empty;
        FUZZ_CHECK(Attempt([&] { empty.Decode(data, size); }) == Outcome::kTooShort);
        CheckHolds(empty, 0, {});
        FUZZ_CHECK(Attempt([&] { (void)WireAccountDataPacket::FromBytes(data, size); }) ==
                   Outcome::kTooShort);
        return 0;
    }
    FUZZ_CHECK(outcome == Outcome::kAccepted);

    // First occurrence wins; what the held packet had counts as met before the input.
    const std::int32_t account = I32At(data);
    Entries received;
    for (std::int64_t i = 0; i < count; ++i) {
        const unsigned char* entry = data + 8 + 12 * i;
        received.try_emplace(I32At(entry), F64At(entry + 4));
    }
    Entries merged = heldEntries;
    merged.insert(received.begin(), received.end());
    CheckHolds(held, account, merged);

    WireAccountDataPacket fresh;
    fresh.Decode(data, size);
    CheckHolds(fresh, account, received);
    CheckHolds(WireAccountDataPacket::FromBytes(data, size), account, received);
    // A kind the packet does not hold is found absent, not as 0.0.
    for (std::int32_t probe : {std::int32_t{0}, I32At(data), I32At(data + 4)}) {
        if (received.count(probe) == 0) {
            FUZZ_CHECK(!fresh.FindAccountInfo(static_cast<enumAccountDataTypes>(probe)));
        }
    }

    const Bytes encoded = Encoded(fresh);
    WireAccountDataPacket again;
    again.Decode(encoded.data(), encoded.size());
    CheckHolds(again, account, received);
    // The trusting decoder reads the same bytes the same way.
    WireAccountDataPacket trusted(const_cast<unsigned char*>(data));
    CheckHolds(trusted, account, received);
    // One byte short of the encoding is refused.
    WireAccountDataPacket shorter(5);
    FUZZ_CHECK(Attempt([&] { shorter.Decode(encoded.data(), encoded.size() - 1); }) ==
               Outcome::kTooShort);
    CheckHolds(shorter, 5, {});
    return 0;
}
