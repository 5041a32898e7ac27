#include "wire_types/support/detail/OleDates.h"

#include <cmath>

namespace Lumera::detail {

namespace {

// The OLE days of 100-01-01 and 9999-12-31.
constexpr std::int64_t kFirstDay = DaysFromCivil(100, 1, 1) - kOleEpochDays;
constexpr std::int64_t kLastDay = DaysFromCivil(9999, 12, 31) - kOleEpochDays;

}  // namespace

bool IsValidCalendar(const SYSTEMTIME& time) noexcept {
    if (time.wYear < 100 || time.wYear > 9999 || time.wMonth < 1 || time.wMonth > 12 ||
        time.wDay < 1 || time.wHour > 23 || time.wMinute > 59 || time.wSecond > 59) {
        return false;
    }
    const CivilDate back = CivilFromDays(DaysFromCivil(time.wYear, time.wMonth, time.wDay));
    return back.day == time.wDay && back.month == time.wMonth;
}

bool SplitOleDate(double date, OleDay& split) noexcept {
    // Also refuses NaN, before any conversion to an integer.
    if (!(date > static_cast<double>(kFirstDay - 1) && date < static_cast<double>(kLastDay + 1))) {
        return false;
    }
    const double whole = std::trunc(date);
    auto day = static_cast<std::int64_t>(whole);
    // Before day 0 the whole part counts days backwards while the fraction still runs forward
    // through the day, so the time of day is the fraction's magnitude either way. Taking the
    // whole part away is exact; the one rounding is that of the product.
    auto second = static_cast<std::int64_t>(std::fabs(date - whole) * kSecondsPerDay + 0.5);
    if (second >= kSecondsPerDay) {
        second -= kSecondsPerDay;
        day += 1;
    }
    if (day > kLastDay) {
        return false;
    }
    split = OleDay{day, second};
    return true;
}

bool CalendarToOleDate(const SYSTEMTIME& time, double& date) noexcept {
    if (!IsValidCalendar(time)) {
        return false;
    }
    // A copy: the system's declaration takes a pointer to non-const.
    SYSTEMTIME calendar = time;
    double converted = 0.0;
    if (SystemTimeToVariantTime(&calendar, &converted) == 0) {
        return false;
    }
    date = converted;
    return true;
}

bool OleDateToCalendar(double date, SYSTEMTIME& time) noexcept {
    time = SYSTEMTIME{};
    OleDay split{};
    if (!SplitOleDate(date, split)) {
        return false;
    }
    // The second is chosen here; the call receives that exact second, far from any half, and
    // has nothing left to round its own way.
    const double fraction = static_cast<double>(split.second) / kSecondsPerDay;
    const double exact = split.day < 0 ? static_cast<double>(split.day) - fraction
                                       : static_cast<double>(split.day) + fraction;
    SYSTEMTIME calendar{};
    if (VariantTimeToSystemTime(exact, &calendar) == 0) {
        return false;
    }
    time = calendar;
    return true;
}

bool CalendarToFileTime(const SYSTEMTIME& time, FILETIME& fileTime) noexcept {
    if (!IsValidCalendar(time) || time.wYear < 1601 || time.wMilliseconds > 999) {
        return false;
    }
    FILETIME converted{};
    if (SystemTimeToFileTime(&time, &converted) == 0) {
        return false;
    }
    fileTime = converted;
    return true;
}

}  // namespace Lumera::detail
