#include "wire_types/LMWireTypes.h"

int foo(int);

// Deliberately warns under -Wextra (an unused parameter): linking the library must not bring
// its warnings, let alone -Werror, to the parent's code.
static int ignored(int unused) {
    return 0;
}

int main() {
    Lumera::LogonResponsePacket response(Lumera::errNone);
    response.SetPort(9100);
    const bool ok = response.GetPort() == 9100 && foo(0) == 1 && LMWIRE_VERSION_MAJOR >= 1;
    return ok ? ignored(0) : 1;
}
