#pragma once

// Every form of operator new, and the library's texts (FailingTexts.cpp), go through one counter:
// a test can make the n-th allocation fail and count the blocks still live.

#include <atomic>
#include <cstddef>

namespace orders_test {

class FailingAllocation {
  public:
    enum class Texts { Count, Skip };

    // While one lives, this thread's allocation numbered `failAt` (0 = the next) fails; with
    // Texts::Skip the library's texts are neither counted nor failed.
    explicit FailingAllocation(long failAt, Texts texts = Texts::Count) noexcept;
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    static bool TextFailsNow() noexcept;

    bool Failed() const noexcept;

    // Blocks from operator new not yet given back, in the whole program.
    static long LiveBlocks() noexcept;
};

}  // namespace orders_test
