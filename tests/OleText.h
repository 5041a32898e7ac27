#pragma once

// Texts of OLECHAR units in tests that run on every platform: OLECHAR is char16_t with the
// stand-ins and wchar_t on Windows, so literals are written OLESTR("...") and held in OleString.

#include <string>

#include "wire_types/support/Platform.h"

using OleString = std::basic_string<OLECHAR>;
