// Built against the installed package only: proves the exported surface links and works.
#include <cstdio>
#include <string>

#include "wire_types/LMWireTypes.h"

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
