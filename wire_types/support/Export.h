#pragma once

// The shared library is built with hidden visibility; only classes and functions marked with
// LMWIRE_API are part of its exported surface. A static library exports nothing: its consumers
// see LMWIRE_STATIC (the exported target carries it), so that they expect no DLL import.
#if defined(LMWIRE_STATIC)
#define LMWIRE_API
#elif defined(_WIN32)
#if defined(LMWIRE_BUILDING)
#define LMWIRE_API __declspec(dllexport)
#else
#define LMWIRE_API __declspec(dllimport)
#endif
#else
#define LMWIRE_API __attribute__((visibility("default")))
#endif
