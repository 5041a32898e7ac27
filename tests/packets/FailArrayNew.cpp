// Replaces the array allocation functions of the test program so that tests can make them fail.
// Storage comes from the single-object forms, and array delete returns it there.

#include <atomic>
#include <new>

#include "PacketTestSupport.h"

namespace {
std::atomic<bool> failing{false};
}

packets_test::FailArrayNew::FailArrayNew() {
    failing = true;
}
packets_test::FailArrayNew::~FailArrayNew() {
    failing = false;
}

void* operator new[](std::size_t size) {
    if (failing) {
        throw std::bad_alloc();
    }
    return ::operator new(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return failing ? nullptr : ::operator new(size, tag);
}

void operator delete[](void* pointer) noexcept {
    ::operator delete(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    ::operator delete(pointer);
}
void operator delete[](void* pointer, const std::nothrow_t&) noexcept {
    ::operator delete(pointer);
}
