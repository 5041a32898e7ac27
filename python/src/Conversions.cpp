// The stateless price conversions over whole numpy arrays. Each kernel takes its codes as an
// array of one code (for every element) or of one code per element, runs without the GIL and
// reports a refusal per element through a mask rather than an exception; the Python side
// raises or masks.

#include <pybind11/numpy.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Bindings.h"
#include "wire_types/price/Price.h"

namespace lmwire::binding {
namespace {

using Codes = py::array_t<std::int64_t, py::array::c_style>;
using Ticks = py::array_t<std::int32_t, py::array::c_style>;
using Values = py::array_t<double, py::array::c_style>;
using Mask = py::array_t<bool, py::array::c_style>;

// The code of element i: one for all, or one each.
class CodeAt {
  public:
    CodeAt(const Codes& codes, std::size_t count) : codes_(codes.data()) {
        const auto given = static_cast<std::size_t>(codes.size());
        if (given != 1 && given != count) {
            throw py::value_error("expected 1 or " + std::to_string(count) + " codes, got " +
                                  std::to_string(given));
        }
        step_ = given == 1 ? 0 : 1;
    }
    long operator()(std::size_t i) const noexcept { return static_cast<long>(codes_[i * step_]); }

  private:
    const std::int64_t* codes_;
    std::size_t step_;
};

py::list Formats() {
    py::list rows;
    for (const Lumera::price::FormatInfo* row = Lumera::price::begin(); row != Lumera::price::end();
         ++row) {
        rows.append(py::make_tuple(row->code, row->ticksPerUnit, row->decimalPlaces));
    }
    return rows;
}

// Texts are written once into fixed slots, then widened into a numpy unicode array exactly as
// wide as the longest of them.
py::array DisplayArray(const Codes& codes, const Ticks& ticks) {
    const auto count = static_cast<std::size_t>(ticks.size());
    const CodeAt code(codes, count);
    constexpr std::size_t kSlot = Lumera::price::kMaxDisplayLength;
    std::vector<char> texts(count * kSlot);
    std::vector<unsigned char> lengths(count);
    std::size_t width = 1;
    const std::int32_t* in = ticks.data();
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < count; ++i) {
            char* first = texts.data() + i * kSlot;
            const char* end = Lumera::price::DisplayTo(first, first + kSlot, code(i), in[i]);
            lengths[i] = static_cast<unsigned char>(end - first);
            width = std::max(width, static_cast<std::size_t>(lengths[i]));
        }
    }
    py::array out(py::dtype("<U" + std::to_string(width)),
                  std::vector<py::ssize_t>{static_cast<py::ssize_t>(count)});
    auto* units = static_cast<std::uint32_t*>(out.mutable_data());
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < count; ++i) {
            const char* text = texts.data() + i * kSlot;
            std::uint32_t* slot = units + i * width;
            std::size_t j = 0;
            for (; j < lengths[i]; ++j) {
                slot[j] = static_cast<unsigned char>(text[j]);
            }
            for (; j < width; ++j) {
                slot[j] = 0;
            }
        }
    }
    return out;
}

// A numpy 'U' (UCS-4) or 'S' (bytes) array, element by element as narrow text; an element with
// a character beyond ASCII is no display text, and reads as one that Parse refuses.
class TextAt {
  public:
    explicit TextAt(const py::array& texts) {
        const char kind = texts.dtype().kind();
        if (kind != 'U' && kind != 'S') {
            throw py::type_error("texts must be a numpy array of str or bytes");
        }
        wide_ = kind == 'U';
        data_ = static_cast<const unsigned char*>(texts.data());
        itemsize_ = static_cast<std::size_t>(texts.itemsize());
    }

