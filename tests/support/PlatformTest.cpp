#include "wire_types/support/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "OleText.h"
#include "wire_types/support/detail/AnsiCodePage.h"
#include "wire_types/support/detail/OleDates.h"

namespace {

using Lumera::detail::AnsiCharToWide;
using Lumera::detail::WideCharToAnsi;

TEST(SysStrings, NullIsDistinctFromEmptyAndOverLongLengthsGiveNull) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0U);
    EXPECT_EQ(SysStringByteLen(nullptr), 0U);
    SysFreeString(nullptr);

    BSTR empty = SysAllocString(OLESTR(""));
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(SysStringLen(empty), 0U);
    EXPECT_EQ(empty[0], 0);
    SysFreeString(empty);

    // A length whose byte count and prefix would not fit 32 bits fails cleanly, unallocated.
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFCU), nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, std::numeric_limits<unsigned int>::max()), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, std::numeric_limits<unsigned int>::max()), nullptr);
}

TEST(SysStrings, CopiesUpToFirstZeroAndKeepsLengthPrefix) {
    const OLECHAR source[] = {OLESTR('A'), OLESTR('B'), 0, OLESTR('C'), 0};
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
    EXPECT_EQ(whole[3], OLESTR('C'));
    EXPECT_EQ(whole[4], 0);
    SysFreeString(whole);

    BSTR bytes = SysAllocStringByteLen("xyz", 3);
    EXPECT_EQ(SysStringByteLen(bytes), 3U);
    EXPECT_EQ(SysStringLen(bytes), 1U);
    SysFreeString(bytes);
}

TEST(ComError, CarriesHresult) {
    const _com_error error(E_OUTOFMEMORY);
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x8007000E));
#if !defined(_WIN32)
    // The stand-in is also a std::exception naming the code; the system's class is neither.
    const std::exception& base = error;
    EXPECT_STREQ(base.what(), "HRESULT 0x8007000E");
#endif
}

TEST(AnsiCodePage, EveryByteMapsToOneUnitAndBack) {
    for (int byte = 0; byte < 256; ++byte) {
        const OLECHAR unit = AnsiCharToWide(static_cast<unsigned char>(byte));
        EXPECT_EQ(static_cast<unsigned char>(WideCharToAnsi(unit)), byte) << byte;
    }
    EXPECT_EQ(AnsiCharToWide(0x80), OLESTR('\u20AC'));
    EXPECT_EQ(AnsiCharToWide(0x9F), OLESTR('\u0178'));
    EXPECT_EQ(AnsiCharToWide(0xE9), OLESTR('\u00E9'));
    for (unsigned char undefined : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        EXPECT_EQ(AnsiCharToWide(undefined), undefined);
    }
}

// Never a look-alike: Windows' best-fit tables would give A, O, -, A, the micro sign, i.
TEST(AnsiCodePage, UnitsOutsideTheCodePageBecomeQuestionMarks) {
    for (OLECHAR unit : {OLESTR('\u0080'), OLESTR('\u0100'), OLESTR('\u03A9'), OLESTR('\u2212'),
                         OLESTR('\uFF21'), OLESTR('\u03BC'), OLESTR('\u0131'), OLESTR('\u4E2D'),
                         OLESTR('\xD83D'), OLESTR('\xDE00'), OLESTR('\uFFFF')}) {
        EXPECT_EQ(WideCharToAnsi(unit), '?') << static_cast<int>(unit);
    }
}

// The date conversions the library makes, and elsewhere than Windows the stand-ins behind them,
// follow one set of rules: the same tests hold for both.
struct DateCalls {
    const char* name;
    bool (*toDate)(const SYSTEMTIME&, double&);
    bool (*toCalendar)(double, SYSTEMTIME&);
    bool (*toFileTime)(const SYSTEMTIME&, FILETIME&);
};

// Names the test after the calls it runs.
void PrintTo(const DateCalls& calls, std::ostream* out) {
    *out << calls.name;
}

class OleDates : public ::testing::TestWithParam<DateCalls> {
  protected:
    bool ToDate(const SYSTEMTIME& time, double& date) const {
        return GetParam().toDate(time, date);
    }
    bool ToCalendar(double date, SYSTEMTIME& time) const {
        return GetParam().toCalendar(date, time);
    }

    // Seconds since 1970 through the calendar, the way the library reads a date; -1 on failure.
    long long ThroughCalendar(double date) const {
        SYSTEMTIME calendar{};
        FILETIME intervals{};
        if (!ToCalendar(date, calendar) || !GetParam().toFileTime(calendar, intervals)) {
            return -1;
        }
        const unsigned long long since1601 =
            (static_cast<unsigned long long>(intervals.dwHighDateTime) << 32) |
            intervals.dwLowDateTime;
        return static_cast<long long>((since1601 - 116444736000000000ULL) / 10000000ULL);
    }
};

