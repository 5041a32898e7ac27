#pragma once

// The capture component is a library of its own (LMWireTypes::Capture), so that the core library
// keeps no dependency: its shared form exports only what LMWIRE_CAPTURE_API marks, as the core
// does with LMWIRE_API.

#include "wire_types/support/Export.h"

#if defined(LMWIRE_CAPTURE_STATIC)
#define LMWIRE_CAPTURE_API
#else
#define LMWIRE_CAPTURE_API __attribute__((visibility("default")))
#endif
