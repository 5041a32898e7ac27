// The checked decoder of the price record: short buffers are refused before the record or its
// converter change; 86 bytes or more decode as the trusting decoder does.

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <array>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "wire_types/price/CWirePrice.h"

namespace Lumera {
namespace {

using Bytes = std::vector<unsigned char>;

Bytes Encoded(CWirePrice& price) {
    const std::unique_ptr<unsigned char[]> bytes(price.Encode());
    return Bytes(bytes.get(), bytes.get() + CWirePrice::kRecordSize);
}

Bytes Record(unsigned char code, std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<unsigned char>(i * 5 + 3);
    }
    bytes[1] = code;
    return bytes;
}

TEST(CWirePriceCheckedDecode, EveryTruncationOrNullIsRefusedAndChangesNothing) {
    Bytes first = Record(14, CWirePrice::kRecordSize);
    CWirePrice price(first.data());
    const Bytes before = Encoded(price);
    const Bytes other = Record(6, CWirePrice::kRecordSize + 1);
    for (std::size_t given = 0; given < CWirePrice::kRecordSize; ++given) {
        SCOPED_TRACE(given);
        EXPECT_THAT([&] { price.Decode(other.data(), given); },
                    ::testing::ThrowsMessage<std::length_error>(::testing::AllOf(
                        ::testing::HasSubstr("CWirePrice"), ::testing::HasSubstr("needs 86 bytes"),
                        ::testing::HasSubstr("given " + std::to_string(given)))));
        EXPECT_EQ(Encoded(price), before);
    }
    EXPECT_THROW(price.Decode(nullptr, CWirePrice::kRecordSize), std::invalid_argument);
    EXPECT_THROW(price.Decode(nullptr, 0), std::length_error);
    EXPECT_EQ(Encoded(price), before);
    // The converter kept the code it was built with: code 14 shows hundredths.
    EXPECT_EQ(price.DisplayToTicks("12.34"), 1234);
}

TEST(CWirePriceCheckedDecode, FullRecordDecodesAsTheTrustingDecoder) {
    Bytes bytes = Record(9, CWirePrice::kRecordSize + 4);
    CWirePrice checked;
    checked.Decode(bytes.data(), bytes.size());
    CWirePrice trusted;
    trusted.Decode(bytes.data());
    EXPECT_EQ(Encoded(checked), Bytes(bytes.begin(), bytes.begin() + CWirePrice::kRecordSize));
    EXPECT_EQ(Encoded(checked), Encoded(trusted));
    EXPECT_EQ(checked.GetPriceFormatCode(), 9);
}

}  // namespace
}  // namespace Lumera
