#include "FailingAllocation.h"

#include <cstdlib>
#include <new>
#if defined(_WIN32)
#include <malloc.h>
#endif

namespace {

// Per thread: the collections' stress tests run other threads that must not be made to fail.
thread_local long countdown = -1;
thread_local bool failed = false;
thread_local bool textsCount = true;
std::atomic<long> live{0};

// Whether this allocation is the one chosen to fail.
bool FailsNow() noexcept {
    if (countdown >= 0 && countdown-- == 0) {
        failed = true;
        return true;
    }
    return false;
}

// Aligned forms (alignment above zero) take and return their blocks apart, as Windows needs.
void* Allocate(std::size_t size, std::size_t alignment) {
    if (FailsNow()) {
        throw std::bad_alloc();
    }
    size = size == 0 ? 1 : size;
#if defined(_WIN32)
    void* block = alignment == 0 ? std::malloc(size) : _aligned_malloc(size, alignment);
#else
    void* block = alignment == 0 ? std::malloc(size)
                                 : std::aligned_alloc(
                                       alignment, (size + alignment - 1) / alignment * alignment);
#endif
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    live.fetch_add(1, std::memory_order_relaxed);
    return block;
}

void* AllocateNoThrow(std::size_t size, std::size_t alignment) noexcept {
    try {
        return Allocate(size, alignment);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void Free(void* block, [[maybe_unused]] bool aligned) noexcept {
    if (block == nullptr) {
        return;
    }
    live.fetch_sub(1, std::memory_order_relaxed);
#if defined(_WIN32)
    if (aligned) {
        _aligned_free(block);
        return;
    }
#endif
    std::free(block);
}

std::size_t Bytes(std::align_val_t alignment) {
    return static_cast<std::size_t>(alignment);
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

// Every replaceable form, once for single objects and once for arrays.
// clang-format off
#define REPLACE_FORMS(NEW, DELETE)                                                              \
    void* NEW(std::size_t n) { return Allocate(n, 0); }                                         \
    void* NEW(std::size_t n, const std::nothrow_t&) noexcept { return AllocateNoThrow(n, 0); }  \
    void* NEW(std::size_t n, std::align_val_t a) { return Allocate(n, Bytes(a)); }              \
    void* NEW(std::size_t n, std::align_val_t a, const std::nothrow_t&) noexcept {              \
        return AllocateNoThrow(n, Bytes(a));                                                    \
    }                                                                                           \
    void DELETE(void* p) noexcept { Free(p, false); }                                           \
    void DELETE(void* p, std::size_t) noexcept { Free(p, false); }                              \
    void DELETE(void* p, const std::nothrow_t&) noexcept { Free(p, false); }                    \
    void DELETE(void* p, std::align_val_t) noexcept { Free(p, true); }                          \
    void DELETE(void* p, std::size_t, std::align_val_t) noexcept { Free(p, true); }             \
    void DELETE(void* p, std::align_val_t, const std::nothrow_t&) noexcept { Free(p, true); }

REPLACE_FORMS(operator new, operator delete)
REPLACE_FORMS(operator new[], operator delete[])
// clang-format on
