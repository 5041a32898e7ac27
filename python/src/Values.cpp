#include "Values.h"

#include <climits>
#include <string>

#include "wire_types/support/Platform.h"

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
    const std::u16string wide = value.cast<std::u16string>();
    std::string narrow;
    narrow.reserve(wide.size());
    for (const char16_t unit : wide) {
        const char byte = WideCharToAnsi(unit);
        if (byte == '?' && unit != u'?') {
            throw py::value_error(std::string(field) + ": " + std::string(py::repr(value)) +
                                  " has a character that Windows-1252 cannot express");
        }
        narrow.push_back(byte);
    }
    return narrow;
}

py::str WideText(std::string_view narrow) {
    std::u16string wide;
    wide.reserve(narrow.size());
    for (const char byte : narrow) {
        wide.push_back(AnsiCharToWide(static_cast<unsigned char>(byte)));
    }
    return py::cast(wide);
}

Bytes::Bytes(const py::buffer& source) : info_(source.request()) {
    if (!PyBuffer_IsContiguous(info_.view(), 'C')) {
        throw py::value_error("the bytes must be a contiguous buffer");
    }
    size_ = static_cast<std::size_t>(info_.size * info_.itemsize);
}

}  // namespace lmwire::binding
