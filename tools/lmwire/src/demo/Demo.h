#pragma once

// The four sections of lmwire demo, each returning its text, and the date the demo runs on.

#include <string>

namespace lmwire {

// A day of the calendar: month 1 for January.
struct DemoDate {
    int year;
    int month;
    int day;
};

// A date written YYYY-MM-DD, from 2000-01-01 to 9999-12-31 (contract names carry the year's last
// digit, which the roll-over look-up defines from 2000 on). BadInput naming the text otherwise.
DemoDate ParseDemoDate(const std::string& text);
DemoDate LocalDemoDate();
// "January" for 1.
std::string MonthName(int month);

// The demo on the given date: only the account section's roll-over look-ups depend on it, so a
// given date gives that section the same text on any day. RunDemo() runs on the local date.
void RunDemo(const DemoDate& today);

std::string DemoHandshake();
std::string DemoLadder();
std::string DemoAccount(const DemoDate& today);
std::string DemoOrders();

}  // namespace lmwire
