#pragma once

// The shared library is built with hidden visibility; only classes and functions marked with
// LMWIRE_API are part of its exported surface.
#if defined(_WIN32)
#if defined(LMWIRE_BUILDING)
#define LMWIRE_API __declspec(dllexport)
#else
#define LMWIRE_API __declspec(dllimport)
#endif
#else
#define LMWIRE_API __attribute__((visibility("default")))
#endif
