// The checked fromPacket of an account contract: the offset must lie in the buffer and the whole
// flat form after it (both texts with their zero bytes); every refusal leaves the record and the
// offset exactly as they were.

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using Bytes = std::vector<unsigned char>;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::ThrowsMessage;

Bytes FlatForm(CLMWireAccountContract& contract) {
    Bytes bytes(static_cast<std::size_t>(contract.GetSize()));
    long offset = 0;
    contract.toPacket(offset, bytes.data());
    return bytes;
}

// A known account contract whose flat form is compared before and after each refusal.
CLMWireAccountContract Known() {
    CLMWireAccountContract contract(11, 2, 3, 2030, static_cast<enumPriceFormatCode>(14), "SYM",
                                    "Contract");
    contract.setPosition(-4);
    return contract;
}

// `lead` bytes, then the flat form of another contract (symbol "ESZ6", name "E-mini"), then
// `tail` bytes.
Bytes Buffer(std::size_t lead, std::size_t tail = 0) {
    WireAccountContract raw;
    testing::FillRaw(raw, 77, OLESTR("E-mini"));
    testing::StoreText(raw.contract.symbol, OLESTR("ESZ6"));
    CLMWireAccountContract source(&raw);
    Bytes bytes(lead, 0xEE);
    const Bytes form = FlatForm(source);
    bytes.insert(bytes.end(), form.begin(), form.end());
    bytes.insert(bytes.end(), tail, 0xDD);
    return bytes;
}

constexpr std::size_t kForm = 108 + 5 + 7;

void ExpectRefused(const Bytes& bytes, std::size_t given, long start, const std::string& what) {
    CLMWireAccountContract contract = Known();
    const Bytes before = FlatForm(contract);
    long offset = start;
    EXPECT_THAT(
        [&] { contract.fromPacket(offset, bytes.data(), given); },
        ThrowsMessage<std::length_error>(AllOf(HasSubstr("CLMWireAccountContract"), HasSubstr(what),
                                               HasSubstr(std::to_string(given)))));
    EXPECT_EQ(offset, start);
    EXPECT_EQ(FlatForm(contract), before);
    EXPECT_EQ(contract.getPosition(), -4);
}

TEST(CheckedFromPacket, TruncationsUnendedTextsOutsideOffsetsAndNullAreRefused) {
    const Bytes truncated = Buffer(3);
    ASSERT_EQ(truncated.size(), 3 + kForm);
    // Short of the two fixed blocks, they and at least the first text's zero byte are needed;
    // inside the texts the end is not in sight: at least one more byte is needed.
    for (std::size_t given = 3; given < truncated.size(); ++given) {
        SCOPED_TRACE(given);
        ExpectRefused(
            truncated, given, 3,
            "needs at least " + std::to_string(std::max(given + 1, std::size_t{112})) + " bytes");
    }
    // Texts without their zero byte.
    Bytes unended = Buffer(0);
    unended.back() = 'x';  // the name runs to the end
    ExpectRefused(unended, unended.size(), 0, "at least " + std::to_string(unended.size() + 1));
    std::fill(unended.begin() + 108, unended.end(), 'y');  // no zero byte after the blocks
    ExpectRefused(unended, unended.size(), 0, "at least");
    // Offsets outside the buffer; at the very end the offset is inside but no byte of the form is.
    const Bytes padded = Buffer(0, 4);
    for (long start : {-1L, -1000L, static_cast<long>(padded.size()) + 1}) {
        ExpectRefused(padded, padded.size(), start, "offset " + std::to_string(start));
    }
    ExpectRefused(padded, padded.size(), static_cast<long>(padded.size()),
                  "needs at least " + std::to_string(padded.size() + 109));
    CLMWireAccountContract contract = Known();
    long offset = 0;
    EXPECT_THROW(contract.fromPacket(offset, nullptr, kForm), std::invalid_argument);
    EXPECT_THROW(contract.fromPacket(offset, nullptr, 0), std::length_error);
}

}  // namespace
}  // namespace Lumera
