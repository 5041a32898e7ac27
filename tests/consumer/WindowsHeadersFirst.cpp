// A Windows consumer that includes the system's headers before the library's: the two must agree
// on BSTR, the Sys*String calls and _com_error.
#include <comdef.h>
#include <windows.h>

#include "wire_types/LMWireTypes.h"

bool SystemHeadersFirst() {
    BSTR text = SysAllocString(L"first");
    const bool sized = text != nullptr && SysStringLen(text) == 5;
    SysFreeString(text);

    bool caught = false;
    try {
        throw _com_error(E_OUTOFMEMORY);
    } catch (const _com_error& error) {
        caught = error.Error() == E_OUTOFMEMORY;
    }
    // SetPort is also a macro of <windows.h>; the member must keep its own name.
    Lumera::LogonResponsePacket response(Lumera::errNone);
    response.SetPort(9100);
    return sized && caught && response.GetPort() == 9100;
}
