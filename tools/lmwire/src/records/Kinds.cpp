#include "records/Kinds.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include <fmt/format.h>

#include "common/Errors.h"
#include "common/Table.h"
#include "common/Text.h"

namespace lmwire {

const std::vector<Kind>& AllKinds() {
    static const std::vector<Kind> kinds = [] {
        std::vector<Kind> all;
        AddPacketKinds(all);
        AddAccountKinds(all);
        AddPriceRecordKind(all);
        return all;
    }();
    return kinds;
}

std::string KindNames(const std::string& separator) {
    std::string names;
    for (const Kind& kind : AllKinds()) {
        names += (names.empty() ? "" : separator) + kind.name;
    }
    return names;
}

const Kind& FindKind(std::string_view name) {
    for (const Kind& kind : AllKinds()) {
        if (kind.name == name) {
            return kind;
        }
    }
    throw BadInput("unknown kind " + Quoted(name) + " (kinds: " + KindNames(", ") + ")");
}

namespace {

const Field* FindField(const std::vector<Field>& fields, std::string_view name) {
    for (const Field& field : fields) {
        if (field.name == name) {
            return &field;
        }
    }
    return nullptr;
}

std::string FieldNames(const std::vector<Field>& fields) {
    std::string names;
    for (const Field& field : fields) {
        if (!field.derived) {
            names += (names.empty() ? "" : ", ") + field.name;
        }
    }
    return names;
}

Json DefaultValue(const Field& field) {
    switch (field.type) {
        case FieldType::Integer:
            return 0;
        case FieldType::Number:
            return 0.0;
        case FieldType::Text:
            return "";
        case FieldType::List:
            break;
    }
    return Json::array();
}

[[noreturn]] void ThrowOutOfRange(const Field& field, std::string_view text,
                                  const std::string& what) {
    throw BadInput(fmt::format("{}: {} is out of range {}..{}", what, text, field.min, field.max));
}

// A number written with a fraction or an exponent is no integer; but one beyond the field's
// range (1e21, 1e999) is told as out of range, as 99999999999999999999 is.
std::int64_t ParseIntegerField(const Field& field, std::string_view text, const std::string& what) {
    const bool decimal = !text.empty() &&
                         text.find_first_not_of("0123456789+-.eE") == std::string_view::npos &&
                         text.find_first_of("0123456789") != std::string_view::npos;
    if (decimal && text.find_first_of(".eE") != std::string_view::npos) {
        const std::string copy(text);
        char* end = nullptr;
        const double value = std::strtod(copy.c_str(), &end);
        if (end == copy.c_str() + copy.size() &&
            !(value >= static_cast<double>(field.min) && value <= static_cast<double>(field.max))) {
            ThrowOutOfRange(field, text, what);
        }
    }
    return ParseInteger(text, field.min, field.max, what);
}

Json ParseScalar(const Field& field, std::string_view text, const std::string& what) {
    switch (field.type) {
        case FieldType::Integer:
            return ParseIntegerField(field, text, what);
        case FieldType::Number:
            return ParseDouble(text, what);
        case FieldType::Text: {
            const std::string narrow = Utf8ToCp1252(text, what);
            if (field.capacity != 0 && narrow.size() >= field.capacity) {
                throw BadInput(fmt::format("{}: {} characters, at most {} fit", what, narrow.size(),
                                           field.capacity - 1));
            }
            return std::string(text);
        }
        case FieldType::List:
            break;
    }
    throw BadInput(what + ": a list has no scalar form");
}

// A JSON value given for a scalar field goes through the same checks as its text form.
Json CheckJsonScalar(const Field& field, const Json& value, const std::string& what) {
    if (field.type == FieldType::Text) {
        if (!value.is_string()) {
            throw BadInput(what + ": expected a text");
        }
        return ParseScalar(field, value.get<std::string>(), what);
    }
    if (!value.is_number()) {
        throw BadInput(what + ": expected a number");
    }
    if (field.type == FieldType::Integer && !value.is_number_integer()) {
        const double number = value.get<double>();
        if (!(number >= static_cast<double>(field.min) &&
              number <= static_cast<double>(field.max))) {
            ThrowOutOfRange(field, value.dump(), what);
        }
        throw BadInput(what + ": expected an integer, got " + value.dump());
    }
    return ParseScalar(field, value.dump(), what);
}

Json CheckJsonList(const Field& field, const Json& given, const std::string& what) {
    if (!given.is_array()) {
        throw BadInput(what + ": expected a JSON array");
    }
    Json result = Json::array();
    for (std::size_t i = 0; i < given.size(); ++i) {
        const std::string at = what + "[" + std::to_string(i) + "]";
        if (!given[i].is_object()) {
            throw BadInput(at + ": expected an object");
        }
        Json element = Json::object();
        for (const Field& sub : field.element) {
            element[sub.name] = given[i].contains(sub.name)
                                    ? CheckJsonScalar(sub, given[i][sub.name], at + "." + sub.name)
                                    : DefaultValue(sub);
        }
        for (const auto& item : given[i].items()) {
            if (FindField(field.element, item.key()) == nullptr) {
                throw BadInput(at + ": unknown field " + Quoted(item.key()) +
                               " (fields: " + FieldNames(field.element) + ")");
            }
        }
        result.push_back(std::move(element));
    }
    return result;
}

// Either JSON ([{"Price":1233,"Size":10},...]) or the short form 1233:10,1232:20.
Json ParseList(const Field& field, std::string_view text) {
    if (!text.empty() && text.front() == '[') {
        Json given;
        try {
            given = Json::parse(text);
        } catch (const Json::parse_error&) {
            throw BadInput(field.name + ": not a valid JSON array");
        } catch (const Json::out_of_range&) {
            // The one other refusal of the parser: a number beyond a double (1e999).
            throw BadInput(field.name + ": a number in the JSON array is out of range");
        }
        return CheckJsonList(field, given, field.name);
    }
    Json result = Json::array();
    std::size_t start = 0;
    while (start <= text.size() && !text.empty()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::string_view item = text.substr(start, comma - start);
        const std::string at = field.name + "[" + std::to_string(result.size()) + "]";
        Json element = Json::object();
        std::size_t from = 0;
        for (std::size_t s = 0; s < field.element.size(); ++s) {
            const bool last = s + 1 == field.element.size();
            const std::size_t colon = last ? item.size() : item.find(':', from);
            if (colon == std::string_view::npos) {
                throw BadInput(fmt::format("{}: expected {} values separated by ':', got {}", at,
                                           field.element.size(), Quoted(item)));
            }
            const Field& sub = field.element[s];
            element[sub.name] =
                ParseScalar(sub, item.substr(from, colon - from), at + "." + sub.name);
            from = colon + 1;
        }
        result.push_back(std::move(element));
        start = comma + 1;
    }
    return result;
}

}  // namespace

Json ParseFieldText(const Field& field, std::string_view text, const std::string& what) {
    return ParseScalar(field, text, what);
}

const Field* FieldAt(const Kind& kind, std::string_view key, std::string_view subKey) {
    const Field* field = FindField(kind.fields, key);
    if (field == nullptr || subKey.empty()) {
        return field;
    }
    return FindField(field->element, subKey);
}

Json ParseAssignments(const Kind& kind, const std::vector<std::string>& assignments) {
    Json values = Json::object();
    std::set<std::string> given;
    for (const std::string& assignment : assignments) {
        const std::size_t equals = assignment.find('=');
        if (equals == std::string::npos) {
            throw BadInput("expected NAME=VALUE, got " + Quoted(assignment));
        }
        const std::string name = assignment.substr(0, equals);
        const Field* field = FindField(kind.fields, name);
        if (field == nullptr) {
            throw BadInput("unknown field " + Quoted(name) + " for " + kind.name +
                           " (fields: " + FieldNames(kind.fields) + ")");
        }
        if (field->derived) {
            throw BadInput(name + " of " + kind.name + " follows from the other fields and " +
                           "cannot be set");
        }
        if (!given.insert(name).second) {
            throw BadInput(name + " is given twice");
        }
        const std::string_view text = std::string_view(assignment).substr(equals + 1);
        values[name] = field->type == FieldType::List ? ParseList(*field, text)
                                                      : ParseScalar(*field, text, name);
    }
    Json complete = Json::object();
    for (const Field& field : kind.fields) {
        if (!field.derived) {
            complete[field.name] =
                values.contains(field.name) ? values[field.name] : DefaultValue(field);
        }
    }
    return complete;
}

Json ParseObject(const Kind& kind, const Json& object, const std::vector<std::string_view>& ignored,
                 const std::string& where) {
    if (!object.is_object()) {
        throw BadInput(where + ": expected a JSON object");
    }
    for (const auto& item : object.items()) {
        const Field* field = FindField(kind.fields, item.key());
        if (field == nullptr &&
            std::find(ignored.begin(), ignored.end(), item.key()) == ignored.end()) {
            throw BadInput(where + ": unknown field " + Quoted(item.key()) + " for " + kind.name +
                           " (fields: " + FieldNames(kind.fields) + ")");
        }
    }
    Json values = Json::object();
    for (const Field& field : kind.fields) {
        if (field.derived) {
            continue;
        }
        if (!object.contains(field.name)) {
            throw BadInput(where + ": " + field.name + " is missing");
        }
        const std::string what = where + ": " + field.name;
        values[field.name] = field.type == FieldType::List
                                 ? CheckJsonList(field, object[field.name], what)
                                 : CheckJsonScalar(field, object[field.name], what);
    }
    return values;
}

std::string RenderFields(const Json& record, const std::string& indent) {
    Table table({}, 2);
    for (const auto& item : record.items()) {
        const Json& value = item.value();
        if (!value.is_array()) {
            table.Add({item.key(), value.dump()});
            continue;
        }
        for (std::size_t i = 0; i < value.size(); ++i) {
            std::string line;
            for (const auto& part : value[i].items()) {
                line += (line.empty() ? "" : " ") + part.key() + "=" + part.value().dump();
            }
            table.Add({item.key() + "[" + std::to_string(i) + "]", line});
        }
        if (value.empty()) {
            table.Add({item.key(), "(none)"});
        }
    }
    return table.Render(indent);
}

void RequireSize(const Kind& kind, const Bytes& bytes, std::size_t size) {
    if (bytes.size() != size) {
        throw BadInput(fmt::format("{} takes {} bytes, got {}", kind.name, size, bytes.size()));
    }
}

}  // namespace lmwire
