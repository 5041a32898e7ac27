#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <tuple>
#include <vector>

#include "OleText.h"
#include "accounts/AccountsTestSupport.h"
#include "wire_types/accounts/CLMWireAccountContractCollection.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {
namespace {

using Bytes = std::vector<unsigned char>;
using ::testing::AllOf;
using testing::FillPattern;
using testing::FillRaw;
using ::testing::HasSubstr;
using testing::SameRecordOwnStrings;
using testing::StoreText;
using ::testing::ThrowsMessage;
using testing::Units;

const auto kCode6 = static_cast<enumPriceFormatCode>(6);
const auto kCode14 = static_cast<enumPriceFormatCode>(14);

// The whole fixed block travels, padding included; the text becomes a string of its own.
TEST(CLMWireContract, CopiesTheRecordAndItsTextsThroughTheCodePage) {
    const std::tuple<OleString, std::string, OleString> cases[] = {
        {OLESTR("<null>"), "", OLESTR("")},  // "<null>": a null field, as a default contract holds
        {OleString(OLESTR("AB\0CD"), 5), "AB", OLESTR("AB")},
        {OLESTR("\u20AC\u00E9"), "\x80\xE9", OLESTR("\u20AC\u00E9")},
        {OLESTR("A\u03A9B"), "A?B", OLESTR("A?B")},
        {OLESTR("\U0001F600"), "??", OLESTR("??")}};
    for (const auto& [text, narrow, stored] : cases) {
        WireContract source;
        FillPattern(&source, WireContract::kFixedSize, 40);
        StoreText(source.symbol, text);
        if (text == OLESTR("<null>")) {
            detail::FreeWireText(source.symbol);
        }
        CLMWireContract contract(&source);
        EXPECT_EQ(std::memcmp(contract.getWireContract(), &source, WireContract::kFixedSize), 0);
        EXPECT_EQ(contract.getSymbol(), narrow);
        EXPECT_EQ(Units(contract.getWireContract()->symbol), stored);
        EXPECT_NE(contract.getWireContract()->symbol, source.symbol);
    }
}

TEST(CLMWireContract, PriceMembersAndTheLagOfParsing) {
    WireContract raw;
    raw.priceFormatCode = kCode6;
    CLMWireContract contract(&raw);
    EXPECT_EQ(contract.DecimalToTicks(38.5625), 1234);
    EXPECT_EQ(contract.DisplayToTicks("38.18"), 1221);

    // Parsing lags a change of code until a member that formats refreshes the converter; copies
    // keep the lag.
    CLMWireContract lagging(&raw);
    lagging.setpriceFormatCode(kCode14);
    CLMWireContract copy(lagging);
    CLMWireContract assigned;
    assigned = lagging;
    for (CLMWireContract* c : {&lagging, &copy, &assigned}) {
        EXPECT_EQ(c->DisplayToTicks("12.34"), 394);
        EXPECT_EQ(c->PriceFromTicks(1234), "12.34");
        EXPECT_EQ(c->DecimalToTicks(12.34), 1234);
    }
}

// The flat form read back (the checked reader given exactly its bytes) goes into the record only;
// RefreshWireContract rebuilds the contract object callers hold; the collection's entry stays.
TEST(CLMWireAccountContract, FlatFormReadsBackIntoTheRecordAndRefreshRebuildsTheContract) {
    WireAccountContract raw;
    FillRaw(raw, 42, OLESTR("S&P\u03A9"));
    raw.contract.priceFormatCode = kCode14;
    CLMWireAccountContract writer(&raw);
    ASSERT_EQ(writer.GetSize(), 108 + 6 + 5);
    std::vector<unsigned char> buffer(10 + 119 + 4, 0xCC);
    long offset = 10;
    writer.toPacket(offset, buffer.data());
    EXPECT_EQ(offset, 129);
    EXPECT_EQ(buffer[9], 0xCC);
    EXPECT_EQ(buffer[129], 0xCC);

    for (const bool checked : {false, true}) {
        CLMWireAccountContractCollection collection;
        auto* reader = new CLMWireAccountContract(7, 1, 6, 2013, kCode6, "OLD", "OLD");
        collection.AddAccountContract(reader);
        CLMWireContract* held = reader->getWireContract();
        ASSERT_EQ(held->DecimalToTicks(12.34), 394);
        offset = 10;
        checked ? reader->fromPacket(offset, buffer.data(), 129)
                : reader->fromPacket(offset, buffer.data());
        EXPECT_EQ(offset, 129);
        EXPECT_TRUE(SameRecordOwnStrings(reader->GetRecord(), writer.GetRecord()));
        EXPECT_EQ(&reader->GetRecord(), reader->getRawWireContract());
        EXPECT_EQ(held->getName(), "OLD");

        reader->RefreshWireContract();
        EXPECT_EQ(reader->getWireContract(), held);
        EXPECT_EQ(std::memcmp(held->getWireContract(), &raw.contract, WireContract::kFixedSize), 0);
        EXPECT_EQ(held->getName(), "S&P?");
        EXPECT_EQ(held->DecimalToTicks(12.34), 1234);
        EXPECT_NE(held->getWireContract()->name, reader->getRawWireContract()->contract.name);
        EXPECT_EQ(collection.GetWireAccountContract(7L), reader);
        EXPECT_EQ(collection.GetWireAccountContract(42L), nullptr);
        EXPECT_EQ(collection.GetWireAccountContract(std::string("S&P?")), reader);
    }
}

Bytes FlatForm(CLMWireAccountContract& contract) {
    Bytes bytes(static_cast<std::size_t>(contract.GetSize()));
    long offset = 0;
    contract.toPacket(offset, bytes.data());
    return bytes;
}

// `lead` bytes, the flat form of another contract, `tail` bytes.
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

// Refused, the record and the offset left as they were.
void ExpectRefused(const Bytes& bytes, std::size_t given, long start, const std::string& what) {
    CLMWireAccountContract contract(11, 2, 3, 2030, kCode14, "SYM", "Contract");
    contract.setPosition(-4);
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
    // Short of the fixed blocks, they and the first text's zero byte are needed; then one more.
    for (std::size_t given = 3; given < truncated.size(); ++given) {
        SCOPED_TRACE(given);
        ExpectRefused(
            truncated, given, 3,
            "needs at least " + std::to_string(std::max(given + 1, std::size_t{112})) + " bytes");
    }
    Bytes unended = Buffer(0);
    unended.back() = 'x';  // the name runs to the end
    ExpectRefused(unended, unended.size(), 0, "at least " + std::to_string(unended.size() + 1));
    std::fill(unended.begin() + 108, unended.end(), 'y');  // no zero byte after the blocks
    ExpectRefused(unended, unended.size(), 0, "at least");
    // Offsets outside the buffer; at its very end no byte of the form is in it.
    const Bytes padded = Buffer(0, 4);
    for (long start : {-1L, -1000L, static_cast<long>(padded.size()) + 1}) {
        ExpectRefused(padded, padded.size(), start, "offset " + std::to_string(start));
    }
    ExpectRefused(padded, padded.size(), static_cast<long>(padded.size()),
                  "needs at least " + std::to_string(padded.size() + 109));
    CLMWireAccountContract contract(11, 2, 3, 2030, kCode14, "SYM", "Contract");
    long offset = 0;
    EXPECT_THROW(contract.fromPacket(offset, nullptr, kForm), std::invalid_argument);
    EXPECT_THROW(contract.fromPacket(offset, nullptr, 0), std::length_error);
}

}  // namespace
}  // namespace Lumera
