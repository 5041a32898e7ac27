#include "wire_types/support/detail/VeySafeLock.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

namespace {

// Whether another thread could enter the section now.
bool FreeForOthers(std::recursive_mutex& section) {
    bool free = false;
    std::thread([&] {
        free = section.try_lock();
        if (free) {
            section.unlock();
        }
    }).join();
    return free;
}

// A guard leaves once (destroyed, unwinding or unlocked) and only what it entered, so the outer
// guard's hold survives a second Lock, an idle guard and an unlocked one.
TEST(VeySafeLock, EachGuardReleasesOnceWhatItHolds) {
    std::recursive_mutex section;
    {
        VeySafeLock outer(section);
        outer.Lock();
        outer.Lock();
        {
            VeySafeLock inner(section);
            inner.Lock();  // the same thread enters again without blocking
            VeySafeLock idle(section);
            VeySafeLock early(section);
            early.Lock();
            early.Unlock();
        }
        EXPECT_FALSE(FreeForOthers(section));
        try {
            VeySafeLock guard(section);
            guard.Lock();
            throw std::runtime_error("work failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_FALSE(FreeForOthers(section));
    }
    EXPECT_TRUE(FreeForOthers(section));
}

}  // namespace
