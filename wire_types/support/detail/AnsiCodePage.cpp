#include "wire_types/support/detail/AnsiCodePage.h"

namespace Lumera::detail {

#if defined(_WIN32)

namespace {

// Windows-1252 whatever the machine's ANSI code page: the flat form needs one byte per character
// and both ends of the wire the same bytes.
constexpr UINT kWireCodePage = 1252;

}  // namespace

OLECHAR AnsiCharToWide(unsigned char c) noexcept {
    const char byte = static_cast<char>(c);
    OLECHAR unit = 0;
    // The system maps the five undefined bytes to the units of the same value, as the table below
    // does elsewhere; the fallback only keeps the promise should a conversion ever fail.
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

#else

namespace {

// Windows-1252 bytes 0x80 to 0x9F; zero marks the five bytes the code page leaves undefined.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

}  // namespace

OLECHAR AnsiCharToWide(unsigned char c) noexcept {
    if (c >= 0x80 && c <= 0x9F && kHighControls[c - 0x80] != 0) {
        return kHighControls[c - 0x80];
    }
    return c;
}

char WideCharToAnsi(OLECHAR unit) noexcept {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    for (unsigned i = 0; i < 32; ++i) {
        const char16_t mapped = kHighControls[i];
        if (mapped == unit || (mapped == 0 && unit == 0x80 + i)) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

#endif  // _WIN32

}  // namespace Lumera::detail
