#include "wire_types/support/detail/WireStrings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <vector>

#include "OleText.h"

namespace {

using namespace Lumera;
using namespace Lumera::detail;

struct Bstr {
    BSTR value;
    explicit Bstr(const OLECHAR* text) : value(SysAllocString(text)) {}
    Bstr(const OLECHAR* text, unsigned int units) : value(SysAllocStringLen(text, units)) {}
    ~Bstr() { SysFreeString(value); }
};

TEST(WireStrings, NullFieldIsTheEmptyText) {
    BSTR null = nullptr;
    EXPECT_EQ(WireStringSize(&null), 1);
    EXPECT_EQ(GetWireText(null), "");

    unsigned char buffer[4] = {0xAA, 0xAA, 0xAA, 0xAA};
    long offset = 1;
    WriteWireString(null, offset, buffer);
    EXPECT_EQ(offset, 2);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_EQ(buffer[2], 0xAA);

    // Read back, the empty text becomes an empty string, never null.
    BSTR field = nullptr;
    offset = 1;
    ReadWireString(offset, &field, buffer);
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(SysStringLen(field), 0U);
    EXPECT_EQ(offset, 2);
    FreeWireText(field);
    EXPECT_EQ(field, nullptr);
}

TEST(WireStrings, TwoFieldsRoundTripAndAdvanceBySize) {
    Bstr first(OLESTR("ES\u00E9"));   // é is in the code page
    Bstr second(OLESTR("ZN\u20AC"));  // so is the euro sign, as byte 0x80
    std::vector<unsigned char> buffer(32, 0xEE);
    long offset = 5;
    WriteWireString(first.value, offset, buffer.data());
    WriteWireString(second.value, offset, buffer.data());
    EXPECT_EQ(offset, 5 + WireStringSize(&first.value) + WireStringSize(&second.value));
    const unsigned char expected[] = {'E', 'S', 0xE9, 0, 'Z', 'N', 0x80, 0};
    EXPECT_EQ(0, std::memcmp(buffer.data() + 5, expected, sizeof expected));

    BSTR a = nullptr;
    BSTR b = nullptr;
    long read = 5;
    ReadWireString(read, &a, buffer.data());
    ReadWireString(read, &b, buffer.data());
    EXPECT_EQ(read, offset);
    EXPECT_EQ(OleString(a), OLESTR("ES\u00E9"));
    EXPECT_EQ(OleString(b), OLESTR("ZN\u20AC"));
    FreeWireText(a);
    FreeWireText(b);
}

// The text ends at the first zero unit, and units outside the code page travel as question marks:
// the size, the text and the bytes written agree.
TEST(WireStrings, FieldsTravelUpToTheirFirstZeroUnitInTheCodePage) {
    const std::pair<OleString, std::string> cases[] = {{OleString(OLESTR("AB\0C"), 4), "AB"},
                                                       {OLESTR("a\u4E2Db\xD83D\xDE00"), "a?b??"}};
    for (const auto& [units, text] : cases) {
        SCOPED_TRACE(text);
        Bstr field(units.data(), static_cast<unsigned int>(units.size()));
        EXPECT_EQ(WireStringSize(&field.value), static_cast<long>(text.size() + 1));
        EXPECT_EQ(GetWireText(field.value), text);
        unsigned char buffer[8];
        std::memset(buffer, 0xAA, sizeof buffer);
        long offset = 0;
        WriteWireString(field.value, offset, buffer);
        EXPECT_EQ(offset, static_cast<long>(text.size() + 1));
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), text.size() + 2),
                  text + '\0' + '\xAA');
    }
}

TEST(WireStrings, SetterCutsAtNulAndReplacesTheString) {
    BSTR field = CopyWireText(nullptr);
    SetWireText(field, "ABC");
    EXPECT_EQ(GetWireText(field), "ABC");
    SetWireText(field, std::string("AB\0CD", 5));
    EXPECT_EQ(GetWireText(field), "AB");
    EXPECT_EQ(SysStringLen(field), 2U);
    SetWireText(field, "caf\xE9");
    EXPECT_EQ(OleString(field), OLESTR("caf\u00E9"));
    FreeWireText(field);
}

TEST(WireStrings, NarrowAndWideConversions) {
    EXPECT_EQ(NarrowToWide(nullptr), nullptr);
    EXPECT_EQ(WideToNarrow(nullptr), nullptr);
    BSTR wide = NarrowToWide("\x80\x81");
    EXPECT_EQ(OleString(wide), OLESTR("\u20AC\u0081"));
    const std::unique_ptr<char[]> narrow(WideToNarrow(wide));
    EXPECT_STREQ(narrow.get(), "\x80\x81");
    SysFreeString(wide);
}

// Every text setter allocates through this check; a length of 2^32 or more must not be cut to
// its low 32 bits (2^32 + 2 would become a string of 2 units for a copy of 2^32 + 2 bytes).
TEST(WireStrings, LengthsTheStringCannotHoldAreRefusedBeforeAllocating) {
    const auto refused = [](std::size_t units) {
        try {
            SysFreeString(AllocateWideUnits(units));
        } catch (const _com_error& e) {
            return e.Error() == E_OUTOFMEMORY;
        }
        return false;
    };
    EXPECT_TRUE(refused(std::numeric_limits<std::size_t>::max()));
    EXPECT_TRUE(refused(std::size_t{1} << (sizeof(std::size_t) * 8 - 1)));
    if (sizeof(std::size_t) > sizeof(std::uint32_t)) {
        const auto beyond32 = static_cast<std::size_t>(std::uint64_t{1} << 32);
        EXPECT_TRUE(refused(beyond32));
        EXPECT_TRUE(refused(beyond32 + 2));
    }
    BSTR small = AllocateWideUnits(3);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(SysStringLen(small), 3U);
    EXPECT_EQ(small[3], 0);
    SysFreeString(small);
}

TEST(OleDateToUnixTime, KnownDatesAndNow) {
    EXPECT_EQ(OleDateToUnixTime(25569.0), 0);
    EXPECT_EQ(OleDateToUnixTime(25569.5), 43200);
    EXPECT_EQ(OleDateToUnixTime(25570.0), 86400);
    EXPECT_EQ(OleDateToUnixTime(UnixTimeToOleDate(1234567890.4)), 1234567890);
    EXPECT_EQ(OleDateToUnixTime(UnixTimeToOleDate(2147483647.0)), 2147483647);
    const long before = static_cast<long>(std::time(nullptr));
    const long now = OleDateToUnixTime(CurrentOleDate());
    EXPECT_GE(now, before - 1);
    EXPECT_LE(now, before + 2);
}

}  // namespace
