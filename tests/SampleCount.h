#pragma once

// The number of random cases of the differential tests. Slow runs (memcheck) set
// LMWIRE_TEST_SAMPLE_PERCENT to a value from 1 to 100 and run that share of them.

#include <algorithm>
#include <cstdlib>

namespace lmwire_test {

inline int SampleCount(int full) {
    const char* percent = std::getenv("LMWIRE_TEST_SAMPLE_PERCENT");
    if (percent == nullptr) {
        return full;
    }
    const long share = std::clamp(std::strtol(percent, nullptr, 10), 1L, 100L);
    return std::max(1, static_cast<int>(full * share / 100));
}

}  // namespace lmwire_test
