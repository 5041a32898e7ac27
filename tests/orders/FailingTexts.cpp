// The library's texts come from the system's string allocator (malloc here), which the sanitizers
// and valgrind must keep: the library asks this gate instead, on every platform.

#include "FailingAllocation.h"
#include "wire_types/support/detail/WireStrings.h"

namespace {

bool TextAllowed() noexcept {
    return !orders_test::FailingAllocation::TextFailsNow();
}

[[maybe_unused]] const bool gateSet = (Lumera::detail::SetTextAllocationGate(&TextAllowed), true);

}  // namespace
