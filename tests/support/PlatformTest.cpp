#include "wire_types/support/Platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>
#include <vector>

#include "OleText.h"
#include "wire_types/support/detail/OleDates.h"

namespace {

// Null is not empty; lengths beyond 32 bits fail; a copy stops at a zero unless given a length,
// keeps its byte length in the four bytes before it, and is terminated.
TEST(SysStrings, LengthsPrefixesAndTerminators) {
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr) + SysStringByteLen(nullptr), 0U);
    SysFreeString(nullptr);
    EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFCU), nullptr);
    EXPECT_EQ(SysAllocStringByteLen(nullptr, std::numeric_limits<unsigned int>::max()), nullptr);

    const OLECHAR source[] = {OLESTR('A'), OLESTR('B'), 0, OLESTR('C'), 0};
    const BSTR made[] = {SysAllocString(OLESTR("")), SysAllocString(source),
                         SysAllocStringLen(source, 4), SysAllocStringByteLen("xyz", 3)};
    const auto [empty, copy, whole, bytes] = made;
    ASSERT_TRUE(empty && copy && whole && bytes);
    std::uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<unsigned char*>(copy) - 4, 4);
    EXPECT_EQ((std::vector<unsigned>{SysStringLen(empty), empty[0], SysStringLen(copy),
                                     SysStringByteLen(copy), prefix, SysStringLen(whole), whole[3],
                                     whole[4], SysStringByteLen(bytes), SysStringLen(bytes)}),
              (std::vector<unsigned>{0, 0, 2, 4, 4, 4, 'C', 0, 3, 1}));
    for (const BSTR text : made) {
        SysFreeString(text);
    }
}

// The system time is WireStrings' CurrentOleDate's to check.
TEST(ComError, CarriesHresult) {
    const _com_error error(E_OUTOFMEMORY);
    EXPECT_EQ(error.Error(), static_cast<HRESULT>(0x8007000E));
#if !defined(_WIN32)
    const std::exception& base = error;  // the system's class is no std::exception
    EXPECT_STREQ(base.what(), "HRESULT 0x8007000E");
#endif
}

// The library's date conversions and (elsewhere than Windows) the stand-ins follow one set of
// rules.
struct DateCalls {
    const char* name;
    bool (*toDate)(const SYSTEMTIME&, double&);
    bool (*toCalendar)(double, SYSTEMTIME&);
    bool (*toFileTime)(const SYSTEMTIME&, FILETIME&);
};

void PrintTo(const DateCalls& calls, std::ostream* out) {
    *out << calls.name;
}

class OleDates : public ::testing::TestWithParam<DateCalls> {
  protected:
    // Seconds since 1970 through the calendar, as the library reads a date; -1 on failure.
    long long ThroughCalendar(double date) const {
        SYSTEMTIME calendar{};
        FILETIME intervals{};
        if (!GetParam().toCalendar(date, calendar) || !GetParam().toFileTime(calendar, intervals)) {
            return -1;
        }
        const unsigned long long since1601 =
            (static_cast<unsigned long long>(intervals.dwHighDateTime) << 32) |
            intervals.dwLowDateTime;
        return static_cast<long long>((since1601 - 116444736000000000ULL) / 10000000ULL);
    }
};

