#pragma once

// A kind's fields and values by the library's field tables: the names, ranges and capacities
// that decode prints and encode checks, and the bytes they are read from and written to, so the
// tool lists no record's fields of its own.

#include "records/Kinds.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire {

// The fields a table describes, in wire order: reserved bytes left out, a nested record's fields
// in line, and each side's depth rows (price and size) as one list of {Price, Size} levels.
std::vector<Field> FieldsOf(const Lumera::FieldTable& table);
// A list of records each described by `table`, named as the table is.
Field ListOf(const Lumera::FieldTable& table);
// A field shown by decode that follows from others (a count, a display text): never set.
Field DerivedField(const char* name, FieldType type);
// The kind's field of that name; std::logic_error when there is none, the tool's own fault.
Field& FieldNamed(std::vector<Field>& fields, std::string_view name);

// The integer, double and text fields of a fixed part into `into`, each under its name.
void ReadFixed(const Lumera::FieldTable& table, const unsigned char* block, Json& into);
// The same fields from `values` into a fixed part, whose other bytes are left as they are.
void WriteFixed(const Lumera::FieldTable& table, unsigned char* block, const Json& values);

// A flat form starting at `at`: its fixed block, then its texts and nested records as they
// follow. FlatEnd returns the offset after it, or 0 naming in `unterminated` the text that
// finds no zero byte before the end; the bytes must hold every fixed block.
std::size_t FlatEnd(const Lumera::FieldTable& table, const Bytes& bytes, std::size_t at,
                    const char*& unterminated);
std::size_t ReadFlat(const Lumera::FieldTable& table, const Bytes& bytes, std::size_t at,
                     Json& into);
void AppendFlat(const Lumera::FieldTable& table, const Json& values, Bytes& out);
// The bytes of every fixed block of a flat form and one zero byte for each of its texts.
std::size_t FlatMinimum(const Lumera::FieldTable& table);

}  // namespace lmwire
