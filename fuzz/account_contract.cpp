// The flat form of an account contract through the checked fromPacket, read as a chain: each
// form is read from the offset the previous one returned. The input is a byte choosing how the
// first offset is made, eight bytes for it, then the buffer; offsets range over all of `long`
// (negative, just before and after the buffer's end, near LONG_MAX and LONG_MIN), and two
// offsets from a fixed hostile set are tried as well.
//
// The oracle is the flat form's layout, spelled here: a 48-byte block (i32 max lot size at 0,
// position limit 4, position 8, double pnl 16, pnl in ticks 24, overnight position 28, previous
// close 32, previous settle 36, open price 40), the contract's 60-byte block (i16 month 48, year
// 50, i16 exchange 60, contract type 64, price format code 68, contract id 88, double tick value
// 96, currency 104), then symbol and name, each up to and with its zero byte. A null buffer, an
// offset outside the buffer or a form that does not fit must be refused and leave record and
// offset as they were; an accepted form must move the offset by GetSize(), read every field from
// its place and write back as the very bytes it read.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "FuzzCheck.h"
#include "wire_types/accounts/CLMWireAccountContract.h"

namespace {

using namespace Lumera;
using lmwire_fuzz::Attempt;
using lmwire_fuzz::Bytes;
using lmwire_fuzz::F64At;
using lmwire_fuzz::I16At;
using lmwire_fuzz::I32At;
using lmwire_fuzz::Outcome;
using lmwire_fuzz::SameBits;

constexpr std::size_t kFixed = 108;  // both blocks, before the texts

Bytes FlatForm(CLMWireAccountContract& contract) {
    Bytes bytes(static_cast<std::size_t>(contract.GetSize()));
    long offset = 0;
    contract.toPacket(offset, bytes.data());
    FUZZ_CHECK(offset == static_cast<long>(bytes.size()));
    return bytes;
}

// Where a well-formed flat form starting at `offset` ends, or 0 when it does not fit.
std::size_t ExpectedEnd(const unsigned char* buffer, std::size_t size, long offset) {
    if (offset < 0 || static_cast<unsigned long>(offset) > size) {
        return 0;
    }
    std::size_t at = static_cast<std::size_t>(offset) + kFixed;
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

// A text byte read through the code page: Windows-1252 maps a byte to the same unit except in
// 0x80..0x9F, where the defined characters lie above 0xFF and the five undefined bytes keep
// their value.
bool SameCharacter(unsigned char byte, char16_t unit) {
    const bool kept = byte < 0x80 || byte >= 0xA0 || byte == 0x81 || byte == 0x8D || byte == 0x8F ||
                      byte == 0x90 || byte == 0x9D;
    return kept ? unit == byte : unit > 0xFF;
}

void CheckText(BSTR text, const unsigned char* bytes) {
    const std::size_t length = std::strlen(reinterpret_cast<const char*>(bytes));
    FUZZ_CHECK(text != nullptr && SysStringLen(text) == length);
    for (std::size_t i = 0; i < length; ++i) {
        FUZZ_CHECK(SameCharacter(bytes[i], text[i]));
    }
}

// The record read from the form at `form`, field by field.
void CheckLayout(CLMWireAccountContract& contract, const unsigned char* form) {
    FUZZ_CHECK(contract.getMaxLotSize() == I32At(form));
    FUZZ_CHECK(contract.getPositionLimit() == I32At(form + 4));
    FUZZ_CHECK(contract.getPosition() == I32At(form + 8));
    FUZZ_CHECK(SameBits(contract.getPnl(), F64At(form + 16)));
    FUZZ_CHECK(contract.getPnlInTicks() == I32At(form + 24));
    FUZZ_CHECK(contract.getOvernightPosition() == I32At(form + 28));
    FUZZ_CHECK(contract.getPreviousClose() == I32At(form + 32));
    FUZZ_CHECK(contract.getPreviousSettle() == I32At(form + 36));
    FUZZ_CHECK(contract.getOpenPrice() == I32At(form + 40));
    const WireContract& wire = contract.getRawWireContract()->contract;
    FUZZ_CHECK(wire.month == I16At(form + 48));
    FUZZ_CHECK(wire.year == I16At(form + 50));
    FUZZ_CHECK(wire.exchangeID == I16At(form + 60));
    FUZZ_CHECK(wire.contractType == I32At(form + 64));
    FUZZ_CHECK(wire.priceFormatCode == I32At(form + 68));
    FUZZ_CHECK(wire.contractID == I32At(form + 88));
    FUZZ_CHECK(SameBits(wire.tickValue, F64At(form + 96)));
    FUZZ_CHECK(wire.currency == I32At(form + 104));
    CheckText(wire.symbol, form + kFixed);
    CheckText(wire.name, form + kFixed + SysStringLen(wire.symbol) + 1);
}

// One checked read at `offset`; true, with the offset moved, when a form was read.
bool ReadOne(CLMWireAccountContract& contract, long& offset, const unsigned char* buffer,
             std::size_t size) {
    const long start = offset;
    const Bytes before = FlatForm(contract);
    const auto read = [&contract, &offset](const unsigned char* bytes, std::size_t n) {
        contract.fromPacket(offset, bytes, n);
    };
    lmwire_fuzz::CheckNullBuffer(read, size);
    FUZZ_CHECK(offset == start && FlatForm(contract) == before);
    lmwire_fuzz::CheckNullBuffer(read, 0);
    FUZZ_CHECK(offset == start && FlatForm(contract) == before);

    const std::size_t end = ExpectedEnd(buffer, size, start);
    const Outcome outcome = Attempt([&] { read(buffer, size); });
    if (end == 0) {
        FUZZ_CHECK(outcome == Outcome::kTooShort);
        FUZZ_CHECK(offset == start && FlatForm(contract) == before);
        return false;
    }
    FUZZ_CHECK(outcome == Outcome::kAccepted);
    FUZZ_CHECK(offset == static_cast<long>(end));
    FUZZ_CHECK(offset - start == contract.GetSize());
    const unsigned char* form = buffer + start;
    CheckLayout(contract, form);
    const Bytes flat = FlatForm(contract);
    FUZZ_CHECK(flat.size() == end - static_cast<std::size_t>(start));
    FUZZ_CHECK(std::memcmp(flat.data(), form, flat.size()) == 0);
    // The contract object keeps what it was built with.
    FUZZ_CHECK(contract.getWireContract()->getContractID() == 11);
    return true;
}

// The first offset, from a mode byte and eight bytes of bits.
long FirstOffset(unsigned char mode, std::uint64_t bits, std::size_t size) {
    const auto length = static_cast<long>(size);
    const auto near = static_cast<long>(bits % 256);
    switch (mode % 6) {
        case 0:
            return static_cast<std::int16_t>(bits);
        case 1:
            return static_cast<long>(bits);
        case 2:
            return length - near;
        case 3:
            return length + near;
        case 4:
            return LONG_MAX - near;
        default:
            return LONG_MIN + near;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Missing header bytes count as zero.
    unsigned char header[9] = {};
    std::memcpy(header, data, size < sizeof header ? size : sizeof header);
    std::uint64_t bits = 0;
    for (int i = 8; i >= 1; --i) {
        bits = bits << 8 | header[i];
    }
    const unsigned char* buffer = size > sizeof header ? data + sizeof header : data + size;
    const std::size_t length = size > sizeof header ? size - sizeof header : 0;

    CLMWireAccountContract contract(11, 2, 3, 2030, static_cast<enumPriceFormatCode>(14), "SYM",
                                    "Contract");
    long offset = FirstOffset(header[0], bits, length);
    for (int form = 0; form < 16 && ReadOne(contract, offset, buffer, length); ++form) {
        // The record read last, into a contract that held other values, reads the same.
        const Bytes flat = FlatForm(contract);
        CLMWireAccountContract again(1, 1, 1, 1, static_cast<enumPriceFormatCode>(0), "", "");
        long againOffset = 0;
        again.fromPacket(againOffset, flat.data(), flat.size());
        FUZZ_CHECK(againOffset == static_cast<long>(flat.size()));
        CheckLayout(again, flat.data());
        // A deep copy built from the raw record has the same flat form.
        CLMWireAccountContract copy(contract.getRawWireContract());
        FUZZ_CHECK(FlatForm(copy) == flat);
    }

    // Offsets across the whole range and around both ends of the buffer, each checked alike.
    // Two per input, chosen by the mode byte: every refusal throws, and throwing is what costs.
    const auto end = static_cast<long>(length);
    const long hostile[] = {LONG_MIN,       LONG_MIN + 1, -end - 1, -1L,        0L,
                            end - 1,        end,          end + 1,  (1L << 32), (1L << 32) + 1,
                            LONG_MAX - end, LONG_MAX - 1, LONG_MAX};
    constexpr std::size_t kHostile = sizeof hostile / sizeof hostile[0];
    for (std::size_t pick : {header[0] % kHostile, (header[0] / kHostile + 5) % kHostile}) {
        long at = hostile[pick];
        ReadOne(contract, at, buffer, length);
    }
    return 0;
}
