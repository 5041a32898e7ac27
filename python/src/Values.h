#pragma once

// Python values to the library's field types and back, with the errors a Python caller expects:
// TypeError for a value of the wrong kind, ValueError naming the field and the value for one
// that the field cannot hold.

#include <cstdint>
#include <string>
#include <string_view>

#include "Bindings.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire::binding {

// An integer (anything with __index__) within [min, max].
std::int64_t Integer(py::handle value, std::string_view field, std::int64_t min, std::int64_t max);
// One that fits a signed 32-bit field.
std::int32_t Int32(py::handle value, std::string_view field);

// Narrow text on the wire is Windows-1252, one byte per character. A str is encoded strictly: a
// character the code page cannot express is refused rather than replaced. bytes are taken as
// they are.
std::string NarrowText(py::handle value, std::string_view field);
py::str WideText(std::string_view narrow);

// An integer, double or text field of a fixed part, through its table row: `block` is the start
// of the part. `name` is the field's name in errors.
py::object ReadField(const Lumera::WireField& field, const unsigned char* block);
void WriteField(const Lumera::WireField& field, unsigned char* block, py::handle value,
                std::string_view name);

// The bytes of any contiguous buffer (bytes, bytearray, memoryview, numpy arrays).
class Bytes {
  public:
    explicit Bytes(const py::buffer& source);
    const unsigned char* data() const noexcept {
        return static_cast<const unsigned char*>(info_.ptr);
    }
    std::size_t size() const noexcept { return size_; }

  private:
    py::buffer_info info_;
    std::size_t size_;
};

}  // namespace lmwire::binding