    // The element, trailing NULs dropped, in `scratch`.
    std::string_view operator()(std::size_t i, std::string& scratch) const {
        scratch.clear();
        const unsigned char* item = data_ + i * itemsize_;
        if (!wide_) {
            scratch.assign(reinterpret_cast<const char*>(item), itemsize_);
        } else {
            for (std::size_t j = 0; j + 4 <= itemsize_; j += 4) {
                std::uint32_t unit;
                std::memcpy(&unit, item + j, sizeof unit);
                scratch.push_back(unit < 0x80 ? static_cast<char>(unit) : '\x7f');
            }
        }
        while (!scratch.empty() && scratch.back() == '\0') {
            scratch.pop_back();
        }
        return scratch;
    }

  private:
    const unsigned char* data_ = nullptr;
    std::size_t itemsize_ = 0;
    bool wide_ = false;
};

py::tuple ParseArray(const Codes& codes, const py::array& texts) {
    const auto count = static_cast<std::size_t>(texts.size());
    const CodeAt code(codes, count);
    const TextAt text(texts);
    Ticks out(static_cast<py::ssize_t>(count));
    Mask ok(static_cast<py::ssize_t>(count));
    std::int32_t* ticks = out.mutable_data();
    bool* valid = ok.mutable_data();
    {
        py::gil_scoped_release release;
        std::string scratch;
        for (std::size_t i = 0; i < count; ++i) {
            const std::optional<std::int32_t> parsed =
                Lumera::price::Parse(code(i), text(i, scratch));
            ticks[i] = parsed.value_or(0);
            valid[i] = parsed.has_value();
        }
    }
    return py::make_tuple(out, ok);
}

Values ToDecimalArray(const Codes& codes, const Ticks& ticks) {
    const auto count = static_cast<std::size_t>(ticks.size());
    const CodeAt code(codes, count);
    Values out(static_cast<py::ssize_t>(count));
    double* values = out.mutable_data();
    const std::int32_t* in = ticks.data();
    py::gil_scoped_release release;
    for (std::size_t i = 0; i < count; ++i) {
        values[i] = Lumera::price::ToDecimal(code(i), in[i]);
    }
    return out;
}

py::tuple FromDecimalArray(const Codes& codes, const Values& values) {
    const auto count = static_cast<std::size_t>(values.size());
    const CodeAt code(codes, count);
    Ticks out(static_cast<py::ssize_t>(count));
    Mask ok(static_cast<py::ssize_t>(count));
    std::int32_t* ticks = out.mutable_data();
    bool* valid = ok.mutable_data();
    const double* in = values.data();
    {
        py::gil_scoped_release release;
        for (std::size_t i = 0; i < count; ++i) {
            const std::optional<std::int32_t> converted =
                Lumera::price::FromDecimal(code(i), in[i]);
            ticks[i] = converted.value_or(0);
            valid[i] = converted.has_value();
        }
    }
    return py::make_tuple(out, ok);
}

}  // namespace

void BindConversions(py::module_& module) {
    module.def("formats", &Formats, "The 62 rows: (code, ticks_per_unit, decimal_places).");
    module.def(
        "display",
        [](long code, std::int32_t ticks) { return Lumera::price::Display(code, ticks); },
        py::arg("code"), py::arg("ticks"));
    module.def(
        "parse", [](long code, std::string_view text) { return Lumera::price::Parse(code, text); },
        py::arg("code"), py::arg("text"));
    module.def("to_decimal", &Lumera::price::ToDecimal, py::arg("code"), py::arg("ticks"));
    module.def("from_decimal", &Lumera::price::FromDecimal, py::arg("code"), py::arg("value"));
    module.def("display_array", &DisplayArray, py::arg("codes"), py::arg("ticks"));
    module.def("parse_array", &ParseArray, py::arg("codes"), py::arg("texts"),
               "(ticks, ok): ok is false where the text is no display text of its code.");
    module.def("to_decimal_array", &ToDecimalArray, py::arg("codes"), py::arg("ticks"));
    module.def("from_decimal_array", &FromDecimalArray, py::arg("codes"), py::arg("values"),
               "(ticks, ok): ok is false where the value has no tick price.");
}

}  // namespace lmwire::binding
