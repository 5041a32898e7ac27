// The account data packet as a Python class: an account and its figures, one per kind, kept in
// ascending order of kind as the wire carries them.

#include <memory>
#include <optional>
#include <string>

#include "Bindings.h"
#include "Values.h"
#include "wire_types/packets/WireAccountDataPacket.h"

namespace lmwire::binding {
namespace {

using Lumera::WireAccountDataPacket;

Lumera::enumAccountDataTypes Kind(py::handle value) {
    return static_cast<Lumera::enumAccountDataTypes>(Int32(value, "kind"));
}

double Figure(py::handle value) {
    if (!PyFloat_Check(value.ptr()) && !PyLong_Check(value.ptr()) &&
        !py::hasattr(value, "__float__")) {
        throw py::type_error("an account figure is a number, not " +
                             std::string(py::str(value.get_type().attr("__name__"))));
    }
    const double figure = PyFloat_AsDouble(value.ptr());
    if (figure == -1.0 && PyErr_Occurred() != nullptr) {
        if (!PyErr_ExceptionMatches(PyExc_OverflowError)) {
            throw py::error_already_set();
        }
        PyErr_Clear();
        throw py::value_error("an account figure is a double, and " + std::string(py::repr(value)) +
                              " is beyond its range");
    }
    return figure;
}

py::dict Entries(const WireAccountDataPacket& packet) {
    py::dict entries;
    for (const auto& [kind, value] : packet.GetEntries()) {
        entries[py::int_(static_cast<long long>(kind))] = value;
    }
    return entries;
}

// entries: a mapping of kind to value, or pairs; a kind given twice is refused, since the packet
// would keep only the first.
WireAccountDataPacket Construct(const py::kwargs& kwargs) {
    for (const auto& [key, value] : kwargs) {
        const std::string name = py::str(key);
        if (name != "account" && name != "entries") {
            throw py::type_error("WireAccountDataPacket() got an unexpected keyword argument '" +
                                 name + "'");
        }
    }
    WireAccountDataPacket packet(kwargs.contains("account") ? Int32(kwargs["account"], "account")
                                                            : 0);
    if (kwargs.contains("entries")) {
        py::object entries = kwargs["entries"];
        if (py::isinstance<py::dict>(entries) || py::hasattr(entries, "items")) {
            entries = entries.attr("items")();
        }
        for (const py::handle pair : entries) {
            const py::tuple kindAndValue = py::tuple(py::reinterpret_borrow<py::object>(pair));
            if (kindAndValue.size() != 2) {
                throw py::value_error("entries: " + std::string(py::repr(pair)) +
                                      " is not a (kind, value) pair");
            }
            if (!packet.AddInfo(Kind(kindAndValue[0]), Figure(kindAndValue[1]))) {
                throw py::value_error("entries: kind " + std::string(py::repr(kindAndValue[0])) +
                                      " is given twice");
            }
        }
    }
    return packet;
}

py::bytes Encoded(const WireAccountDataPacket& packet) {
    const std::unique_ptr<unsigned char[]> bytes(packet.Encode());
    return py::bytes(reinterpret_cast<const char*>(bytes.get()),
                     8 + 12 * static_cast<std::size_t>(packet.NumEntries()));
}

std::string Repr(const WireAccountDataPacket& packet) {
    std::string text = "WireAccountDataPacket(account=";
    text += std::to_string(packet.GetAccount());
    text += ", entries=";
    text += py::repr(Entries(packet));
    text += ')';
    return text;
}

}  // namespace

void BindAccountDataPacket(py::module_& module) {
    py::class_<WireAccountDataPacket> cls(
        module, "WireAccountDataPacket",
        "An account's figures: account, then (kind, double) entries in ascending order of kind "
        "(8 + 12 * N bytes).");
    cls.def(py::init(&Construct));
    cls.attr("FIELDS") = py::make_tuple("account", "entries");
    cls.def_property_readonly("account", [](const WireAccountDataPacket& packet) {
        return static_cast<long long>(packet.GetAccount());
    });
    cls.def_property_readonly("entries", &Entries, "The figures as a new dict, kind to value.");
    cls.def_property_readonly("num_entries", &WireAccountDataPacket::NumEntries);
    cls.def(
        "add_info",
        [](WireAccountDataPacket& packet, py::handle kind, py::handle value) {
            return packet.AddInfo(Kind(kind), Figure(value));
        },
        py::arg("kind"), py::arg("value"),
        "Adds a figure; False, and the stored value kept, when the kind is present already.");
    cls.def(
        "get_account_info",
        [](const WireAccountDataPacket& packet, py::handle kind) {
            return packet.GetAccountInfo(Kind(kind));
        },
        py::arg("kind"), "The figure of a kind, 0.0 when absent.");
    cls.def(
        "find_account_info",
        [](const WireAccountDataPacket& packet, py::handle kind) -> py::object {
            const std::optional<double> value = packet.FindAccountInfo(Kind(kind));
            return value ? py::object(py::float_(*value)) : py::object(py::none());
        },
        py::arg("kind"), "The figure of a kind, None when absent.");
    cls.def("to_bytes", &Encoded, "The wire form.");
    cls.def_static(
        "from_bytes",
        [](const py::buffer& source) {
            const Bytes bytes(source);
            return WireAccountDataPacket::FromBytes(bytes.data(), bytes.size());
        },
        py::arg("data"),
        "Decodes the packet from the start of data; a count that the bytes cannot hold: "
        "ValueError.");
    cls.def("__eq__", [](const WireAccountDataPacket& self, py::object other) -> py::object {
        if (!py::isinstance<WireAccountDataPacket>(other)) {
            return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        }
        const auto& that = other.cast<const WireAccountDataPacket&>();
        return py::bool_(self.GetAccount() == that.GetAccount() &&
                         Entries(self).equal(Entries(that)));
    });
    cls.attr("__hash__") = py::none();
    cls.def("__repr__", &Repr);
}

}  // namespace lmwire::binding
