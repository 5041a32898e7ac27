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
    if (size == 0) {
        size = 1;
    }
    void* block = nullptr;
    if (alignment == 0) {
        block = std::malloc(size);
    } else {
#if defined(_WIN32)
        block = _aligned_malloc(size, alignment);
#else
        block = std::aligned_alloc(alignment, (size + alignment - 1) / alignment * alignment);
#endif
    }
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

void Free(void* block) noexcept {
    if (block != nullptr) {
        live.fetch_sub(1, std::memory_order_relaxed);
        std::free(block);
    }
}

void FreeAligned(void* block) noexcept {
    if (block != nullptr) {
        live.fetch_sub(1, std::memory_order_relaxed);
#if defined(_WIN32)
        _aligned_free(block);
#else
        std::free(block);
#endif
    }
}

constexpr std::size_t kPlain = 0;

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

void* operator new(std::size_t size) {
    return Allocate(size, kPlain);
}
void* operator new[](std::size_t size) {
    return Allocate(size, kPlain);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size, kPlain);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size, kPlain);
}
void* operator new(std::size_t size, std::align_val_t alignment) {
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
    return Allocate(size, static_cast<std::size_t>(alignment));
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size, static_cast<std::size_t>(alignment));
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
    return AllocateNoThrow(size, static_cast<std::size_t>(alignment));
}

void operator delete(void* block) noexcept {
    Free(block);
}
void operator delete[](void* block) noexcept {
    Free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete[](void* block, std::size_t) noexcept {
    Free(block);
}
void operator delete(void* block, const std::nothrow_t&) noexcept {
    Free(block);
}
void operator delete[](void* block, const std::nothrow_t&) noexcept {
    Free(block);
}
void operator delete(void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept {
    FreeAligned(block);
}
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept {
    FreeAligned(block);
}
