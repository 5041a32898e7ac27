#include "records/TableFields.h"

#include <cstring>
#include <limits>

#include "common/Errors.h"
#include "common/Text.h"
#include "wire_types/support/CodePage.h"
#include "wire_types/support/FieldValues.h"

namespace lmwire {
namespace {

using Lumera::FieldKind;
using Lumera::WireField;

bool IsInteger(FieldKind kind) {
    return kind == FieldKind::Signed || kind == FieldKind::Unsigned;
}

bool IsDouble(FieldKind kind) {
    return kind == FieldKind::Double || kind == FieldKind::OleDate;
}

Field Scalar(std::string name, FieldType type, const WireField* wire) {
    Field field;
    field.name = std::move(name);
    field.type = type;
    field.wire = wire;
    return field;
}

// One level of a depth list: its price is a tick price as the last price is, whatever offset
// carries it; its size is the size row's.
Field Level(const WireField& row) {
    const std::string spelled = Lumera::Spell(row, Lumera::Spelling::Json, 0);
    Field field = Scalar(spelled.substr(spelled.rfind('.') + 1), FieldType::Integer, &row);
    if (row.kind == FieldKind::DepthSize) {
        const Lumera::IntegerRange range = Lumera::RangeOf(row);
        field.min = range.min;
        field.max = range.max;
    }
    return field;
}

void AddFields(const Lumera::FieldTable& table, std::vector<Field>& fields) {
    for (const WireField& row : table) {
        if (IsInteger(row.kind)) {
            Field field = Scalar(row.name, FieldType::Integer, &row);
            const Lumera::IntegerRange range = Lumera::RangeOf(row);
            field.min = range.min;
            field.max = range.max;
            fields.push_back(std::move(field));
        } else if (IsDouble(row.kind)) {
            fields.push_back(Scalar(row.name, FieldType::Number, &row));
        } else if (row.kind == FieldKind::Text || row.kind == FieldKind::FlatText) {
            Field field = Scalar(row.name, FieldType::Text, &row);
            field.capacity = row.size;
            fields.push_back(std::move(field));
        } else if (row.kind == FieldKind::DepthPrice) {
            Field list = Scalar(Lumera::Spell(row, Lumera::Spelling::Json), FieldType::List, &row);
            list.element.push_back(Level(row));
            for (const WireField& size : table) {
                if (size.kind == FieldKind::DepthSize && std::strcmp(size.name, row.name) == 0) {
                    list.element.push_back(Level(size));
                }
            }
            fields.push_back(std::move(list));
        } else if (row.kind == FieldKind::Record) {
            AddFields(*row.nested, fields);
        }
    }
}

std::string NarrowOf(const Json& values, const WireField& row) {
    return Utf8ToCp1252(values.at(row.name).get<std::string>(), row.name);
}

}  // namespace

std::vector<Field> FieldsOf(const Lumera::FieldTable& table) {
    std::vector<Field> fields;
    AddFields(table, fields);
    return fields;
}

Field ListOf(const Lumera::FieldTable& table) {
    Field list = Scalar(table.name, FieldType::List, nullptr);
    list.element = FieldsOf(table);
    return list;
}

Field DerivedField(const char* name, FieldType type) {
    Field field = Scalar(name, type, nullptr);
    field.derived = true;
    return field;
}

Field& FieldNamed(std::vector<Field>& fields, std::string_view name) {
    for (Field& field : fields) {
        if (field.name == name) {
            return field;
        }
    }
    throw std::logic_error("no field " + std::string(name) + " in the library's table");
}

void ReadFixed(const Lumera::FieldTable& table, const unsigned char* block, Json& into) {
    for (const WireField& row : table) {
        if (IsInteger(row.kind)) {
            into[row.name] = Lumera::ReadInteger(row, block);
        } else if (IsDouble(row.kind)) {
            into[row.name] = Lumera::ReadDouble(row, block);
        } else if (row.kind == FieldKind::Text) {
            into[row.name] = Lumera::cp1252::ToUtf8(Lumera::ReadText(row, block));
        }
    }
}

void WriteFixed(const Lumera::FieldTable& table, unsigned char* block, const Json& values) {
    for (const WireField& row : table) {
        if (IsInteger(row.kind)) {
            Lumera::WriteInteger(row, block, values.at(row.name).get<std::int64_t>());
        } else if (IsDouble(row.kind)) {
            Lumera::WriteDouble(row, block, values.at(row.name).get<double>());
        } else if (row.kind == FieldKind::Text &&
                   !Lumera::WriteText(row, block, NarrowOf(values, row))) {
            // Parsing checked the capacity and refused NUL, so this is the tool's fault.
            throw std::logic_error(std::string(row.name) + ": the text does not fit");
        }
    }
}

std::size_t FlatEnd(const Lumera::FieldTable& table, const Bytes& bytes, std::size_t at,
                    const char*& unterminated) {
    at += table.fixedSize;
    for (const WireField& row : table) {
        if (row.kind == FieldKind::FlatText) {
            const void* zero =
                at < bytes.size() ? std::memchr(&bytes[at], 0, bytes.size() - at) : nullptr;
            if (zero == nullptr) {
                unterminated = row.name;
                return 0;
            }
            at = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - bytes.data()) +
                 1;
        } else if (row.kind == FieldKind::Record) {
            at = FlatEnd(*row.nested, bytes, at, unterminated);
            if (at == 0) {
                return 0;
            }
        }
    }
    return at;
}

std::size_t ReadFlat(const Lumera::FieldTable& table, const Bytes& bytes, std::size_t at,
                     Json& into) {
    ReadFixed(table, &bytes[at], into);
    at += table.fixedSize;
    for (const WireField& row : table) {
        if (row.kind == FieldKind::FlatText) {
            const std::string_view text(reinterpret_cast<const char*>(&bytes[at]));
            into[row.name] = Lumera::cp1252::ToUtf8(text);
            at += text.size() + 1;
        } else if (row.kind == FieldKind::Record) {
            at = ReadFlat(*row.nested, bytes, at, into);
        }
    }
    return at;
}

void AppendFlat(const Lumera::FieldTable& table, const Json& values, Bytes& out) {
    const std::size_t block = out.size();
    out.resize(block + table.fixedSize);
    WriteFixed(table, &out[block], values);
    for (const WireField& row : table) {
        if (row.kind == FieldKind::FlatText) {
            const std::string narrow = NarrowOf(values, row);
            out.insert(out.end(), narrow.begin(), narrow.end());
            out.push_back(0);
        } else if (row.kind == FieldKind::Record) {
            AppendFlat(*row.nested, values, out);
        }
    }
}

std::size_t FlatMinimum(const Lumera::FieldTable& table) {
    std::size_t size = table.fixedSize;
    for (const WireField& row : table) {
        size += row.kind == FieldKind::FlatText ? 1
                : row.kind == FieldKind::Record ? FlatMinimum(*row.nested)
                                                : 0;
    }
    return size;
}

}  // namespace lmwire
