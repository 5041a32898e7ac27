#include "wire_types/price/PriceFormat.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>

namespace Lumera {
namespace {

TEST(PriceFormatTest, BlankRowIsNeutral) {
    const PriceFormat blank;
    EXPECT_EQ(blank.formatCode, 0);
    EXPECT_EQ(blank.primaryFraction, 1);
    EXPECT_EQ(blank.secondaryFraction, 1);
    EXPECT_EQ(blank.divisor, 1);
    EXPECT_EQ(blank.primaryFractionMultiplier, 1.0);
    EXPECT_EQ(blank.specifics, 0);
    EXPECT_EQ(blank.lastDigitString, nullptr);
    EXPECT_EQ(blank.sprintfFormat, nullptr);
    EXPECT_EQ(blank.sscanfFormat, nullptr);
    EXPECT_EQ(blank.internalFormat, nullptr);
}

TEST(PriceFormatTest, ConstructorMapsParametersToFieldsDespiteTheirOrder) {
    const char* lastDigits = "0257";
    const char* display = "%d.%02d%c";
    const char* scan = "%3d%2d%1d";
    const char* internal = "%04d%02d%c";
    const PriceFormat row(PriceFormatCode(9), 32, 4, lastDigits, display, scan, 2.5, 1000, internal,
                          2);
    EXPECT_EQ(row.formatCode, 9);
    EXPECT_EQ(row.primaryFraction, 32);
    EXPECT_EQ(row.secondaryFraction, 4);
    EXPECT_EQ(row.lastDigitString, lastDigits);
    EXPECT_EQ(row.sprintfFormat, display);
    EXPECT_EQ(row.sscanfFormat, scan);
    EXPECT_EQ(row.primaryFractionMultiplier, 2.5);
    EXPECT_EQ(row.divisor, 1000);
    EXPECT_EQ(row.internalFormat, internal);
    EXPECT_EQ(row.specifics, 2);
}

TEST(PriceFormatTest, TableHoldsSixtyTwoDistinctCodesInOrder) {
    std::set<int> codes;
    for (std::size_t i = 0; i < kPriceFormatCount; ++i) {
        const PriceFormat& row = kPriceFormatTable[i];
        EXPECT_EQ(row.formatCode, static_cast<int>(i + 1));
        codes.insert(row.formatCode);
        EXPECT_GE(row.primaryFraction, 1);
        EXPECT_GE(row.secondaryFraction, 1);
        EXPECT_NE(row.sprintfFormat, nullptr);
        EXPECT_NE(row.sscanfFormat, nullptr);
        EXPECT_NE(row.internalFormat, nullptr);
    }
    EXPECT_EQ(codes.size(), 62u);
    EXPECT_EQ(*codes.begin(), 1);
    EXPECT_EQ(*codes.rbegin(), 62);
}

// Rows that differ from their neighbours, checked field by field.
TEST(PriceFormatTest, IrregularRowsHoldTheirOwnValues) {
    const PriceFormat& code62 = kPriceFormatTable[61];
    EXPECT_EQ(code62.primaryFraction, 100000);
    EXPECT_STREQ(code62.sprintfFormat, "%d.%06d");
    EXPECT_EQ(code62.divisor, 1000000);

    const PriceFormat& code41 = kPriceFormatTable[40];
    EXPECT_EQ(code41.secondaryFraction, 4);
    EXPECT_STREQ(code41.lastDigitString, "05");

    const PriceFormat& code58 = kPriceFormatTable[57];
    EXPECT_EQ(code58.secondaryFraction, 5);
    EXPECT_STREQ(code58.lastDigitString, "05");
    EXPECT_STREQ(code58.sprintfFormat, "%d.%03d");

    const PriceFormat& code11 = kPriceFormatTable[10];
    EXPECT_STREQ(code11.internalFormat, "%07d%02d");
    EXPECT_EQ(code11.primaryFractionMultiplier, 5.0);

    const PriceFormat& code21 = kPriceFormatTable[20];
    EXPECT_EQ(code21.primaryFractionMultiplier, 10.0);
    EXPECT_EQ(code21.primaryFraction, 1);

    const PriceFormat& code51 = kPriceFormatTable[50];
    EXPECT_EQ(code51.primaryFraction, 80);
    EXPECT_EQ(code51.primaryFractionMultiplier, 125.0);

    EXPECT_EQ(kPriceFormatTable[30].specifics, 2);
    EXPECT_STREQ(kPriceFormatTable[1].lastDigitString, "0246");
    EXPECT_STREQ(kPriceFormatTable[17].sprintfFormat, "%4d.%02d");
    EXPECT_STREQ(kPriceFormatTable[19].sprintfFormat, "%4d.%c");
    EXPECT_STREQ(kPriceFormatTable[29].sprintfFormat, "%4d.%c");
    EXPECT_STREQ(kPriceFormatTable[16].sprintfFormat, "%d");
}

TEST(PriceFormatTest, OnlyCode31PrintsNegativesByAbsoluteValue) {
    for (const PriceFormat& row : kPriceFormatTable) {
        EXPECT_EQ(row.specifics == 2, row.formatCode == 31) << "code " << row.formatCode;
    }
}

}  // namespace
}  // namespace Lumera
