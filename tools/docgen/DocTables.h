#pragma once

// The tables of docs/wire-format.md, derived from the library's field tables: offsets, sizes and
// types come from the tables alone, and every other cell has a default built from the field's
// canonical name that the document's template may replace by prose of its own.

#include <string>
#include <vector>

namespace Lumera::docgen {

struct DocRow {
    std::string key;  // what a note in the template names the row by
    std::vector<std::string> cells;
};

struct DocTable {
    std::vector<std::string> heads;
    std::vector<bool> rightAligned;
    std::vector<DocRow> rows;
};

// A layout's offset table (`@table NAME@`) or the parts of its flat form (`@flat-form NAME@`).
enum class Form { Offsets, FlatForm };

struct Placeholder {
    Form form;
    std::string name;  // the field table's name: `LogonResponsePacket`, `WireOrder`
    bool operator<(const Placeholder& other) const {
        return form != other.form ? form < other.form : name < other.name;
    }
};

// Every table the document shows, each once.
std::vector<Placeholder> Placeholders();

// Throws std::runtime_error for a placeholder that is not among them.
DocTable Derive(const Placeholder& placeholder);

// Columns whose cells a note may replace: neither the offset, the size nor the type, which are
// the wire's and not the document's to say.
bool Notable(const std::string& head);

std::string Markdown(const DocTable& table);

}  // namespace Lumera::docgen
