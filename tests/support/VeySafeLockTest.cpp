#include "wire_types/support/detail/VeySafeLock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

TEST(VeySafeLock, RecursiveHoldExcludesAnotherThreadUntilBothGuardsAreGone) {
    std::recursive_mutex section;
    std::atomic<bool> entered{false};
    std::thread other;
    {
        VeySafeLock outer(section);
        outer.Lock();
        {
            VeySafeLock inner(section);
            inner.Lock();  // the same thread enters again without blocking
            other = std::thread([&] {
                VeySafeLock guard(section);
                guard.Lock();
                entered = true;
            });
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            EXPECT_FALSE(entered);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_FALSE(entered) << "released after only one of two entries";
    }
    other.join();
    EXPECT_TRUE(entered);
}

TEST(VeySafeLock, ReleasesDuringUnwindingAndOnlyWhatItHolds) {
    std::recursive_mutex section;
    try {
        VeySafeLock guard(section);
        guard.Lock();
        throw std::runtime_error("work failed");
    } catch (const std::runtime_error&) {
    }
    std::thread probe([&] {
        EXPECT_TRUE(section.try_lock());
        section.unlock();
    });
    probe.join();

    // A guard that never locked, or was unlocked early, releases nothing more.
    { VeySafeLock idle(section); }
    {
        VeySafeLock early(section);
        early.Lock();
        early.Unlock();
    }
    std::thread again([&] {
        EXPECT_TRUE(section.try_lock());
        section.unlock();
    });
    again.join();
}

}  // namespace
