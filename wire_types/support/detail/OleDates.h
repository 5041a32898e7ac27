#pragma once

// The library's own rules for OLE dates, the same on every platform, and the calendar arithmetic
// behind them. The stand-ins follow these rules; on Windows the system's calls are held to them,
// since the system is laxer (it rolls a 30th of February or an hour of 24 over, reads years
// below 100 as two-digit years, takes NaN or a date rounding past 9999 for a date) and rounds a
// date lying a few microseconds below a half second up.

#include <cstdint>

#include "wire_types/support/Platform.h"

namespace Lumera::detail {

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
constexpr std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) noexcept {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

struct CivilDate {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

constexpr CivilDate CivilFromDays(std::int64_t z) noexcept {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const std::int64_t y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return {y + (m <= 2), m, d};
}

// Day 0 of OLE dates, 1899-12-30, counted from 1970-01-01.
inline constexpr std::int64_t kOleEpochDays = DaysFromCivil(1899, 12, 30);
inline constexpr std::int64_t kSecondsPerDay = 86400;

// A calendar time that names a real second of the years 100 to 9999: the day exists in its month,
// hours 0 to 23, minutes and seconds 0 to 59. Milliseconds and the day of the week are not read.
bool IsValidCalendar(const SYSTEMTIME& time) noexcept;

// An OLE date as its day (days since 1899-12-30, negative before) and its time of day rounded to
// the nearest second, halves up; a time that rounds to midnight starts the next day.
struct OleDay {
    std::int64_t day;
    std::int64_t second;  // 0 to 86399
};

// False for NaN and for a date whose rounded day lies outside 100-01-01 to 9999-12-31.
bool SplitOleDate(double date, OleDay& split) noexcept;

// The conversions the library makes, on every platform by the rules above.
// Calendar time to OLE date, milliseconds ignored; false (date unchanged) for an invalid calendar.
bool CalendarToOleDate(const SYSTEMTIME& time, double& date) noexcept;
// OLE date to calendar time (milliseconds 0); false for a date SplitOleDate refuses, and then the
// calendar time is all zero.
bool OleDateToCalendar(double date, SYSTEMTIME& time) noexcept;
// Calendar time to 100-nanosecond intervals since 1601-01-01; false (unchanged) for an invalid
// calendar, a year before 1601 or milliseconds above 999.
bool CalendarToFileTime(const SYSTEMTIME& time, FILETIME& fileTime) noexcept;

}  // namespace Lumera::detail
