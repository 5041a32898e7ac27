// Array new of the test program, made to fail on demand; storage comes from (and array delete
// returns it to) the single-object forms, so sanitizers see matching pairs.

#include <new>

#include "PacketTestSupport.h"

void* operator new[](std::size_t size) {
    if (packets_test::FailArrayNew::failing) {
        throw std::bad_alloc();
    }
    return ::operator new(size);
}

void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
    return packets_test::FailArrayNew::failing ? nullptr : ::operator new(size, tag);
}

void operator delete[](void* pointer) noexcept {
    ::operator delete(pointer);
}
void operator delete[](void* pointer, std::size_t) noexcept {
    ::operator delete(pointer);
}
