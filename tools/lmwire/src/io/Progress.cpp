#include "io/Progress.h"

#include <unistd.h>

#include <cstdio>

#include <fmt/format.h>

namespace lmwire {

Progress::Progress(std::uint64_t total)
    : total_(total), shown_(total >= kThreshold && isatty(STDERR_FILENO) == 1) {}

Progress::~Progress() {
    if (shown_ && percent_ >= 0) {
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
    }
}

void Progress::Update(std::uint64_t done) {
    if (!shown_ || total_ == 0) {
        return;
    }
    const int percent = static_cast<int>(done * 100 / total_);
    if (percent == percent_) {
        return;
    }
    percent_ = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    fmt::print(stderr, "\rdecoding [{:#<{}}{:.<{}}] {:3}%", "", filled, "", kWidth - filled,
               percent);
    std::fflush(stderr);
}

}  // namespace lmwire
