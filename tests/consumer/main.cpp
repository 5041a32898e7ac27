// Built against the installed package only: proves the exported surface links and works, and
// that the package tells its consumer what it is.
#include <cstdio>
#include <string>

#include "wire_types/LMWireTypes.h"

// A static library must reach its consumers as one: without LMWIRE_STATIC a Windows consumer
// would expect DLL imports.
#if defined(EXPECT_STATIC) != defined(LMWIRE_STATIC)
#error "LMWIRE_STATIC does not match the kind of library installed"
#endif
#if defined(EXPECTED_VERSION)
static_assert(LMWIRE_VERSION == EXPECTED_VERSION, "Version.h and the CMake package disagree");
#endif
// The package must leave the language standard to its consumer.
#if defined(EXPECT_CXX20)
static_assert(__cplusplus >= 202002L, "the package's flags lowered the language standard");
#endif
#if defined(LMWIRE_CONSUMER_WINDOWS)
bool SystemHeadersFirst();
bool SystemHeadersAfter();
#endif

int main() {
    BSTR text = SysAllocString(OLESTR("consumer"));
    const bool textOk = text != nullptr && SysStringLen(text) == 8;
    SysFreeString(text);

    bool caught = false;
    try {
        throw new VeyException("consumer");
    } catch (VeyException* e) {
        caught = e->message == "consumer";
        delete e;
    }

    Lumera::LogonResponsePacket response(Lumera::errNone);
    response.SetPort(9100);
    long length = 0;
    unsigned char* bytes = response.Encode(&length);
    const Lumera::LogonResponsePacket received(bytes);
    delete[] bytes;
    const bool packetOk = length == 8 && received.GetPort() == 9100;

#if defined(LMWIRE_CONSUMER_WINDOWS)
    const bool windowsOk = SystemHeadersFirst() && SystemHeadersAfter();
#else
    const bool windowsOk = true;
#endif

    if (!textOk || !caught || !packetOk || !windowsOk) {
        std::puts("consumer: FAILED");
        return 1;
    }
    std::puts("consumer: ok");
    return 0;
}
