#pragma once

// Internal helpers for the text and date fields of the raw records: conversion between owned
// wide strings (BSTR) and narrow Windows-1252 text, the flat form of a text field (its narrow
// text and one zero byte) and OLE dates as seconds since 1970.

#include <cstddef>
#include <string>

#include "wire_types/support/Platform.h"

namespace Lumera::detail {

// Null in, null out. Throws _com_error(E_OUTOFMEMORY) when the string cannot be allocated.
BSTR NarrowToWide(const char* text);
// A new string of `units` units (their content undefined) and its terminator. Throws
// _com_error(E_OUTOFMEMORY) when it cannot be allocated, and before allocating anything for a
// length that the string's 32-bit length cannot hold.
BSTR AllocateWideUnits(std::size_t units);
// Null in, null out. The result is allocated with new[]; the caller releases it with delete[].
char* WideToNarrow(const OLECHAR* text);

// Size in bytes of the field's flat form: its units before the first zero unit, plus one.
long WireStringSize(const BSTR* field);
// Writes the flat form of value (null as empty) at buffer + offset and advances offset.
void WriteWireString(const OLECHAR* value, long& offset, unsigned char* buffer);
// Reads a flat form at buffer + offset into *field (a new, never null string) and advances
// offset. It does not release what *field held before.
void ReadWireString(long& offset, BSTR* field, unsigned char* buffer);

// Getter and setter rules shared by every text field of the wrapping classes.
std::string GetWireText(const OLECHAR* field);
// Converts value (cut at its first NUL) and replaces the field's string; on a conversion error
// the field keeps its old string.
void SetWireText(BSTR& field, const std::string& value);
// Releases the field's string (if any) and leaves it null.
void FreeWireText(BSTR& field) noexcept;
// A new string holding the field's text up to its first zero unit (empty, not null, for null).
// Null when it cannot be allocated: only a record's constructor, whose field may stay null,
// takes that; a copy of a text that exists uses DuplicateWireText.
BSTR CopyWireText(const OLECHAR* field) noexcept;
// As CopyWireText, but throws _com_error(E_OUTOFMEMORY) when the string cannot be allocated.
BSTR DuplicateWireText(const OLECHAR* field);
// Replaces, in place, each unit that Windows-1252 cannot express with '?': the text then holds
// what a trip through its flat form would give, without the trip.
void KeepAnsiUnits(BSTR text) noexcept;

// Current UTC time as an OLE date.
double CurrentOleDate();
// Seconds since 1970-01-01 00:00:00 UTC of an OLE date, as the low 32 bits of the count.
long OleDateToUnixTime(double date);
// OLE date of a count of seconds since 1970 (for callers and tests that build records).
double UnixTimeToOleDate(double seconds);

// Every string this library allocates first asks the gate, when one is set, and fails as an
// exhausted allocator would when the gate answers false. It lets the tests fail the text
// allocations in turn, beside operator new, on every platform: the Windows build allocates
// through the system's own calls, which no test can make fail. Not exported: only the tests,
// which link the library's objects, set it.
using TextAllocationGate = bool (*)() noexcept;
void SetTextAllocationGate(TextAllocationGate gate) noexcept;

}  // namespace Lumera::detail
