#pragma once

// Every unaligned form of operator new in the test program (single and array, throwing and
// nothrow) goes through one counter, so that a test can make the n-th allocation of an operation
// fail, whichever form the library or the standard library happens to use, and can count the
// blocks still live. In the orders test program, which links the library's objects, the library's
// text strings count too (FailingTexts.cpp).

#include <atomic>
#include <cstddef>

namespace orders_test {

class FailingAllocation {
  public:
    enum class Texts { Count, Skip };

    // While one lives, the allocation numbered `failAt` (0 = the next one) made by this thread
    // fails, and every allocation after it succeeds again. With Texts::Skip the library's texts
    // are neither counted nor failed.
    explicit FailingAllocation(long failAt, Texts texts = Texts::Count) noexcept;
    ~FailingAllocation();
    FailingAllocation(const FailingAllocation&) = delete;
    FailingAllocation& operator=(const FailingAllocation&) = delete;

    // Counts one of the library's texts: whether it is the allocation chosen to fail.
    static bool TextFailsNow() noexcept;

    // Whether the allocation chosen to fail was reached.
    bool Failed() const noexcept;

    // Blocks from every form of operator new not yet given back, in the whole program.
    static long LiveBlocks() noexcept;
};

}  // namespace orders_test
