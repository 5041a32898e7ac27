#include "wire_types/accounts/detail/LocalClock.h"

#include <ctime>

namespace Lumera::detail {

LocalYearMonth CurrentLocalYearMonth() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    // The reentrant forms: std::localtime's shared result would race with other threads.
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    return LocalYearMonth{local.tm_year + 1900, local.tm_mon + 1};
}

}  // namespace Lumera::detail