TEST_P(OleDates, CalendarRoundTrip) {
    SYSTEMTIME t{2009, 2, 0, 13, 23, 31, 30, 400};
    double date = 0;
    ASSERT_TRUE(ToDate(t, date));
    EXPECT_DOUBLE_EQ(date, 39857.0 + (23 * 3600 + 31 * 60 + 30) / 86400.0);

    SYSTEMTIME back{};
    ASSERT_TRUE(ToCalendar(date, back));
    EXPECT_EQ(back.wYear, 2009);
    EXPECT_EQ(back.wMonth, 2);
    EXPECT_EQ(back.wDay, 13);
    EXPECT_EQ(back.wDayOfWeek, 5);  // a Friday
    EXPECT_EQ(back.wSecond, 30);
    EXPECT_EQ(back.wMilliseconds, 0);
}

// The system's calls roll these over or read two-digit years; here none names a real second.
TEST_P(OleDates, InvalidCalendarTimesAreRefused) {
    const SYSTEMTIME invalid[] = {
        {2013, 2, 0, 29, 0, 0, 0, 0}, {2012, 4, 0, 31, 0, 0, 0, 0}, {2013, 1, 0, 0, 0, 0, 0, 0},
        {2013, 0, 0, 1, 0, 0, 0, 0},  {2013, 13, 0, 1, 0, 0, 0, 0}, {2013, 1, 0, 1, 24, 0, 0, 0},
        {2013, 1, 0, 1, 0, 60, 0, 0}, {2013, 1, 0, 1, 0, 0, 60, 0}, {99, 1, 0, 1, 0, 0, 0, 0},
        {5, 1, 0, 1, 0, 0, 0, 0},     {10000, 1, 0, 1, 0, 0, 0, 0},
    };
    for (const SYSTEMTIME& t : invalid) {
        SCOPED_TRACE(testing::Message() << t.wYear << '-' << t.wMonth << '-' << t.wDay << ' '
                                        << t.wHour << ':' << t.wMinute << ':' << t.wSecond);
        double date = -7.0;
        EXPECT_FALSE(ToDate(t, date));
        EXPECT_EQ(date, -7.0);
        FILETIME intervals{1, 2};
        EXPECT_FALSE(GetParam().toFileTime(t, intervals));
        EXPECT_EQ(intervals.dwLowDateTime, 1U);
    }
    double date = 0;
    EXPECT_TRUE(ToDate(SYSTEMTIME{2012, 2, 0, 29, 23, 59, 59, 0}, date));
    EXPECT_TRUE(ToDate(SYSTEMTIME{100, 1, 0, 1, 0, 0, 0, 0}, date));
    EXPECT_EQ(date, -657434.0);

    // Intervals since 1601 start in 1601 and keep the milliseconds, which must be real ones.
    FILETIME intervals{};
    EXPECT_FALSE(GetParam().toFileTime(SYSTEMTIME{1600, 12, 0, 31, 0, 0, 0, 0}, intervals));
    EXPECT_FALSE(GetParam().toFileTime(SYSTEMTIME{1970, 1, 0, 1, 0, 0, 0, 1000}, intervals));
    ASSERT_TRUE(GetParam().toFileTime(SYSTEMTIME{1970, 1, 0, 1, 0, 0, 1, 999}, intervals));
    EXPECT_EQ(intervals.dwHighDateTime, 27111902U);
    EXPECT_EQ(intervals.dwLowDateTime, 3577643008U + 19990000U);
}

TEST_P(OleDates, NegativeDatesKeepAPositiveTimeOfDay) {
    SYSTEMTIME t{};
    ASSERT_TRUE(ToCalendar(-1.25, t));
    EXPECT_EQ(t.wYear, 1899);
    EXPECT_EQ(t.wMonth, 12);
    EXPECT_EQ(t.wDay, 29);
    EXPECT_EQ(t.wHour, 6);
    double date = 0;
    ASSERT_TRUE(ToDate(t, date));
    EXPECT_DOUBLE_EQ(date, -1.25);
    // Just after midnight on either side of day 0 is the same moment.
    ASSERT_TRUE(ToCalendar(-0.25, t));
    EXPECT_EQ(t.wDay, 30);
    EXPECT_EQ(t.wHour, 6);
}

TEST_P(OleDates, RoundsToTheNearestSecondHalvesUp) {
    const double base = 25569.0;  // 1970-01-01
    EXPECT_EQ(ThroughCalendar(base + 0.4 / 86400), 0);
    EXPECT_EQ(ThroughCalendar(base + 0.5 / 86400), 1);
    EXPECT_EQ(ThroughCalendar(base + 86399.6 / 86400), 86400);  // rolls into the next day
    EXPECT_EQ(ThroughCalendar(base + 59.9995 / 86400), 60);
    // A microsecond short of the half is nearer the second below; the system's call, rounding
    // to the millisecond first, would take it up.
    const double later = 45000.0;  // 2023-03-15
    EXPECT_EQ(ThroughCalendar(later + 0.499999 / 86400), ThroughCalendar(later));
    EXPECT_EQ(ThroughCalendar(later + 0.500001 / 86400), ThroughCalendar(later) + 1);
    // Before day 0 the time of day rounds forward through the day as well.
    SYSTEMTIME t{};
    ASSERT_TRUE(ToCalendar(-1.0 - 0.6 / 86400, t));
    EXPECT_EQ(t.wDay, 29);
    EXPECT_EQ(t.wSecond, 1);
    ASSERT_TRUE(ToCalendar(-1.0 - 86399.6 / 86400, t));
    EXPECT_EQ(t.wDay, 30);
    EXPECT_EQ(t.wSecond, 0);
}

