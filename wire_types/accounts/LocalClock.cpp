#include "wire_types/accounts/LocalClock.h"

#include <atomic>
#include <ctime>

namespace Lumera {

namespace {

LocalYearMonth SystemLocalYearMonth() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return LocalYearMonth{local.tm_year + 1900, local.tm_mon};
}

std::atomic<LocalClockFunction> installedClock{&SystemLocalYearMonth};

}  // namespace

LocalYearMonth CurrentLocalYearMonth() {
    return installedClock.load()();
}

LocalClockFunction SetLocalClock(LocalClockFunction clock) noexcept {
    return installedClock.exchange(clock != nullptr ? clock : &SystemLocalYearMonth);
}

}  // namespace Lumera
