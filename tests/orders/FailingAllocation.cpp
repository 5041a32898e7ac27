#include "FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {

// Per thread: other threads of the stress tests must not fail.
thread_local long countdown = -1;
thread_local bool failed = false;
thread_local bool textsCount = true;
std::atomic<long> live{0};

bool FailsNow() noexcept {
    if (countdown >= 0 && countdown-- == 0) {
        failed = true;
        return true;
    }
    return false;
}

void* Allocate(std::size_t size) {
    void* block = FailsNow() ? nullptr : std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    live.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void Free(void* block) noexcept {
    if (block != nullptr) {
        live.fetch_sub(1, std::memory_order_relaxed);
        std::free(block);
    }
}

}  // namespace

namespace orders_test {

FailingAllocation::FailingAllocation(long failAt, Texts texts) noexcept {
    countdown = failAt;
    failed = false;
    textsCount = texts == Texts::Count;
}
FailingAllocation::~FailingAllocation() {
    countdown = -1;
}
bool FailingAllocation::TextFailsNow() noexcept {
    return textsCount && FailsNow();
}
bool FailingAllocation::Failed() const noexcept {
    return failed;
}
long FailingAllocation::LiveBlocks() noexcept {
    return live.load(std::memory_order_relaxed);
}

}  // namespace orders_test

// Every unaligned form (no type here asks for more than the default alignment).
// clang-format off
#define REPLACE_FORMS(NEW, DELETE)                                                              \
    void* NEW(std::size_t n) { return Allocate(n); }                                            \
    void* NEW(std::size_t n, const std::nothrow_t&) noexcept {                                  \
        try { return Allocate(n); } catch (const std::bad_alloc&) { return nullptr; }           \
    }                                                                                           \
    void DELETE(void* p) noexcept { Free(p); }                                                  \
    void DELETE(void* p, std::size_t) noexcept { Free(p); }                                     \
    void DELETE(void* p, const std::nothrow_t&) noexcept { Free(p); }

REPLACE_FORMS(operator new, operator delete)
REPLACE_FORMS(operator new[], operator delete[])
// clang-format on
