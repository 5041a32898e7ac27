// The flat form of an account contract through the checked fromPacket: the first two bytes give
// the offset (negative and beyond the end included), the rest is the buffer. A refusal must come
// exactly when the offset lies outside the buffer or the form does not fit in it (both texts
// with their zero bytes), and leave record and offset as they were; an accepted form must move
// the offset by GetSize(), write back as the very bytes it read (every byte is one character of
// the code page and back), and read from that into an equal account contract.

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <stdexcept>

#include "FuzzCheck.h"
#include "wire_types/accounts/CLMWireAccountContract.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Bytes;

Bytes FlatForm(CLMWireAccountContract& contract) {
    Bytes bytes(static_cast<std::size_t>(contract.GetSize()));
    long offset = 0;
    contract.toPacket(offset, bytes.data());
    FUZZ_CHECK(offset == static_cast<long>(bytes.size()));
    return bytes;
}

// Where a well-formed flat form starting at `offset` ends, or 0 when it does not fit.
std::size_t ExpectedEnd(const unsigned char* buffer, std::size_t size, long offset) {
    if (offset < 0 || static_cast<std::size_t>(offset) > size) {
        return 0;
    }
    std::size_t at = static_cast<std::size_t>(offset) + 108;
    for (int text = 0; text < 2; ++text) {
        if (at >= size) {
            return 0;
        }
        const void* zero = std::memchr(buffer + at, 0, size - at);
        if (zero == nullptr) {
            return 0;
        }
        at = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - buffer) + 1;
    }
    return at;
}

bool SameAccountFields(CLMWireAccountContract& a, CLMWireAccountContract& b) {
    return a.getMaxLotSize() == b.getMaxLotSize() && a.getPositionLimit() == b.getPositionLimit() &&
           a.getPosition() == b.getPosition() && lmwire_fuzz::SameBits(a.getPnl(), b.getPnl()) &&
           a.getPnlInTicks() == b.getPnlInTicks() &&
           a.getOvernightPosition() == b.getOvernightPosition() &&
           a.getPreviousClose() == b.getPreviousClose() &&
           a.getPreviousSettle() == b.getPreviousSettle() && a.getOpenPrice() == b.getOpenPrice();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    std::int16_t start = 0;
    std::memcpy(&start, data, sizeof start);
    const unsigned char* buffer = data + 2;
    const std::size_t length = size - 2;

    CLMWireAccountContract contract(11, 2, 3, 2030, static_cast<enumPriceFormatCode>(14), "SYM",
                                    "Contract");
    const Bytes before = FlatForm(contract);
    const std::size_t end = ExpectedEnd(buffer, length, start);
    long offset = start;
    try {
        contract.fromPacket(offset, buffer, length);
    } catch (const std::length_error&) {
        FUZZ_CHECK(end == 0);
        FUZZ_CHECK(offset == start);
        FUZZ_CHECK(FlatForm(contract) == before);
        return 0;
    }
    FUZZ_CHECK(end != 0);
    FUZZ_CHECK(offset == static_cast<long>(end));
    FUZZ_CHECK(offset - start == contract.GetSize());
    const Bytes read = FlatForm(contract);
    FUZZ_CHECK(read.size() == end - static_cast<std::size_t>(start));
    FUZZ_CHECK(std::memcmp(read.data(), buffer + start, read.size()) == 0);
    // The contract object keeps what it was built with.
    FUZZ_CHECK(contract.getWireContract()->getContractID() == 11);

    CLMWireAccountContract again(1, 1, 1, 1, static_cast<enumPriceFormatCode>(0), "", "");
    long againOffset = 0;
    again.fromPacket(againOffset, read.data(), read.size());
    FUZZ_CHECK(againOffset == static_cast<long>(read.size()));
    FUZZ_CHECK(SameAccountFields(contract, again));
    FUZZ_CHECK(FlatForm(again) == read);

    // A deep copy built from the raw record has the same flat form.
    CLMWireAccountContract copy(contract.getRawWireContract());
    FUZZ_CHECK(FlatForm(copy) == read);
    return 0;
}
