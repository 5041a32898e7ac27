#pragma once

// The Windows types and calls that the wire records were written against. On Windows they are the
// system's own; elsewhere this header provides stand-ins in the global namespace under the
// Windows names, so that code written for the Windows headers compiles unchanged.

#include "wire_types/support/Export.h"

#if defined(_WIN32)

// The system's definitions: BSTR, OLECHAR and the Sys*String calls, SYSTEMTIME, FILETIME and the
// OLE date calls (oleaut32), and _com_error. A consumer may include these before or after us.
#include <windows.h>

#include <comdef.h>
#include <oleauto.h>

// <winspool.h> makes SetPort a macro for SetPortA or SetPortW (after UNICODE), which would rename
// LogonResponsePacket::SetPort in a consumer and leave it unresolved against the library. Here
// <windows.h> has been read, so a later inclusion cannot bring the macro back.
#undef SetPort

#else

#include <cstdint>
#include <exception>

using OLECHAR = char16_t;
using BSTR = OLECHAR*;
using HRESULT = std::int32_t;

// A text literal of OLECHAR units: OLESTR("ES") is u"ES" here and L"ES" on Windows.
#define OLESTR(text) u##text

inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000EU);

// OLE Automation strings: a 4-byte byte-length prefix before the returned pointer and a zero
// unit after the text. Null is distinct from an empty string. Allocation failure returns null.
LMWIRE_API BSTR SysAllocString(const OLECHAR* text) noexcept;
LMWIRE_API BSTR SysAllocStringLen(const OLECHAR* text, unsigned int units) noexcept;
LMWIRE_API BSTR SysAllocStringByteLen(const char* bytes, unsigned int length) noexcept;
LMWIRE_API unsigned int SysStringLen(BSTR text) noexcept;
LMWIRE_API unsigned int SysStringByteLen(BSTR text) noexcept;
LMWIRE_API void SysFreeString(BSTR text) noexcept;

// The conversion exception of the text fields: carries the HRESULT of the failure.
class LMWIRE_API _com_error : public std::exception {
  public:
    explicit _com_error(HRESULT hr) noexcept;
    HRESULT Error() const noexcept { return hr_; }
    const char* what() const noexcept override { return text_; }

  private:
    HRESULT hr_;
    char text_[32];
};

// OLE Automation dates: days since 1899-12-30 00:00; a negative date keeps its fraction as a
// positive time of day.
struct SYSTEMTIME {
    std::uint16_t wYear;
    std::uint16_t wMonth;
    std::uint16_t wDayOfWeek;
    std::uint16_t wDay;
    std::uint16_t wHour;
    std::uint16_t wMinute;
    std::uint16_t wSecond;
    std::uint16_t wMilliseconds;
};

struct FILETIME {
    std::uint32_t dwLowDateTime;
    std::uint32_t dwHighDateTime;
};

// Current UTC time.
LMWIRE_API void GetSystemTime(SYSTEMTIME* time) noexcept;
// Calendar time to OLE date, milliseconds ignored. Returns 0 for an invalid calendar time.
LMWIRE_API int SystemTimeToVariantTime(const SYSTEMTIME* time, double* date) noexcept;
// OLE date to calendar time, rounded to the nearest second (halves up). Returns 0 for a date
// outside the years 100 to 9999.
LMWIRE_API int VariantTimeToSystemTime(double date, SYSTEMTIME* time) noexcept;
// Calendar time to 100-nanosecond intervals since 1601-01-01. Returns 0 before 1601.
LMWIRE_API int SystemTimeToFileTime(const SYSTEMTIME* time, FILETIME* fileTime) noexcept;

#endif  // _WIN32
