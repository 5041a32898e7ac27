#include "demo/Demo.h"

#include <chrono>
#include <ctime>

#include <fmt/format.h>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Output.h"

namespace lmwire {

namespace {

constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};

bool Digits(const std::string& text, std::size_t from, std::size_t count, int& value) {
    value = 0;
    for (std::size_t i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return false;
        }
        value = value * 10 + (text[i] - '0');
    }
    return true;
}

}  // namespace

DemoDate ParseDemoDate(const std::string& text) {
    const std::string what = fmt::format("--today {}: ", Quoted(text));
    DemoDate date{};
    if (text.size() != 10 || text[4] != '-' || text[7] != '-' || !Digits(text, 0, 4, date.year) ||
        !Digits(text, 5, 2, date.month) || !Digits(text, 8, 2, date.day)) {
        throw BadInput(fmt::format("{}not a date written YYYY-MM-DD", what));
    }
    if (date.year < 2000) {
        throw BadInput(what +
                       "the year must be 2000 to 9999 (contract names carry the year's "
                       "last digit from 2000 on)");
    }
    if (date.month < 1 || date.month > 12) {
        throw BadInput(fmt::format("{}no month {}", what, date.month));
    }
    using namespace std::chrono;
    const auto days = static_cast<unsigned>(
        (year_month{year{date.year}, month{static_cast<unsigned>(date.month)}} / last).day());
    if (date.day < 1 || static_cast<unsigned>(date.day) > days) {
        throw BadInput(fmt::format("{}{} {} has no day {} (it has {})", what,
                                   kMonthNames[date.month - 1], date.year, date.day, days));
    }
    return date;
}

std::string MonthName(int month) {
    return kMonthNames[month - 1];
}

DemoDate LocalDemoDate() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

void RunDemo() {
    RunDemo(LocalDemoDate());
}

void RunDemo(const DemoDate& today) {
    const auto start = std::chrono::steady_clock::now();
    Output out;
    out << "== 1. Logon handshake over loopback TCP ==\n" << DemoHandshake() << "\n";
    out << "== 2. Market-data price record as a ladder ==\n" << DemoLadder() << "\n";
    out << "== 3. Account contracts and roll-over look-up ==\n" << DemoAccount(today) << "\n";
    out << "== 4. Order events applied to a live order book ==\n" << DemoOrders() << "\n";
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    out << "demo finished in " << FormatDouble(static_cast<int>(took.count() * 10) / 10.0)
        << " ms\n";
    out.Finish();
}

}  // namespace lmwire