TEST_P(OleDates, OnlyTheYears100To9999) {
    const double refused[] = {std::numeric_limits<double>::quiet_NaN(),
                              std::numeric_limits<double>::infinity(),
                              -std::numeric_limits<double>::infinity(),
                              -657435.0,
                              2958466.0,
                              2958465.9999999,  // rounds into the year 10000
                              1e300};
    for (double date : refused) {
        SYSTEMTIME t{1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_FALSE(ToCalendar(date, t)) << date;
        EXPECT_EQ(t.wYear, 0) << date;
        EXPECT_EQ(t.wDay, 0) << date;
    }
    SYSTEMTIME t{};
    ASSERT_TRUE(ToCalendar(-657434.5, t));  // 100-01-01 12:00, the first day
    EXPECT_EQ(t.wYear, 100);
    EXPECT_EQ(t.wDay, 1);
    EXPECT_EQ(t.wHour, 12);
    ASSERT_TRUE(ToCalendar(2958465.99999, t));  // 9999-12-31 23:59:59, the last second
    EXPECT_EQ(t.wYear, 9999);
    EXPECT_EQ(t.wSecond, 59);
}

// Every day of the range, against the standard library's calendar.
TEST_P(OleDates, WholeSecondsMatchTheStandardCalendar) {
    using namespace std::chrono;
    constexpr long long kOleDayZero = -25569;  // 1899-12-30, in days since 1970
    std::mt19937 random(20261206);
    std::uniform_int_distribution<long long> days(-657434, 2958465);
    std::uniform_int_distribution<int> seconds(0, 86399);
    for (int i = 0; i < 100000; ++i) {
        const long long day = days(random);
        const int second = i < 2 ? i * 86399 : seconds(random);
        const double fraction = second / 86400.0;
        const double date = day < 0 ? day - fraction : day + fraction;
        SYSTEMTIME t{};
        ASSERT_TRUE(ToCalendar(date, t)) << date;
        const sys_days civil{std::chrono::days{day + kOleDayZero}};
        const year_month_day expected{civil};
        ASSERT_EQ(t.wYear, static_cast<int>(expected.year())) << date;
        ASSERT_EQ(t.wMonth, static_cast<unsigned>(expected.month())) << date;
        ASSERT_EQ(t.wDay, static_cast<unsigned>(expected.day())) << date;
        ASSERT_EQ(t.wDayOfWeek, weekday{civil}.c_encoding()) << date;
        ASSERT_EQ(t.wHour * 3600 + t.wMinute * 60 + t.wSecond, second) << date;
        double back = 0;
        ASSERT_TRUE(ToDate(t, back));
        ASSERT_NEAR(back, date, 1e-9 * std::fabs(date) + 1e-12) << date;
    }
}

TEST_P(OleDates, WholeSecondsFrom1970To2038MapBackExactly) {
    std::mt19937 random(20261205);
    std::uniform_int_distribution<long long> seconds(0, 2147483647LL);
    for (int i = 0; i < 100000; ++i) {
        const long long s = i < 2 ? i * 2147483647LL : seconds(random);
        SYSTEMTIME calendar{};
        ASSERT_TRUE(ToCalendar(25569.0 + static_cast<double>(s) / 86400.0, calendar));
        double date = 0;
        ASSERT_TRUE(ToDate(calendar, date));
        ASSERT_EQ(ThroughCalendar(date), s) << s;
    }
}

INSTANTIATE_TEST_SUITE_P(Library, OleDates,
                         ::testing::Values(DateCalls{"library", &Lumera::detail::CalendarToOleDate,
                                                     &Lumera::detail::OleDateToCalendar,
                                                     &Lumera::detail::CalendarToFileTime}));

#if !defined(_WIN32)
INSTANTIATE_TEST_SUITE_P(StandIns, OleDates,
                         ::testing::Values(DateCalls{
                             "stand-ins",
                             [](const SYSTEMTIME& time, double& date) {
                                 return SystemTimeToVariantTime(&time, &date) != 0;
                             },
                             [](double date, SYSTEMTIME& time) {
                                 return VariantTimeToSystemTime(date, &time) != 0;
                             },
                             [](const SYSTEMTIME& time, FILETIME& fileTime) {
                                 return SystemTimeToFileTime(&time, &fileTime) != 0;
                             }}));
#endif

TEST(SystemTime, IsNow) {
    SYSTEMTIME now{};
    GetSystemTime(&now);
    EXPECT_GE(now.wYear, 2024);
    EXPECT_LE(now.wMonth, 12);
    EXPECT_LE(now.wMilliseconds, 999);
}

}  // namespace
