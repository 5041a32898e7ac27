#pragma once

// The ANSI code page of the wire is Windows-1252 on every platform, one byte per character in both
// directions: every byte maps to one UTF-16 unit (the five bytes the code page leaves undefined
// map to the unit of the same value) and every unit maps to one byte, '?' for a unit the code page
// cannot express (a surrogate included), never a look-alike.

#include "wire_types/support/Platform.h"

namespace Lumera::detail {

OLECHAR AnsiCharToWide(unsigned char c) noexcept;
char WideCharToAnsi(OLECHAR unit) noexcept;

}  // namespace Lumera::detail
