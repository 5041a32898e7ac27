#pragma once

// The local calendar month, which only the roll-over look-up without a date reads. Everything
// else takes the date as an argument, so nothing process-wide stands between a caller and the
// clock. Internal: not installed, not exported.

namespace Lumera::detail {

struct LocalYearMonth {
    int year;   // e.g. 2013
    int month;  // 1 for January
};

// The system clock's current time, broken down in the local time zone.
LocalYearMonth CurrentLocalYearMonth();

}  // namespace Lumera::detail
