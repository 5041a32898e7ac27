#include "wire_types/capture/detail/TimeZone.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <limits>

#include "wire_types/capture/Stream.h"
#include "wire_types/capture/detail/Escaped.h"

namespace Lumera::capture::detail {
namespace {

constexpr std::int64_t kDay = 86400;
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kAlways = std::numeric_limits<std::int64_t>::min();

bool Leap(std::int64_t year) noexcept {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

unsigned MonthDays(std::int64_t year, unsigned month) noexcept {
    static constexpr unsigned kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && Leap(year) ? 29 : kDays[month - 1];
}

std::int64_t Big32(const unsigned char* p) noexcept {
    return static_cast<std::int32_t>(std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                                     std::uint32_t{p[2]} << 8 | p[3]);
}

std::int64_t Big64(const unsigned char* p) noexcept {
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i) {
        value = value << 8 | p[i];
    }
    return static_cast<std::int64_t>(value);
}

// A POSIX TZ string read left to right; any flaw leaves the rule unparsed.
class RuleText {
  public:
    explicit RuleText(const std::string& text) : text_(text) {}
    bool AtEnd() const noexcept { return at_ == text_.size(); }
    bool Take(char c) noexcept {
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    // An abbreviation: letters, or anything between < and >.
    bool Name() noexcept {
        const std::size_t from = at_;
        if (Take('<')) {
            while (at_ < text_.size() && text_[at_] != '>') {
                ++at_;
            }
            return Take('>');
        }
        while (at_ < text_.size() && std::isalpha(static_cast<unsigned char>(text_[at_])) != 0) {
            ++at_;
        }
        return at_ - from >= 3;
    }
    bool Number(std::int64_t& value) noexcept {
        const std::size_t from = at_;
        value = 0;
        while (at_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[at_])) != 0 &&
               at_ - from < 3) {
            value = value * 10 + (text_[at_++] - '0');
        }
        return at_ > from;
    }
    // [+-]hh[:mm[:ss]] in seconds.
    bool Time(std::int64_t& seconds) noexcept {
        const bool negative = Take('-');
        if (!negative) {
            Take('+');
        }
        std::int64_t part = 0;
        if (!Number(part)) {
            return false;
        }
        seconds = part * 3600;
        for (std::int64_t unit : {60, 1}) {
            if (!Take(':')) {
                break;
            }
            if (!Number(part)) {
                return false;
            }
            seconds += part * unit;
        }
        seconds = negative ? -seconds : seconds;
        return true;
    }
    bool Peek(char c) const noexcept { return at_ < text_.size() && text_[at_] == c; }

  private:
    const std::string& text_;
    std::size_t at_ = 0;
};

}  // namespace

std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) noexcept {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = FloorDiv(year, 400);
    const auto yoe = static_cast<unsigned>(year - era * 400);
    const unsigned doy = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string CivilDate(std::int64_t days) {
    days += 719468;
    const std::int64_t era = FloorDiv(days, 146097);
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned day = doy - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    const std::int64_t year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(year), month, day);
    return text;
}

bool ValidDate(const std::string& text) noexcept {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return false;
    }
    for (const std::size_t i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            return false;
        }
    }
    const int year = std::stoi(text.substr(0, 4));
    const auto month = static_cast<unsigned>(std::stoi(text.substr(5, 2)));
    const auto day = static_cast<unsigned>(std::stoi(text.substr(8, 2)));
    return month >= 1 && month <= 12 && day >= 1 && day <= MonthDays(year, month);
}

