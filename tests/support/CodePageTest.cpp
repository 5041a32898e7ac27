#include "wire_types/support/CodePage.h"

#include <gtest/gtest.h>

#include <string>

namespace {

namespace cp1252 = Lumera::cp1252;

// Bytes 0x80 to 0x9F as published, the five undefined as C1 controls; others are Latin-1.
constexpr char16_t kHigh16[] =
    u"\u20AC\u0081\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u008D\u017D"
    u"\u008F\u0090\u2018\u2019\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u009D"
    u"\u017E\u0178";

TEST(CodePage, EveryByteTravelsToUtf8AndUtf16AndBack) {
    std::string bytes;
    std::u16string utf16;
    for (unsigned b = 0; b < 256; ++b) {
        bytes += static_cast<char>(b);
        const char16_t unit = b >= 0x80 && b < 0xA0 ? kHigh16[b - 0x80] : char16_t(b);
        utf16 += unit;
        EXPECT_EQ(cp1252::Decode(static_cast<unsigned char>(b)), unit) << b;
        EXPECT_EQ(cp1252::Encode(unit), static_cast<unsigned char>(b)) << b;
    }
    EXPECT_EQ(cp1252::ToUtf16(bytes), utf16);
    EXPECT_EQ(cp1252::FromUtf16(utf16), bytes);
    const std::string utf8 = cp1252::ToUtf8(bytes);  // anchors of 1, 3 and 2 bytes; a round trip
    EXPECT_EQ(utf8.substr(0x7F, 4), "\x7F\xE2\x82\xAC");
    EXPECT_EQ(utf8.substr(utf8.size() - 4), "\xC3\xBE\xC3\xBF");
    EXPECT_EQ(cp1252::FromUtf8(utf8), bytes);
    EXPECT_FALSE(cp1252::FindRefused(utf8));
}

// The first character refused, in bytes of UTF-8 or units of UTF-16, and why.
TEST(CodePage, RefusalsSayWhereAndWhy) {
    using R = cp1252::Refusal;
    const struct {
        std::string utf8;
        std::u16string utf16;
        std::size_t offset;
        R reason;
    } cases[] = {
        {"ab\xC3", u"ab\xD83D", 2, R::Malformed},  // cut short
        {"\xC1\x81", u"\xDC00", 0, R::Malformed},  // overlong "A"; a lone low half
        {"a\xED\xA0\x80",
         u"a\xD800"
         u"b",
         1, R::Malformed},                                          // a surrogate
        {"x\xF4\x90\x80\x80?", u"x\xDBFF\xDBFF", 1, R::Malformed},  // beyond U+10FFFF
        {"ab\xC2\x80", u"ab\u0080", 2, R::Unmapped},                // U+0080: 0x80 is the euro
        {"?\xE4\xB8\xAD", u"?\u4E2D", 1, R::Unmapped},
        {"\xF0\x9F\x98\x80", u"\xD83D\xDE00", 0, R::Unmapped},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        const auto narrow = cp1252::FindRefused(c.utf8);
        const auto wide = cp1252::FindRefused(std::u16string_view(c.utf16));
        ASSERT_TRUE(narrow && wide);
        EXPECT_EQ(narrow->offset, c.offset);
        EXPECT_EQ(narrow->reason, c.reason);
        EXPECT_EQ(wide->offset, c.offset);
        EXPECT_EQ(wide->reason, c.reason);
        EXPECT_FALSE(cp1252::FromUtf8(c.utf8));
        EXPECT_FALSE(cp1252::FromUtf16(c.utf16));
    }
    // Never a look-alike, as Windows' best-fit tables would give (A, O, -, A, the micro sign, i).
    for (char32_t refused :
         {0xD800, 0xDE00, 0x110000, 0x100, 0x3A9, 0x2212, 0xFF21, 0x3BC, 0x131}) {
        EXPECT_FALSE(cp1252::Encode(refused)) << static_cast<long>(refused);
    }
}

}  // namespace
