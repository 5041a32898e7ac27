#pragma once

// Every public header includes this one, so a consumer built below C++17 learns why at once.
#if (defined(_MSVC_LANG) && _MSVC_LANG < 201703L) || (!defined(_MSVC_LANG) && __cplusplus < 201703L)
#error "LMWireTypes requires C++17 or later (-std=c++17 or /std:c++17)"
#endif

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
