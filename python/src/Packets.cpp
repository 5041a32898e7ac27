// The seven fixed packets as Python classes, each following its layout's field table: the
// attributes, the keyword constructor, equality and repr come from the table, and every value is
// read from or written to the packet's wire form through its row. The object is the library's
// packet, so encoding and checked decoding stay the library's: a value is stored by writing it
// into the packet's bytes and decoding them again.

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "Values.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire::binding {
namespace {

using Lumera::FieldKind;
using Lumera::FieldTable;
using Lumera::WireField;

struct Attribute {
    std::string name;  // the Python spelling
    const WireField* field;
    bool settable;
};

template <class Packet>
std::vector<unsigned char> Wire(const Packet& packet) {
    long length = 0;
    const std::unique_ptr<unsigned char[]> bytes(packet.Encode(&length));
    if (!bytes) {
        throw std::bad_alloc();
    }
    return {bytes.get(), bytes.get() + length};
}

template <class Packet>
Packet FromWire(const std::vector<unsigned char>& wire) {
    return Packet::FromBytes(wire.data(), wire.size());
}

template <class Packet>
struct PacketClass {
    const FieldTable& table;
    std::vector<Attribute> attributes;

    // Reserved bytes are carried, not shown. A class whose library type has no setter for a
    // field takes that field from the constructor only.
    PacketClass(const FieldTable& fields, std::initializer_list<std::string_view> constructorOnly)
        : table(fields) {
        for (const WireField& field : table) {
            if (field.kind != FieldKind::Reserved) {
                const bool settable = std::find(constructorOnly.begin(), constructorOnly.end(),
                                                field.name) == constructorOnly.end();
                attributes.push_back(
                    {Lumera::Spell(field, Lumera::Spelling::Snake), &field, settable});
            }
        }
    }

    const Attribute* Find(const std::string& name) const {
        for (const Attribute& attribute : attributes) {
            if (attribute.name == name) {
                return &attribute;
            }
        }
        return nullptr;
    }

    py::tuple Values(const Packet& packet) const {
        const std::vector<unsigned char> wire = Wire(packet);
        py::tuple values(attributes.size());
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            values[i] = ReadField(*attributes[i].field, wire.data());
        }
        return values;
    }

    Packet Construct(const py::kwargs& kwargs) const {
        std::vector<unsigned char> wire;
        if constexpr (std::is_default_constructible_v<Packet>) {
            wire = Wire(Packet());
        } else {
            wire.assign(table.fixedSize, 0);
        }
        for (const auto& [key, value] : kwargs) {
            const std::string name = py::str(key);
            const Attribute* attribute = Find(name);
            if (attribute == nullptr) {
                throw py::type_error(std::string(table.name) +
                                     "() got an unexpected keyword argument '" + name + "'");
            }
            WriteField(*attribute->field, wire.data(), value, attribute->name);
        }
        return FromWire<Packet>(wire);
    }

    // A refused value leaves the packet as the library's setter leaves it (a text that does not
    // fit, its field empty).
    void Set(Packet& packet, const Attribute& attribute, py::handle value) const {
        std::vector<unsigned char> wire = Wire(packet);
        try {
            WriteField(*attribute.field, wire.data(), value, attribute.name);
        } catch (...) {
            packet = FromWire<Packet>(wire);
            throw;
        }
        packet = FromWire<Packet>(wire);
    }

    std::string Repr(const Packet& packet) const {
        const py::tuple values = Values(packet);
        std::string text = table.name;
        text += '(';
        for (std::size_t i = 0; i < attributes.size(); ++i) {
            text += i > 0 ? ", " : "";
            text += attributes[i].name + "=" + std::string(py::repr(values[i]));
        }
        return text + ')';
    }
};

template <class Packet>
void Bind(py::module_& module, const FieldTable& table, const char* doc,
          std::initializer_list<std::string_view> constructorOnly = {}) {
    const auto shared = std::make_shared<const PacketClass<Packet>>(table, constructorOnly);
    py::class_<Packet> cls(module, table.name, doc);
    cls.def(py::init([shared](const py::kwargs& kwargs) { return shared->Construct(kwargs); }));
    cls.attr("SIZE") = table.fixedSize;
    py::list names;
    for (const Attribute& attribute : shared->attributes) {
        names.append(attribute.name);
        const WireField* field = attribute.field;
        const auto get = [field](const Packet& packet) {
            return ReadField(*field, Wire(packet).data());
        };
        if (!attribute.settable) {
            cls.def_property_readonly(attribute.name.c_str(), get);
        } else {
            cls.def_property(attribute.name.c_str(), get,
                             [shared, &attribute](Packet& packet, py::handle value) {
                                 shared->Set(packet, attribute, value);
                             });
        }
    }
    cls.attr("FIELDS") = py::tuple(names);
    cls.def(
        "to_bytes",
        [](const Packet& packet) {
            const std::vector<unsigned char> wire = Wire(packet);
            return py::bytes(reinterpret_cast<const char*>(wire.data()), wire.size());
        },
        "The wire form.");
    cls.def_static(
        "from_bytes",
        [](const py::buffer& source) {
            const Bytes bytes(source);
            return Packet::FromBytes(bytes.data(), bytes.size());
        },
        py::arg("data"), "Decodes the packet from the start of data; too few bytes: ValueError.");
    cls.def("__eq__", [shared](const Packet& self, py::object other) -> py::object {
        if (!py::isinstance<Packet>(other)) {
            return py::reinterpret_borrow<py::object>(Py_NotImplemented);
        }
        return py::bool_(shared->Values(self).equal(shared->Values(other.cast<const Packet&>())));
    });
    cls.attr("__hash__") = py::none();
    cls.def("__repr__", [shared](const Packet& packet) { return shared->Repr(packet); });
}

}  // namespace

void BindPackets(py::module_& module) {
    using namespace Lumera;
    Bind<LogonResponsePacket>(module, LogonResponsePacketLayout::kFields,
                              "Answer to a logon: error code and port (8 bytes).");
    // The type has no setter: it is the constructor's.
    Bind<UDPLogOnPacket>(module, UDPLogOnPacketLayout::kFields,
                         "Logon over UDP: packet type and gatekeeper session id (260 bytes).",
                         {"PacketType"});
    Bind<TCPLogonReconnectPacket>(module, TCPLogonReconnectPacketLayout::kFields,
                                  "Logon again over TCP (424 bytes).");
    Bind<WirePriceProtocolPacket>(module, WirePriceProtocolPacketLayout::kFields,
                                  "The price protocol to use (4 bytes).");
    Bind<WireHolePunchDelayPacket>(module, WireHolePunchDelayPacketLayout::kFields,
                                   "The hole-punch delay of the datagram channel (4 bytes).");
    Bind<StartLogFileSend>(module, StartLogFileSendLayout::kFields,
                           "Announces a log file about to be sent (288 bytes).");
    // No setters: every field is the constructor's.
    Bind<CLMWirePriceSubscriptionPacket>(module, CLMWirePriceSubscriptionPacketLayout::kFields,
                                         "Asks for prices: two integers and a text (108 bytes).",
                                         {"First", "Second", "Text"});
}

}  // namespace lmwire::binding
