#include "Values.h"

#include <array>
#include <climits>
#include <string>

namespace lmwire::binding {

namespace {

// The wire's texts are Windows-1252, which agrees with Latin-1 outside bytes 0x80 to 0x9F. Those
// 32 come from Python's own codec; the five bytes it leaves undefined stand for the units of the
// same value, as the library maps them.
const std::array<char16_t, 32>& HighUnits() {
    static const std::array<char16_t, 32> units = [] {
        std::array<char16_t, 32> table{};
        for (unsigned i = 0; i < table.size(); ++i) {
            const char byte = static_cast<char>(0x80 + i);
            PyObject* text = PyUnicode_Decode(&byte, 1, "cp1252", "strict");
            if (text == nullptr) {
                PyErr_Clear();
                table[i] = static_cast<char16_t>(0x80 + i);
            } else {
                table[i] = static_cast<char16_t>(PyUnicode_ReadChar(text, 0));
                Py_DECREF(text);
            }
        }
        return table;
    }();
    return units;
}

char16_t WideUnit(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? HighUnits()[byte - 0x80u] : char16_t{byte};
}

// '?' for a character the code page cannot express, as the library writes it.
char NarrowByte(char32_t unit) {
    if (unit < 0x80 || (unit >= 0xA0 && unit <= 0xFF)) {
        return static_cast<char>(unit);
    }
    const std::array<char16_t, 32>& high = HighUnits();
    for (unsigned i = 0; i < high.size(); ++i) {
        if (high[i] == unit) {
            return static_cast<char>(0x80 + i);
        }
    }
    return '?';
}

}  // namespace

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
        const char32_t unit = PyUnicode_ReadChar(value.ptr(), i);
        const char byte = NarrowByte(unit);
        if (byte == '?' && unit != U'?') {
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
        wide.push_back(WideUnit(static_cast<unsigned char>(byte)));
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
