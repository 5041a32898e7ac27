#pragma once

#include <mutex>

// Scoped guard over a collection's recursive lock. The owner creates and destroys the lock; the
// guard only enters it (Lock) and leaves it once when destroyed, also during unwinding.
class VeySafeLock {
  public:
    explicit VeySafeLock(std::recursive_mutex& section) noexcept : section_(section) {}
    virtual ~VeySafeLock() { Unlock(); }

    VeySafeLock(const VeySafeLock&) = delete;
    VeySafeLock& operator=(const VeySafeLock&) = delete;

    void Lock() {
        if (!held_) {
            section_.lock();
            held_ = true;
        }
    }

    void Unlock() noexcept {
        if (held_) {
            held_ = false;
            section_.unlock();
        }
    }

  private:
    std::recursive_mutex& section_;
    bool held_ = false;
};
