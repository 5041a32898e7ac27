// Writes docs/wire-format.md: the template's prose as it is, and in place of each placeholder
// line (`@table NAME@`, `@flat-form NAME@`) the table derived from the library's field table of
// that name. Lines right after a placeholder of the form `@ KEY COLUMN: text` put `text` in
// that column of the row KEY (a field's canonical name; `BidPrice` and `BidSize` for a depth
// side; `block` for a flat form's fixed block; `Contract.Name` inside an embedded record).
// Lines starting with `@#` are the template's own comments.
//
//     lmwire_wire_format_doc TEMPLATE               the document on standard output
//     lmwire_wire_format_doc TEMPLATE -o FILE       the document into FILE
//     lmwire_wire_format_doc TEMPLATE --check FILE  exit status 1 unless FILE is the document

#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "DocTables.h"
#include "GeneratedFile.h"

namespace {

using namespace Lumera::docgen;
using lmwire_generate::Lines;
using lmwire_generate::ReadFile;

bool IsPlaceholder(const std::string& line, const std::string& directive, std::string& name) {
    const std::string start = "@" + directive + " ";
    if (line.compare(0, start.size(), start) != 0 || line.size() <= start.size() + 1 ||
        line.back() != '@') {
        return false;
    }
    name = line.substr(start.size(), line.size() - start.size() - 1);
    return true;
}

// `@ KEY COLUMN: text` into the row KEY of the table.
void ApplyNote(const std::string& note, DocTable& table, const std::string& where) {
    const std::size_t space = note.find(' ', 2);
    const std::size_t colon = note.find(": ", space == std::string::npos ? 0 : space);
    if (space == std::string::npos || colon == std::string::npos) {
        throw std::runtime_error(where + ": a note reads `@ KEY COLUMN: text`");
    }
    const std::string key = note.substr(2, space - 2);
    const std::string head = note.substr(space + 1, colon - space - 1);
    std::size_t column = 0;
    while (column < table.heads.size() && table.heads[column] != head) {
        ++column;
    }
    if (column == table.heads.size() || !Notable(head)) {
        throw std::runtime_error(where + ": no column " + head + " that a note may fill");
    }
    for (DocRow& row : table.rows) {
        if (row.key == key) {
            row.cells[column] = note.substr(colon + 2);
            return;
        }
    }
    throw std::runtime_error(where + ": no row " + key);
}

std::string Generate(const std::string& templatePath) {
    const std::vector<std::string> lines = Lines(ReadFile(templatePath));
    std::set<Placeholder> placed;
    std::string out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string where = templatePath + ":" + std::to_string(i + 1);
        const std::string& line = lines[i];
        Placeholder placeholder{Form::Offsets, ""};
        if (line.compare(0, 2, "@#") == 0) {
            continue;
        }
        if (IsPlaceholder(line, "flat-form", placeholder.name)) {
            placeholder.form = Form::FlatForm;
        } else if (!IsPlaceholder(line, "table", placeholder.name)) {
            if (!line.empty() && line[0] == '@') {
                throw std::runtime_error(where + ": not a placeholder: " + line);
            }
            out += line + "\n";
            continue;
        }
        if (!placed.insert(placeholder).second) {
            throw std::runtime_error(where + ": " + placeholder.name + " is shown twice");
        }
        DocTable table = Derive(placeholder);
        for (; i + 1 < lines.size() && lines[i + 1].compare(0, 2, "@ ") == 0; ++i) {
            ApplyNote(lines[i + 1], table, templatePath + ":" + std::to_string(i + 2));
        }
        out += Markdown(table);
    }
    for (const Placeholder& wanted : Placeholders()) {
        if (placed.count(wanted) == 0) {
            throw std::runtime_error(templatePath + " shows no " +
                                     (wanted.form == Form::FlatForm ? "flat form" : "table") +
                                     " of " + wanted.name);
        }
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    return lmwire_generate::Main(argc, argv, "lmwire_wire_format_doc", "update-wire-format-doc",
                                 Generate);
}
