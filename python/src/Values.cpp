#include "Values.h"

#include <climits>
#include <optional>
#include <string>

#include "wire_types/support/CodePage.h"

namespace lmwire::binding {

std::int32_t Int32(py::handle value, std::string_view field) {
    if (PyBool_Check(value.ptr()) || !PyIndex_Check(value.ptr())) {
        throw py::type_error(std::string(field) + " takes an integer, not " +
                             std::string(py::str(value.get_type().attr("__name__"))));
    }
    const py::object index = py::reinterpret_steal<py::object>(PyNumber_Index(value.ptr()));
    int overflow = 0;
    const long long wide = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0 || wide < INT32_MIN || wide > INT32_MAX) {
        throw py::value_error(std::string(field) + ": " + std::string(py::repr(index)) +
                              " does not fit a signed 32-bit field");
    }
    return static_cast<std::int32_t>(wide);
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

Bytes::Bytes(const py::buffer& source) : info_(source.request()) {
    if (!PyBuffer_IsContiguous(info_.view(), 'C')) {
        throw py::value_error("the bytes must be a contiguous buffer");
    }
    size_ = static_cast<std::size_t>(info_.size * info_.itemsize);
}

}  // namespace lmwire::binding
