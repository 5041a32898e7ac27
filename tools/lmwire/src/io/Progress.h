#pragma once

#include <cstdint>

namespace lmwire {

// A one-line bar on standard error for long decodes, shown only when standard error is a
// terminal and the work is large enough to be worth watching.
class Progress {
  public:
    static constexpr std::uint64_t kThreshold = 4u << 20;

    explicit Progress(std::uint64_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Update(std::uint64_t done);

  private:
    std::uint64_t total_;
    bool shown_;
    int percent_ = -1;
};

}  // namespace lmwire