// The system's calls roll these over or read two-digit years; none names a real second.
TEST_P(OleDates, InvalidCalendarTimesAndDatesAreRefused) {
    const SYSTEMTIME invalid[] = {
        {2013, 2, 0, 29, 0, 0, 0, 0}, {2012, 4, 0, 31, 0, 0, 0, 0}, {2013, 1, 0, 0, 0, 0, 0, 0},
        {2013, 13, 0, 1, 0, 0, 0, 0}, {2013, 1, 0, 1, 24, 0, 0, 0}, {2013, 1, 0, 1, 0, 60, 0, 0},
        {2013, 1, 0, 1, 0, 0, 60, 0}, {99, 1, 0, 1, 0, 0, 0, 0},    {10000, 1, 0, 1, 0, 0, 0, 0},
    };
    for (const SYSTEMTIME& t : invalid) {
        double date = -7.0;
        FILETIME intervals{1, 2};
        EXPECT_FALSE(GetParam().toDate(t, date) || GetParam().toFileTime(t, intervals))
            << t.wYear << '-' << t.wMonth << '-' << t.wDay << ' ' << t.wHour << ':' << t.wMinute;
        EXPECT_TRUE(date == -7.0 && intervals.dwLowDateTime == 1U) << t.wYear;
    }
    FILETIME intervals{};  // from 1601, with real milliseconds
    EXPECT_FALSE(GetParam().toFileTime(SYSTEMTIME{1600, 12, 0, 31, 0, 0, 0, 0}, intervals));
    EXPECT_FALSE(GetParam().toFileTime(SYSTEMTIME{1970, 1, 0, 1, 0, 0, 0, 1000}, intervals));
    ASSERT_TRUE(GetParam().toFileTime(SYSTEMTIME{1970, 1, 0, 1, 0, 0, 1, 999}, intervals));
    EXPECT_EQ(intervals.dwHighDateTime, 27111902U);
    EXPECT_EQ(intervals.dwLowDateTime, 3577643008U + 19990000U);

    // Only the years 100 to 9999; a refusal leaves a zeroed calendar.
    for (double refused : {std::numeric_limits<double>::quiet_NaN(), -657435.0, 2958466.0,
                           2958465.9999999 /* rounds into the year 10000 */, 1e300}) {
        SYSTEMTIME t{1, 1, 1, 1, 1, 1, 1, 1};
        EXPECT_FALSE(GetParam().toCalendar(refused, t)) << refused;
        EXPECT_EQ(t.wYear + t.wDay, 0) << refused;
    }
}

// Against the standard calendar, with the way back and (1970 to 2038) the file time: the range's
// ends, leap-year edges, a spread of days, and dates between seconds, which round to the nearest
// second, halves up. Before day 0 the time of day still runs forward.
TEST_P(OleDates, DatesMatchTheStandardCalendarToTheNearestSecond) {
    using namespace std::chrono;
    constexpr long long kDayZero = -25569;  // 1899-12-30, in days since 1970
    struct Moment {
        double date;
        long long day;  // since day 0, and second of the day, it rounds to
        long long second;
    };
    std::vector<Moment> moments{{-1.25, -1, 21600},
                                {-0.25, 0, 21600},
                                {-1.0 - 0.6 / 86400, -1, 1},
                                {-1.0 - 86399.6 / 86400, 0, 0},
                                {25569.0 + 86399.6 / 86400, 25570, 0},
                                {25569.0 + 0.5 / 86400, 25569, 1},
                                {25569.0 + 0.4 / 86400, 25569, 0}};
    const auto at = [&](long long day, long long second) {
        const double fraction = static_cast<double>(second) / 86400.0;
        moments.push_back({day < 0 ? day - fraction : day + fraction, day, second});
    };
    at(-657434, 0);
    at(2958465, 86399);
    for (const year_month_day edge :
         {year{1600} / 2 / 29, year{1700} / 3 / 1, year{1900} / 3 / 1, year{2100} / 2 / 28}) {
        at(sys_days{edge}.time_since_epoch().count() - kDayZero, 43200);
    }
    for (long long day = -657434; day <= 2958465; day += 9973) {
        at(day, (day * 7919 % 86400 + 86400) % 86400);
    }
    for (long long s = 0; s < 2147483647LL + 10737401; s += 10737401) {
        const long long in = s < 2147483647LL ? s : 2147483647LL;  // up to the last second
        at(in / 86400 - kDayZero, in % 86400);
    }
    for (const auto& [date, day, second] : moments) {
        SYSTEMTIME t{};
        ASSERT_TRUE(GetParam().toCalendar(date, t)) << date;
        const sys_days civil{std::chrono::days{day + kDayZero}};
        const year_month_day expected{civil};
        EXPECT_EQ(
            (std::vector<long long>{t.wYear, t.wMonth, t.wDay, t.wDayOfWeek,
                                    t.wHour * 3600 + t.wMinute * 60 + t.wSecond, t.wMilliseconds}),
            (std::vector<long long>{
                static_cast<int>(expected.year()), static_cast<unsigned>(expected.month()),
                static_cast<unsigned>(expected.day()), weekday{civil}.c_encoding(), second, 0}))
            << date;
        double back = 0;
        ASSERT_TRUE(GetParam().toDate(t, back));
        const double exact = day < 0 ? day - second / 86400.0 : day + second / 86400.0;
        EXPECT_NEAR(back, exact, 1e-9 * std::fabs(exact) + 1e-12) << date;
        const long long unix = (day + kDayZero) * 86400 + second;
        if (unix >= 0 && unix <= 2147483647LL) {
            EXPECT_EQ(ThroughCalendar(date), unix) << date;
        }
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

}  // namespace
