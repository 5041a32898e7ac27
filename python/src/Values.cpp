#include "Values.h"

#include <climits>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

#include "wire_types/support/CodePage.h"
#include "wire_types/support/FieldValues.h"

namespace lmwire::binding {

std::int64_t Integer(py::handle value, std::string_view field, std::int64_t min, std::int64_t max) {
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr())) {
        throw py::type_error(std::string(field) + " takes an integer, not " +
                             std::string(py::str(value.get_type().attr("__name__"))));
    }
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    int overflow = 0;
    const long long wide = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || wide < min || wide > max) {
        throw py::value_error(std::string(field) + ": " + std::string(py::repr(index)) +
                              " is outside the field's range " + std::to_string(min) + ".." +
                              std::to_string(max));
    }
    return wide;
}

std::int32_t Int32(py::handle value, std::string_view field) {
    return static_cast<std::int32_t>(Integer(value, field, INT32_MIN, INT32_MAX));
}

std::string NarrowText(py::handle value, std::string_view field) {
    if (PyBytes_Check(value.ptr())) {
        return value.cast<std::string>();
    }
    if (!PyUnicode_Check(value.ptr())) {
        throw py::type_error(std::string(field) + " takes str or bytes, not " +
                             std::string(py::str(value.get_type().attr("__name__"))));
    }
    // Character by character rather than through a UTF encoding, which a lone surrogate fails.
    const Py_ssize_t length = PyUnicode_GetLength(value.ptr());
    std::string narrow;
    narrow.reserve(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
        const std::optional<unsigned char> byte =
            Lumera::cp1252::Encode(PyUnicode_ReadChar(value.ptr(), i));
        if (!byte) {
            throw py::value_error(std::string(field) + ": " + std::string(py::repr(value)) +
                                  " has a character that Windows-1252 cannot express");
        }
        narrow.push_back(static_cast<char>(*byte));
    }
    return narrow;
}

py::str WideText(std::string_view narrow) {
    return py::cast(Lumera::cp1252::ToUtf16(narrow));
}

py::object ReadField(const Lumera::WireField& field, const unsigned char* block) {
    switch (field.kind) {
        case Lumera::FieldKind::Signed:
        case Lumera::FieldKind::Unsigned:
            return py::int_(static_cast<long long>(Lumera::ReadInteger(field, block)));
        case Lumera::FieldKind::Double:
            return py::float_(Lumera::ReadDouble(field, block));
        case Lumera::FieldKind::Text:
            return WideText(Lumera::ReadText(field, block));
        default:
            throw std::logic_error(std::string(field.name) + " is not a value of its own");
    }
}

void WriteField(const Lumera::WireField& field, unsigned char* block, py::handle value,
                std::string_view name) {
    switch (field.kind) {
        case Lumera::FieldKind::Signed:
        case Lumera::FieldKind::Unsigned: {
            const Lumera::IntegerRange range = Lumera::RangeOf(field);
            Lumera::WriteInteger(field, block, Integer(value, name, range.min, range.max));
            return;
        }
        case Lumera::FieldKind::Text: {
            std::string text = NarrowText(value, name);
            // Up to the first zero byte, as the packets' setters store a C string.
            text.resize(std::strlen(text.c_str()));
            if (!Lumera::WriteText(field, block, text)) {
                // The field is left empty, as the setters leave it.
                static_cast<void>(Lumera::WriteText(field, block, {}));
                throw py::value_error(std::string(name) + ": " + std::string(py::repr(value)) +
                                      " is " + std::to_string(text.size()) +
                                      " characters, and the field holds at most " +
                                      std::to_string(field.size - 1));
            }
            return;
        }
        default:
            throw std::logic_error(std::string(field.name) + " is not set from Python");
    }
}

Bytes::Bytes(const py::buffer& source) : info_(source.request()) {
    if (!PyBuffer_IsContiguous(info_.view(), 'C')) {
        throw py::value_error("the bytes must be a contiguous buffer");
    }
    size_ = static_cast<std::size_t>(info_.size * info_.itemsize);
}

}  // namespace lmwire::binding
