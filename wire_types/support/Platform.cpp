// The stand-ins of every platform but Windows, which has the system's own.
#if !defined(_WIN32)

#include "wire_types/support/Platform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "wire_types/support/detail/OleDates.h"

namespace {

using Lumera::detail::CivilDate;
using Lumera::detail::CivilFromDays;
using Lumera::detail::DaysFromCivil;
using Lumera::detail::kOleEpochDays;
using Lumera::detail::kSecondsPerDay;

// The byte length lives in the four bytes before the text, as OLE lays it out.
constexpr std::size_t kPrefix = sizeof(std::uint32_t);

BSTR AllocateBytes(const void* source, unsigned int byteLength) noexcept {
    // Room for the prefix, the bytes and a whole zero unit after them.
    const std::size_t total = kPrefix + std::size_t{byteLength} + sizeof(OLECHAR);
    auto* block = static_cast<unsigned char*>(std::malloc(total));
    if (block == nullptr) {
        return nullptr;
    }
    const std::uint32_t length = byteLength;
    std::memcpy(block, &length, kPrefix);
    if (source != nullptr) {
        std::memcpy(block + kPrefix, source, byteLength);
    } else {
        std::memset(block + kPrefix, 0, byteLength);
    }
    std::memset(block + kPrefix + byteLength, 0, sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(block + kPrefix);
}

std::uint32_t ByteLength(BSTR text) noexcept {
    std::uint32_t length = 0;
    std::memcpy(&length, reinterpret_cast<unsigned char*>(text) - kPrefix, kPrefix);
    return length;
}

constexpr std::int64_t kFileTimeEpochDays = DaysFromCivil(1601, 1, 1);

}  // namespace

BSTR SysAllocString(const OLECHAR* text) noexcept {
    if (text == nullptr) {
        return nullptr;
    }
    unsigned int units = 0;
    while (text[units] != 0) {
        ++units;
    }
    return SysAllocStringLen(text, units);
}

BSTR SysAllocStringLen(const OLECHAR* text, unsigned int units) noexcept {
    if (units > std::numeric_limits<std::uint32_t>::max() / sizeof(OLECHAR) - kPrefix) {
        return nullptr;
    }
    return AllocateBytes(text, units * static_cast<unsigned int>(sizeof(OLECHAR)));
}

BSTR SysAllocStringByteLen(const char* bytes, unsigned int length) noexcept {
    if (length > std::numeric_limits<std::uint32_t>::max() - 2 * kPrefix) {
        return nullptr;
    }
    return AllocateBytes(bytes, length);
}

unsigned int SysStringLen(BSTR text) noexcept {
    return text == nullptr ? 0 : ByteLength(text) / static_cast<unsigned int>(sizeof(OLECHAR));
}

unsigned int SysStringByteLen(BSTR text) noexcept {
    return text == nullptr ? 0 : ByteLength(text);
}

void SysFreeString(BSTR text) noexcept {
    if (text != nullptr) {
        std::free(reinterpret_cast<unsigned char*>(text) - kPrefix);
    }
}

_com_error::_com_error(HRESULT hr) noexcept : hr_(hr) {
    std::snprintf(text_, sizeof text_, "HRESULT 0x%08X", static_cast<unsigned int>(hr));
}

void GetSystemTime(SYSTEMTIME* time) noexcept {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const std::int64_t ms = now.time_since_epoch().count();
    std::int64_t days = ms / (kSecondsPerDay * 1000);
    std::int64_t rest = ms % (kSecondsPerDay * 1000);
    if (rest < 0) {
        rest += kSecondsPerDay * 1000;
        --days;
    }
    const CivilDate date = CivilFromDays(days);
    time->wYear = static_cast<std::uint16_t>(date.year);
    time->wMonth = static_cast<std::uint16_t>(date.month);
    time->wDay = static_cast<std::uint16_t>(date.day);
    time->wDayOfWeek = static_cast<std::uint16_t>((days % 7 + 11) % 7);  // 1970-01-01: Thursday
    time->wHour = static_cast<std::uint16_t>(rest / 3600000);
    time->wMinute = static_cast<std::uint16_t>(rest / 60000 % 60);
    time->wSecond = static_cast<std::uint16_t>(rest / 1000 % 60);
    time->wMilliseconds = static_cast<std::uint16_t>(rest % 1000);
}

int SystemTimeToVariantTime(const SYSTEMTIME* time, double* date) noexcept {
    if (time == nullptr || date == nullptr || !Lumera::detail::IsValidCalendar(*time)) {
        return 0;
    }
    const std::int64_t days = DaysFromCivil(time->wYear, time->wMonth, time->wDay) - kOleEpochDays;
    const double fraction =
        static_cast<double>(time->wHour * 3600 + time->wMinute * 60 + time->wSecond) /
        static_cast<double>(kSecondsPerDay);
    // Before the epoch the whole part counts days backwards while the fraction still runs forward.
    *date = days < 0 ? static_cast<double>(days) - fraction : static_cast<double>(days) + fraction;
    return 1;
}

int VariantTimeToSystemTime(double date, SYSTEMTIME* time) noexcept {
    if (time == nullptr) {
        return 0;
    }
    *time = SYSTEMTIME{};
    Lumera::detail::OleDay split{};
    if (!Lumera::detail::SplitOleDate(date, split)) {
        return 0;
    }
    const std::int64_t epochDays = split.day + kOleEpochDays;
    const CivilDate civil = CivilFromDays(epochDays);
    time->wYear = static_cast<std::uint16_t>(civil.year);
    time->wMonth = static_cast<std::uint16_t>(civil.month);
    time->wDay = static_cast<std::uint16_t>(civil.day);
    time->wDayOfWeek = static_cast<std::uint16_t>(((epochDays % 7) + 11) % 7);
    time->wHour = static_cast<std::uint16_t>(split.second / 3600);
    time->wMinute = static_cast<std::uint16_t>(split.second / 60 % 60);
    time->wSecond = static_cast<std::uint16_t>(split.second % 60);
    time->wMilliseconds = 0;
    return 1;
}

int SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime) noexcept {
    if (time == nullptr || fileTime == nullptr || !Lumera::detail::IsValidCalendar(*time) ||
        time->wYear < 1601 || time->wMilliseconds > 999) {
        return 0;
    }
    const std::int64_t days =
        DaysFromCivil(time->wYear, time->wMonth, time->wDay) - kFileTimeEpochDays;
    const std::int64_t seconds =
        days * kSecondsPerDay + time->wHour * 3600 + time->wMinute * 60 + time->wSecond;
    const auto intervals = static_cast<std::uint64_t>(seconds) * 10000000ULL +
                           static_cast<std::uint64_t>(time->wMilliseconds) * 10000ULL;
    fileTime->dwLowDateTime = static_cast<std::uint32_t>(intervals);
    fileTime->dwHighDateTime = static_cast<std::uint32_t>(intervals >> 32);
    return 1;
}

#endif  // !_WIN32
