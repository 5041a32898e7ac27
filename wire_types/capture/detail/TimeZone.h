#pragma once

// Local dates of UTC seconds in a time zone of the system's zoneinfo files (TZif, version 2 or
// later, as /usr/share/zoneinfo holds them). The standard library of this project's compilers has
// no time-zone database, and a dataset needs only the offset from UTC at an instant: the
// transitions of the file's 64-bit block, then the rule of its footer (a POSIX TZ string) past
// the last one.

#include <cstdint>
#include <string>
#include <vector>

namespace Lumera::capture::detail {

// a / b rounded toward negative infinity: times before 1970 fall on the days before it.
[[nodiscard]] constexpr std::int64_t FloorDiv(std::int64_t a, std::int64_t b) noexcept {
    return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0);
}

// Days since 1970-01-01 as "YYYY-MM-DD" (proleptic Gregorian), and the days of a date.
[[nodiscard]] std::string CivilDate(std::int64_t days);
[[nodiscard]] std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) noexcept;
// "YYYY-MM-DD" naming a day of the calendar.
[[nodiscard]] bool ValidDate(const std::string& text) noexcept;

class TimeZone {
  public:
    // "UTC" (also "Etc/UTC" and the like, read from the file when there is one), or a name under
    // `root`. CaptureError naming the zone when there is no such zone file or it is damaged.
    static TimeZone Load(const std::string& name, const std::string& root = "/usr/share/zoneinfo");
    // Read from a TZif file's bytes; `name` is for messages.
    static TimeZone FromBytes(const std::string& name, const unsigned char* data, std::size_t size);

    // The offset from UTC in force at a UTC instant (seconds to add for the local time), and
    // the UTC seconds over which it holds: begin <= utc < end.
    struct Span {
        std::int64_t offset = 0;
        std::int64_t begin = 0;
        std::int64_t end = 0;
    };
    [[nodiscard]] Span SpanAt(std::int64_t utc) const noexcept;

  private:
    // A POSIX TZ rule: standard offset, and with daylight saving its offset and the two local
    // switching times within a year (month, week 1-5, weekday, seconds after midnight).
    struct Switch {
        int month = 0, week = 0, weekday = 0;
        std::int64_t time = 7200;
    };
    struct Rule {
        bool parsed = false;
        std::int64_t standard = 0;
        bool daylight = false;
        std::int64_t saving = 0;
        Switch start, end;
    };
    [[nodiscard]] Span RuleSpan(std::int64_t utc, std::int64_t from) const noexcept;
    static Rule ParseRule(const std::string& text);

    std::vector<std::int64_t> transitions_;  // UTC seconds, ascending
    std::vector<std::int64_t> offsets_;      // the offset from each transition on
    std::int64_t initial_ = 0;               // before the first transition
    Rule rule_;
};

}  // namespace Lumera::capture::detail
