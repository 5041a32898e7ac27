// The flat form of an account contract (what toPacket writes) read into a dict, so that a
// Python reader can walk a buffer of them: each read returns the offset after the one it read.
// The library checks and reads the flat form; the dict's keys and values follow its field table.

#include <cstring>
#include <string>

#include "Bindings.h"
#include "Values.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire::binding {
namespace {

using Lumera::FieldKind;

// The fields of a flat form at `at` that the library has checked, nested records inlined, into
// `fields`; moves `at` past it.
void ReadFlatForm(const Lumera::FieldTable& table, const unsigned char*& at, py::dict& fields) {
    const unsigned char* block = at;
    at += table.fixedSize;
    for (const Lumera::WireField& field : table) {
        const std::string name = Lumera::Spell(field, Lumera::Spelling::Snake);
        switch (field.kind) {
            case FieldKind::Reserved:
                break;
            case FieldKind::Record:
                ReadFlatForm(*field.nested, at, fields);
                break;
            case FieldKind::FlatText: {
                const auto* text = reinterpret_cast<const char*>(at);
                const std::size_t length = std::strlen(text);
                fields[name.c_str()] = WideText({text, length});
                at += length + 1;
                break;
            }
            default:
                fields[name.c_str()] = ReadField(field, block);
        }
    }
}

py::tuple ReadAccountContract(const py::buffer& source, long long start) {
    const Bytes bytes(source);
    if (start < 0) {
        throw py::value_error("offset " + std::to_string(start) + " is negative");
    }
    long offset = static_cast<long>(start);
    Lumera::CLMWireAccountContract received(0, 0, 0, 0, static_cast<Lumera::enumPriceFormatCode>(0),
                                            "", "");
    // Checked: a flat form that does not fit raises std::length_error, ValueError here.
    received.fromPacket(offset, bytes.data(), bytes.size());
    py::dict fields;
    const unsigned char* at = bytes.data() + start;
    ReadFlatForm(Lumera::WireAccountContractLayout::kFields, at, fields);
    return py::make_tuple(fields, offset);
}

}  // namespace

void BindAccountContract(py::module_& module) {
    module.def("read_account_contract", &ReadAccountContract, py::arg("data"),
               py::arg("offset") = 0,
               "(fields, new offset): the flat form of an account contract at offset in data.");
}

}  // namespace lmwire::binding