TimeZone TimeZone::Load(const std::string& name, const std::string& root) {
    // A name is a path below the root, never out of it.
    const bool safe = !name.empty() && name.front() != '/' &&
                      name.find("..") == std::string::npos && name.find('\0') == std::string::npos;
    std::vector<unsigned char> bytes;
    struct stat info {};
    const std::string path = root + "/" + name;
    if (safe && stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
        std::ifstream in(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    if (bytes.empty()) {
        if (name == "UTC") {
            return TimeZone();
        }
        throw CaptureError("unknown time zone " + Escaped(name) + " (no file " +
                           Escaped(root + "/" + name) + ")");
    }
    return FromBytes(name, bytes.data(), bytes.size());
}

TimeZone TimeZone::FromBytes(const std::string& name, const unsigned char* data, std::size_t size) {
    const auto damaged = [&](const char* why) {
        return CaptureError("time zone " + Escaped(name) +
                            ": not a TZif file of version 2 or later (" + why + ")");
    };
    constexpr std::size_t kHeader = 44;
    // The counts of a header: UT/local, standard/wall, leap seconds, transitions, types, chars.
    const auto counts = [&](std::size_t at, std::int64_t(&c)[6]) {
        if (size < at + kHeader ||
            std::string(reinterpret_cast<const char*>(data + at), 4) != "TZif") {
            throw damaged("no header");
        }
        for (int i = 0; i < 6; ++i) {
            c[i] = Big32(data + at + 20 + 4 * i);
            if (c[i] < 0 || c[i] > 1 << 20) {
                throw damaged("impossible counts");
            }
        }
    };
    std::int64_t c[6];
    counts(0, c);
    if (data[4] < '2') {
        throw damaged("version 1");
    }
    const std::int64_t v1 = c[3] * 5 + c[4] * 6 + c[5] + c[2] * 8 + c[1] + c[0];
    const std::size_t second = kHeader + static_cast<std::size_t>(v1);
    counts(second, c);
    const auto [isut, isstd, leaps, times, types, chars] = c;
    std::size_t at = second + kHeader;
    const std::size_t body =
        static_cast<std::size_t>(times * 9 + types * 6 + chars + leaps * 12 + isstd + isut);
    if (types == 0 || size < at + body) {
        throw damaged("cut short");
    }
    std::vector<std::int64_t> typeOffsets(static_cast<std::size_t>(types));
    const unsigned char* typeAt = data + at + times * 9;
    for (std::size_t i = 0; i < typeOffsets.size(); ++i) {
        typeOffsets[i] = Big32(typeAt + 6 * i);
    }
    TimeZone zone;
    for (std::int64_t i = 0; i < times; ++i) {
        const std::size_t type = data[at + static_cast<std::size_t>(times * 8 + i)];
        if (type >= typeOffsets.size()) {
            throw damaged("a transition to no type");
        }
        zone.transitions_.push_back(Big64(data + at + 8 * i));
        zone.offsets_.push_back(typeOffsets[type]);
    }
    if (!std::is_sorted(zone.transitions_.begin(), zone.transitions_.end())) {
        throw damaged("transitions out of order");
    }
    zone.initial_ = typeOffsets[0];
    at += body;
    // The footer: "\n" TZ "\n".
    if (at < size && data[at] == '\n') {
        const auto* first = reinterpret_cast<const char*>(data + at + 1);
        const auto* last = reinterpret_cast<const char*>(data + size);
        zone.rule_ = ParseRule(std::string(first, std::find(first, last, '\n')));
    }
    return zone;
}

TimeZone::Rule TimeZone::ParseRule(const std::string& text) {
    Rule rule;
    RuleText in(text);
    std::int64_t west = 0;
    if (!in.Name() || !in.Time(west)) {
        return rule;
    }
    rule.standard = -west;
    if (in.AtEnd()) {
        rule.parsed = true;
        return rule;
    }
    if (!in.Name()) {
        return rule;
    }
    rule.daylight = true;
    rule.saving = 3600;
    if (!in.Peek(',')) {
        if (!in.Time(west)) {
            return rule;
        }
        rule.saving = -west - rule.standard;
    }
    // Only the month-week-day form of the switches: the zone files of this century use no other.
    for (Switch* s : {&rule.start, &rule.end}) {
        std::int64_t month = 0, week = 0, weekday = 0;
        if (!in.Take(',') || !in.Take('M') || !in.Number(month) || !in.Take('.') ||
            !in.Number(week) || !in.Take('.') || !in.Number(weekday) || month < 1 || month > 12 ||
            week < 1 || week > 5 || weekday > 6) {
            return rule;
        }
        *s = Switch{static_cast<int>(month), static_cast<int>(week), static_cast<int>(weekday)};
        if (in.Take('/') && !in.Time(s->time)) {
            return rule;
        }
    }
    rule.parsed = in.AtEnd();
    return rule;
}

TimeZone::Span TimeZone::RuleSpan(std::int64_t utc, std::int64_t from) const noexcept {
    if (!rule_.daylight) {
        return {rule_.standard, from, kNever};
    }
    // The UTC instants of the switches of a year: the start in standard time, the end in
    // daylight time.
    const auto instant = [&](std::int64_t year, const Switch& s, std::int64_t offset) {
        const std::int64_t first = DaysFromCivil(year, static_cast<unsigned>(s.month), 1);
        const std::int64_t firstWeekday = ((first + 4) % 7 + 7) % 7;  // 1970-01-01: Thursday
        std::int64_t day = 1 + (s.weekday - firstWeekday + 7) % 7 + (s.week - 1) * 7;
        while (day > MonthDays(year, static_cast<unsigned>(s.month))) {
            day -= 7;
        }
        return (first + day - 1) * kDay + s.time - offset;
    };
    const std::int64_t year =
        std::stoll(CivilDate(FloorDiv(utc + rule_.standard, kDay)).substr(0, 4));
    std::int64_t begin = from;
    std::int64_t end = kNever;
    bool daylight = false;
    std::int64_t latest = kAlways;
    for (std::int64_t y = year - 1; y <= year + 1; ++y) {
        for (const bool start : {true, false}) {
            const std::int64_t at = start ? instant(y, rule_.start, rule_.standard)
                                          : instant(y, rule_.end, rule_.standard + rule_.saving);
            if (at <= utc && at > latest) {
                latest = at;
                daylight = start;
            }
            if (at > utc) {
                end = std::min(end, at);
            }
        }
    }
    begin = std::max(begin, latest);
    return {rule_.standard + (daylight ? rule_.saving : 0), begin, end};
}

TimeZone::Span TimeZone::SpanAt(std::int64_t utc) const noexcept {
    if (transitions_.empty()) {
        return rule_.parsed ? RuleSpan(utc, kAlways) : Span{initial_, kAlways, kNever};
    }
    const auto next = std::upper_bound(transitions_.begin(), transitions_.end(), utc);
    if (next == transitions_.begin()) {
        return {initial_, kAlways, *next};
    }
    const auto index = static_cast<std::size_t>(next - transitions_.begin()) - 1;
    if (next == transitions_.end() && rule_.parsed) {
        return RuleSpan(utc, transitions_[index]);
    }
    return {offsets_[index], transitions_[index], next == transitions_.end() ? kNever : *next};
}

}  // namespace Lumera::capture::detail
