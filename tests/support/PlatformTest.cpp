#include "wire_types/support/Platform.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

TEST(SysStrings, NullIsDistinctFromEmpty) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0U);
    EXPECT_EQ(SysStringByteLen(nullptr), 0U);
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(u"");
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0U);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);
}

TEST(SysStrings, CopiesUpToFirstZeroAndKeepsLengthPrefix) {
    const OLECHAR source[] = {u'A', u'B', 0, u'C', 0};
    BSTR copy = SysAllocString(source);
    EXPECT_EQ(SysStringLen(copy), 2U);
    EXPECT_EQ(SysStringByteLen(copy), 4U);
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(copy) - 4, 4);
    EXPECT_EQ(prefix, 4U);
    SysFreeString(copy);

    // An explicit length keeps embedded zeros, as OLE does, and still terminates the text.
    BSTR whole = SysAllocStringLen(source, 4);
    EXPECT_EQ(SysStringLen(whole), 4U);
    EXPECT_EQ(whole[3], u'C');
    EXPECT_EQ(whole[4], 0);
    SysFreeString(whole);

    BSTR bytes = SysAllocStringByteLen("xyz", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3U);
    EXPECT_EQ(SysStringLen(bytes), 1U);
    SysFreeString(bytes);
}

TEST(ComError, CarriesHresultAndNamesItInHex) {
    const _com_error error(E_OUTOFMEMORY);
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x8007000E));
    EXPECT_STREQ(error.what(), "HRESULT 0x8007000E");
}

TEST(AnsiCodePage, EveryByteMapsToOneUnitAndBack) {
    for (int byte = 0; byte < 256; ++byte) {
        const OLECHAR unit = AnsiCharToWide(static_cast<unsigned char>(byte));
        EXPECT_EQ(static_cast<unsigned char>(WideCharToAnsi(unit)), byte) << byte;
    }
    EXPECT_EQ(AnsiCharToWide(0x80), u'\u20AC');
    EXPECT_EQ(AnsiCharToWide(0x9F), u'\u0178');
    EXPECT_EQ(AnsiCharToWide(0xE9), u'\u00E9');
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(AnsiCharToWide(undefined), undefined);
    }
}

TEST(AnsiCodePage, UnitsOutsideTheCodePageBecomeQuestionMarks) {
    for (OLECHAR unit : {u'\u0080', u'\u0100', u'\u4E2D', u'\xD83D', u'\xDE00', u'\uFFFF'}) {
        EXPECT_EQ(WideCharToAnsi(unit), '?') << static_cast<int>(unit);
    }
}

// Seconds since 1970 through the calendar calls, the way an OLE date is built and read back.
long long ThroughCalendar(double date) {
    SYSTEMTIME calendar{};
    if (VariantTimeToSystemTime(date, &calendar) == 0) {
        return -1;
    }
    FILETIME intervals{};
    if (SystemTimeToFileTime(&calendar, &intervals) == 0) {
        return -1;
    }
    const unsigned long long since1601 =
        (static_cast<unsigned long long>(intervals.dwHighDateTime) << 32) | intervals.dwLowDateTime;
    return static_cast<long long>((since1601 - 116444736000000000ULL) / 10000000ULL);
}

TEST(OleDates, CalendarRoundTrip) {
    SYSTEMTIME t{2009, 2, 0, 13, 23, 31, 30, 400};
    double date = 0;
    ASSERT_EQ(SystemTimeToVariantTime(&t, &date), 1);
    EXPECT_DOUBLE_EQ(date, 39857.0 + (23 * 3600 + 31 * 60 + 30) / 86400.0);

    SYSTEMTIME back{};
    ASSERT_EQ(VariantTimeToSystemTime(date, &back), 1);
    EXPECT_EQ(back.wYear, 2009);
    EXPECT_EQ(back.wMonth, 2);
    EXPECT_EQ(back.wDay, 13);
    EXPECT_EQ(back.wDayOfWeek, 5);  // a Friday
    EXPECT_EQ(back.wSecond, 30);
    EXPECT_EQ(back.wMilliseconds, 0);

    SYSTEMTIME invalid{2013, 2, 0, 29, 0, 0, 0, 0};
    EXPECT_EQ(SystemTimeToVariantTime(&invalid, &date), 0);
}

TEST(OleDates, NegativeDatesKeepAPositiveTimeOfDay) {
    SYSTEMTIME t{};
    ASSERT_EQ(VariantTimeToSystemTime(-1.25, &t), 1);
    EXPECT_EQ(t.wYear, 1899);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 29);
    EXPECT_EQ(t.wHour, 6);
    double date = 0;
    ASSERT_EQ(SystemTimeToVariantTime(&t, &date), 1);
    EXPECT_DOUBLE_EQ(date, -1.25);
}

TEST(OleDates, RoundsToTheNearestSecondHalvesUp) {
    const double base = 25569.0;  // 1970-01-01
    EXPECT_EQ(ThroughCalendar(base + 0.4 / 86400), 0);
    EXPECT_EQ(ThroughCalendar(base + 0.5 / 86400), 1);
    EXPECT_EQ(ThroughCalendar(base + 86399.6 / 86400), 86400);  // rolls into the next day
    EXPECT_EQ(ThroughCalendar(3000000.0), -1);                  // beyond 9999
}

TEST(OleDates, WholeSecondsFrom1970To2038MapBackExactly) {
    std::mt19937 random(20261205);
    std::uniform_int_distribution<long long> seconds(0, 2147483647LL);
    for (int i = 0; i < 200000; ++i) {
        const long long s = i < 2 ? i * 2147483647LL : seconds(random);
        SYSTEMTIME calendar{};
        ASSERT_EQ(VariantTimeToSystemTime(25569.0 + static_cast<double>(s) / 86400.0, &calendar),
                  1);
        double date = 0;
        ASSERT_EQ(SystemTimeToVariantTime(&calendar, &date), 1);
        ASSERT_EQ(ThroughCalendar(date), s) << s;
    }
}

TEST(OleDates, SystemTimeIsNow) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    EXPECT_GE(now.wYear, 2024);
    EXPECT_LE(now.wMonth, 12);
    EXPECT_LE(now.wMilliseconds, 999);
}

}  // namespace
