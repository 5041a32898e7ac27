#include "wire_types/support/detail/WireStrings.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>

#include "OleText.h"

namespace {

using namespace Lumera;
using namespace Lumera::detail;

struct Bstr {
    BSTR value;
    Bstr(const OLECHAR* text, unsigned int units)
        : value(text == nullptr ? nullptr : SysAllocStringLen(text, units)) {}
    ~Bstr() { SysFreeString(value); }
};

// Up to the first zero unit, in the code page (others as '?'), a null field as the empty text.
TEST(WireStrings, FieldsTravelUpToTheirFirstZeroUnitInTheCodePage) {
    struct Case {
        OleString units;
        std::string bytes;
        OleString back;
    };
    const Case cases[] = {{OLESTR(""), "", OLESTR("")},  // the null field
                          {OLESTR("ES\u00E9"), "ES\xE9", OLESTR("ES\u00E9")},
                          {OLESTR("ZN\u20AC"), "ZN\x80", OLESTR("ZN\u20AC")},
                          {OleString(OLESTR("AB\0C"), 4), "AB", OLESTR("AB")},
                          {OLESTR("a\u4E2Db\xD83D\xDE00"), "a?b??", OLESTR("a?b??")}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bytes);
        Bstr field(c.units.empty() ? nullptr : c.units.data(),
                   static_cast<unsigned int>(c.units.size()));
        const auto size = static_cast<long>(c.bytes.size() + 1);
        EXPECT_EQ(WireStringSize(&field.value), size);
        EXPECT_EQ(GetWireText(field.value), c.bytes);
        unsigned char buffer[8];
        std::memset(buffer, 0xAA, sizeof buffer);
        long offset = 1;
        WriteWireString(field.value, offset, buffer);
        EXPECT_EQ(offset, 1 + size);
        EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 1, c.bytes.size() + 2),
                  c.bytes + '\0' + '\xAA');
        BSTR back = nullptr;
        long read = 1;
        ReadWireString(read, &back, buffer);
        EXPECT_EQ(read, offset);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(OleString(back), c.back);
        FreeWireText(back);
        EXPECT_EQ(back, nullptr);
    }
}

// The setter cuts at a NUL and reads the code page; the narrow and wide copies keep null.
TEST(WireStrings, SetterAndCopiesGoThroughTheCodePage) {
    BSTR field = CopyWireText(nullptr);
    SetWireText(field, std::string("AB\0CD", 5));
    EXPECT_EQ(SysStringLen(field), 2U);
    SetWireText(field, "caf\xE9");
    EXPECT_EQ(OleString(field), OLESTR("caf\u00E9"));
    FreeWireText(field);
    EXPECT_EQ(NarrowToWide(nullptr), nullptr);
    EXPECT_EQ(WideToNarrow(nullptr), nullptr);
    BSTR wide = NarrowToWide("\x80\x81");
    EXPECT_EQ(OleString(wide), OLESTR("\u20AC\u0081"));
    const std::unique_ptr<char[]> narrow(WideToNarrow(wide));
    EXPECT_STREQ(narrow.get(), "\x80\x81");
    SysFreeString(wide);
}

// Every text setter allocates through this check: 2^32 + 2 must not become a string of 2 units.
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
    if (sizeof(std::size_t) > sizeof(std::uint32_t)) {
        EXPECT_TRUE(refused(static_cast<std::size_t>((std::uint64_t{1} << 32) + 2)));
    }
    BSTR small = AllocateWideUnits(3);
    EXPECT_TRUE(SysStringLen(small) == 3U && small[3] == 0);
    SysFreeString(small);
}

TEST(OleDateToUnixTime, KnownDatesAndNow) {
    EXPECT_EQ(OleDateToUnixTime(25569.5), 43200);
    EXPECT_EQ(OleDateToUnixTime(UnixTimeToOleDate(1234567890.4)), 1234567890);
    EXPECT_EQ(OleDateToUnixTime(UnixTimeToOleDate(2147483647.0)), 2147483647);
    const long before = static_cast<long>(std::time(nullptr));
    const long now = OleDateToUnixTime(CurrentOleDate());
    EXPECT_GE(now, before - 1);
    EXPECT_LE(now, before + 2);
}

}  // namespace
