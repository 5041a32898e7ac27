// The texts' own allocator must stay the system's (for the sanitizers): the library asks this gate.

#include "FailingAllocation.h"
#include "wire_types/support/detail/WireStrings.h"

namespace {

bool TextAllowed() noexcept {
    return !orders_test::FailingAllocation::TextFailsNow();
}

[[maybe_unused]] const bool gateSet = (Lumera::detail::SetTextAllocationGate(&TextAllowed), true);

}  // namespace
