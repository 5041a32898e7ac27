#pragma once

// The record kinds that decode and encode know. A kind is a list of named fields taken from the
// library's field tables (the names are its canonical names, and the JSON keys) with a decoder
// that validates the bytes before the library reads them, and an encoder that writes validated
// field values and lets the library have the last word on the bytes.

#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "common/Hex.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire {

using Json = nlohmann::ordered_json;

enum class FieldType { Integer, Number, Text, List };

struct Field {
    std::string name;
    FieldType type = FieldType::Integer;
    std::int64_t min = std::numeric_limits<std::int32_t>::min();
    std::int64_t max = std::numeric_limits<std::int32_t>::max();
    // Text: bytes of the fixed field, which holds at most capacity - 1 characters; 0 = no limit.
    std::size_t capacity = 0;
    // List: the fields of each element.
    std::vector<Field> element;
    // Shown by decode but following from other fields, so encode refuses it.
    bool derived = false;
    // The library's row of the field (of the price row for a depth list); null for a derived
    // field and a list of records.
    const Lumera::WireField* wire = nullptr;
};

struct Kind {
    std::string name;
    std::string summary;
    std::optional<std::size_t> fixedSize;
    std::vector<Field> fields;
    std::function<Json(const Bytes&)> decode;
    // Receives every settable field, filled with defaults where the caller gave none.
    std::function<Bytes(const Json&)> encode;
};

// The most bytes a record of variable length may take (account-data, account-contract): far
// beyond any real one (an account's figures are a handful of entries, a contract's texts a few
// dozen characters), and small enough that reading it is no burden.
constexpr std::size_t kMaxVariableSize = std::size_t{1} << 20;

// The most bytes a record of the kind may take.
inline std::size_t MaxSize(const Kind& kind) {
    return kind.fixedSize.value_or(kMaxVariableSize);
}

const std::vector<Kind>& AllKinds();
// BadInput naming the known kinds when there is no such kind.
const Kind& FindKind(std::string_view name);
std::string KindNames(const std::string& separator);

// NAME=VALUE arguments into a complete set of field values; BadInput for an unknown or repeated
// name, a malformed value, a value out of range or a text over its capacity.
Json ParseAssignments(const Kind& kind, const std::vector<std::string>& assignments);
// A JSON object (a decoded line) into a complete set of field values, checked as NAME=VALUE is.
// Every settable field is required; derived fields and the keys in `ignored` are skipped, and any
// other key is refused. `where` starts each message.
Json ParseObject(const Kind& kind, const Json& object, const std::vector<std::string_view>& ignored,
                 const std::string& where);
// A field's value given as text (a CSV cell), checked as NAME=VALUE is: an integer beyond the
// field's range, also one written with an exponent (1e21), names that range.
Json ParseFieldText(const Field& field, std::string_view text, const std::string& what);
// The field that a key of the kind's JSON object names, or with `subKey` the field of an element
// of that list; null when there is none.
const Field* FieldAt(const Kind& kind, std::string_view key, std::string_view subKey = {});
// One "Name  value" line per field, aligned; list elements one per line.
std::string RenderFields(const Json& record, const std::string& indent = "");

// Shared by the kinds' decoders.
void RequireSize(const Kind& kind, const Bytes& bytes, std::size_t size);

// Each adds its kinds in the order that help lists them.
void AddPacketKinds(std::vector<Kind>& kinds);
void AddAccountKinds(std::vector<Kind>& kinds);
void AddPriceRecordKind(std::vector<Kind>& kinds);

}  // namespace lmwire
