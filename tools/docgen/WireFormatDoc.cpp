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

namespace {

using namespace Lumera::docgen;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("cannot read " + path);
    }
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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

// The first line where `committed` is not `generated`, as a compiler would point at it.
int Check(const std::string& path, const std::string& generated) {
    const std::string committed = ReadFile(path);
    if (committed == generated) {
        return 0;
    }
    const std::vector<std::string> have = Lines(committed);
    const std::vector<std::string> want = Lines(generated);
    std::size_t line = 0;
    while (line < have.size() && line < want.size() && have[line] == want[line]) {
        ++line;
    }
    std::cerr << path << ":" << line + 1 << ": not what the field tables and the template give\n";
    if (have.size() == want.size() && line == have.size()) {
        std::cerr << "  the last line ends differently (its newline)\n";
    } else {
        std::cerr << "  committed: " << (line < have.size() ? have[line] : "(end of file)") << "\n"
                  << "  generated: " << (line < want.size() ? want[line] : "(end of file)") << "\n";
    }
    std::cerr << "Rewrite it with the build target update-wire-format-doc.\n";
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty() || args.size() == 2 || args.size() > 3 ||
        (args.size() == 3 && args[1] != "-o" && args[1] != "--check")) {
        std::cerr << "usage: lmwire_wire_format_doc TEMPLATE [-o FILE | --check FILE]\n";
        return 2;
    }
    try {
        const std::string document = Generate(args[0]);
        if (args.size() == 1) {
            std::cout << document;
            return std::cout.flush() ? 0 : 1;
        }
        if (args[1] == "--check") {
            return Check(args[2], document);
        }
        std::ofstream out(args[2], std::ios::binary);
        out << document;
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + args[2]);
        }
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "lmwire_wire_format_doc: " << error.what() << "\n";
        return 1;
    }
}
