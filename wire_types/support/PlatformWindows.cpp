// Windows takes BSTR, the OLE dates and _com_error from the system; what is left is the wire's code
// page, through the system's conversions. Platform.cpp holds the stand-ins of other platforms.
#if defined(_WIN32)

#include "wire_types/support/Platform.h"

namespace {

// Windows-1252 whatever the machine's ANSI code page: the flat form needs one byte per character
// and both ends of the wire the same bytes.
constexpr UINT kWireCodePage = 1252;

}  // namespace

OLECHAR AnsiCharToWide(unsigned char c) noexcept {
    const char byte = static_cast<char>(c);
    OLECHAR unit = 0;
    // The system maps the five undefined bytes to the units of the same value, as the stand-ins
    // do; the fallback only keeps the promise should a conversion ever fail.
    if (MultiByteToWideChar(kWireCodePage, 0, &byte, 1, &unit, 1) != 1) {
        return c;
    }
    return unit;
}

char WideCharToAnsi(OLECHAR unit) noexcept {
    // Unit by unit, so that each half of a surrogate pair becomes a '?' of its own and the narrow
    // text keeps one byte per unit. Without WC_NO_BEST_FIT_CHARS the system writes look-alikes
    // (A for U+0100, O for U+03A9, - for U+2212) where the wire promises '?'.
    char byte = 0;
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(kWireCodePage, WC_NO_BEST_FIT_CHARS, &unit, 1, &byte, 1, nullptr,
                            &usedDefault) != 1 ||
        usedDefault) {
        return '?';
    }
    return byte;
}

#endif  // _WIN32
