// A Windows consumer that includes the system's headers after the library's, the library's own
// contract objects holding system-allocated strings.
#include "wire_types/LMWireTypes.h"

#include <comdef.h>
#include <windows.h>

bool SystemHeadersAfter() {
    Lumera::CLMWireContract contract;
    contract.setSymbol("ESZ4");
    BSTR symbol = contract.getWireContract()->symbol;
    const bool stored = symbol != nullptr && SysStringLen(symbol) == 4 && symbol[3] == L'4';

    double date = 0.0;
    SYSTEMTIME noon{2013, 2, 0, 28, 12, 0, 0, 0};
    const bool dated = SystemTimeToVariantTime(&noon, &date) != 0 && date == 41333.5;
    return stored && dated;
}
