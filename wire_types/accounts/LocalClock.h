#pragma once

// The local calendar month, read through a replaceable function so that code depending on the
// date (the roll-over look-up) can be exercised at any date.

namespace Lumera {

struct LocalYearMonth {
    int year;   // e.g. 2013
    int month;  // 0 for January
};

using LocalClockFunction = LocalYearMonth (*)();

LocalYearMonth CurrentLocalYearMonth();

// Installs clock (null restores the system clock) and returns the one it replaces.
LocalClockFunction SetLocalClock(LocalClockFunction clock) noexcept;

}  // namespace Lumera
