// The seven fixed packets as Python classes. Each field is declared once, as a name with a getter
// and (where the class has one) a setter; the keyword constructor, the attributes, equality and
// repr all follow that list. Construction, encoding and checked decoding are the library's own.

#include <functional>
#include <memory>
#include <new>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "Bindings.h"
#include "Values.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"

namespace lmwire::binding {
namespace {

template <class Packet>
struct Field {
    const char* name;
    py::object (*get)(const Packet&);
    // Null where the class has no setter: the field is then given to the constructor only.
    void (*set)(Packet&, py::handle, const char* name);
};

// The parameter type of a setter such as SetPort(long) or SetErrorCode(enumErrors).
template <class Setter>
struct SetterArg;
template <class Packet, class Arg>
struct SetterArg<void (Packet::*)(Arg)> {
    using type = std::decay_t<Arg>;
};
template <class Packet, class Arg>
struct SetterArg<void (Packet::*)(Arg) noexcept> {
    using type = std::decay_t<Arg>;
};

// Integer and enumeration fields: 32-bit on the wire whatever the declared type.
template <class Packet, auto Getter, auto Setter = nullptr>
Field<Packet> Int(const char* name) {
    Field<Packet> field{name,
                        [](const Packet& packet) -> py::object {
                            return py::int_(static_cast<long long>((packet.*Getter)()));
                        },
                        nullptr};
    if constexpr (!std::is_null_pointer_v<decltype(Setter)>) {
        field.set = [](Packet& packet, py::handle value, const char* fieldName) {
            using Arg = typename SetterArg<decltype(Setter)>::type;
            (packet.*Setter)(static_cast<Arg>(Int32(value, fieldName)));
        };
    }
    return field;
}

template <class Packet, auto Getter, auto Setter = nullptr>
Field<Packet> Text(const char* name) {
    Field<Packet> field{
        name, [](const Packet& packet) -> py::object { return WideText((packet.*Getter)()); },
        nullptr};
    if constexpr (!std::is_null_pointer_v<decltype(Setter)>) {
        field.set = [](Packet& packet, py::handle value, const char* fieldName) {
            (packet.*Setter)(NarrowText(value, fieldName));
        };
    }
    return field;
}

// Takes the keyword arguments that the class's constructor needs (for fields without a setter)
// and returns the packet built from them; the rest are set through the setters.
template <class Packet>
using Maker = std::function<Packet(py::dict&)>;

// The keyword argument `name`, removed from `kwargs`, or `fallback`.
py::object Take(py::dict& kwargs, const char* name, py::object fallback) {
    if (!kwargs.contains(name)) {
        return fallback;
    }
    py::object value = kwargs[name];
    PyDict_DelItemString(kwargs.ptr(), name);
    return value;
}

template <class Packet>
struct PacketClass {
    const char* name;
    std::vector<Field<Packet>> fields;
    // A class with a setter for every field is built by its default constructor.
    Maker<Packet> make = [](py::dict&) { return Packet(); };

    py::tuple Values(const Packet& packet) const {
        py::tuple values(fields.size());
        for (std::size_t i = 0; i < fields.size(); ++i) {
            values[i] = fields[i].get(packet);
        }
        return values;
    }

    Packet Construct(const py::kwargs& given) const {
        py::dict kwargs(given);
        Packet packet = make(kwargs);
        for (const auto& [key, value] : kwargs) {
            const std::string key_name = py::str(key);
            const Field<Packet>* field = nullptr;
            for (const Field<Packet>& candidate : fields) {
                if (key_name == candidate.name) {
                    field = &candidate;
                }
            }
            if (field == nullptr || field->set == nullptr) {
                throw py::type_error(std::string(name) + "() got an unexpected keyword argument '" +
                                     key_name + "'");
            }
            field->set(packet, value, field->name);
        }
        return packet;
    }

    std::string Repr(const Packet& packet) const {
        std::string text = name;
        text += '(';
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) {
                text += ", ";
            }
            text += fields[i].name;
            text += '=';
            text += py::repr(fields[i].get(packet));
        }
        text += ')';
        return text;
    }
};

template <class Packet>
py::bytes Encoded(const Packet& packet) {
    long length = 0;
    const std::unique_ptr<unsigned char[]> bytes(packet.Encode(&length));
    if (!bytes) {
        throw std::bad_alloc();
    }
    return py::bytes(reinterpret_cast<const char*>(bytes.get()), static_cast<std::size_t>(length));
}

template <class Packet>
void Bind(py::module_& module, PacketClass<Packet> description, const char* doc) {
    const auto shared = std::make_shared<const PacketClass<Packet>>(std::move(description));
    py::class_<Packet> cls(module, shared->name, doc);
    cls.def(py::init([shared](const py::kwargs& kwargs) { return shared->Construct(kwargs); }));
    cls.attr("SIZE") = py::len(Encoded(shared->Construct(py::kwargs())));
    py::list names;
    for (const Field<Packet>& field : shared->fields) {
        names.append(field.name);
        const auto get = field.get;
        const auto set = field.set;
        const char* fieldName = field.name;
        if (set == nullptr) {
            cls.def_property_readonly(fieldName,
                                      [get](const Packet& packet) { return get(packet); });
        } else {
            cls.def_property(
                fieldName, [get](const Packet& packet) { return get(packet); },
                [set, fieldName](Packet& packet, py::handle value) {
                    set(packet, value, fieldName);
                });
        }
    }
    cls.attr("FIELDS") = py::tuple(names);
    cls.def("to_bytes", &Encoded<Packet>, "The wire form.");
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

using Lumera::CLMWirePriceSubscriptionPacket;
using Lumera::LogonResponsePacket;
using Lumera::StartLogFileSend;
using Lumera::TCPLogonReconnectPacket;
using Lumera::UDPLogOnPacket;
using Lumera::WireHolePunchDelayPacket;
using Lumera::WirePriceProtocolPacket;

}  // namespace

void BindPackets(py::module_& module) {
    using P1 = LogonResponsePacket;
    Bind<P1>(module,
             {"LogonResponsePacket",
              {Int<P1, &P1::GetErrorCode, &P1::SetErrorCode>("error_code"),
               Int<P1, &P1::GetPort, &P1::SetPort>("port")}},
             "Answer to a logon: error code and port (8 bytes).");

    using P2 = UDPLogOnPacket;
    Bind<P2>(module,
             {"UDPLogOnPacket",
              {Int<P2, &P2::GetPacketType>("packet_type"),
               Text<P2, &P2::GetGateKeeperSessionID, &P2::SetGateKeeperSessionID>(
                   "gate_keeper_session_id")},
              [](py::dict& kwargs) {
                  // The type has no setter: it is the constructor's.
                  const py::object type = Take(kwargs, "packet_type", py::int_(0));
                  const py::object id = Take(kwargs, "gate_keeper_session_id", py::str(""));
                  return P2(NarrowText(id, "gate_keeper_session_id"),
                            static_cast<Lumera::UDPPacketTypes>(Int32(type, "packet_type")));
              }},
             "Logon over UDP: packet type and gatekeeper session id (260 bytes).");

    using P3 = TCPLogonReconnectPacket;
    Bind<P3>(module,
             {"TCPLogonReconnectPacket",
              {Text<P3, &P3::GetApiName, &P3::SetAPIName>("api_name"),
               Text<P3, &P3::GetApiVersion, &P3::SetApiVersion>("api_version"),
               Text<P3, &P3::GetUserID, &P3::SetUserID>("user_id"),
               Text<P3, &P3::GetGateKeeperSessionID, &P3::SetGateKeeperSessionID>(
                   "gate_keeper_session_id"),
               Int<P3, &P3::GetPriceProtocol, &P3::SetPriceProtocol>("price_protocol"),
               Int<P3, &P3::GetPriceLevel, &P3::SetPriceLevel>("price_level"),
               Int<P3, &P3::GetSessionType, &P3::SetSessionType>("session_type"),
               Int<P3, &P3::GetAccountNumber, &P3::SetAccountNumber>("account_number")}},
             "Logon again over TCP (424 bytes).");

    using P4 = WirePriceProtocolPacket;
    Bind<P4>(module,
             {"WirePriceProtocolPacket",
              {Int<P4, &P4::GetPriceProtocol, &P4::SetPriceProtocol>("price_protocol")}},
             "The price protocol to use (4 bytes).");

    using P5 = WireHolePunchDelayPacket;
    Bind<P5>(module, {"WireHolePunchDelayPacket", {Int<P5, &P5::GetDelay, &P5::SetDelay>("delay")}},
             "The hole-punch delay of the datagram channel (4 bytes).");

    using P6 = StartLogFileSend;
    Bind<P6>(module,
             {"StartLogFileSend",
              {Int<P6, &P6::GetAccountNumber, &P6::SetAccountNumber>("account_number"),
               Int<P6, &P6::GetFileSize, &P6::SetFileSize>("file_size"),
               Text<P6, &P6::GetUserID, &P6::SetUserID>("user_id"),
               Text<P6, &P6::GetLogFile, &P6::SetLogFile>("log_file")}},
             "Announces a log file about to be sent (288 bytes).");

    using P7 = CLMWirePriceSubscriptionPacket;
    Bind<P7>(module,
             {"CLMWirePriceSubscriptionPacket",
              {Int<P7, &P7::GetFirst>("first"), Int<P7, &P7::GetSecond>("second"),
               Text<P7, &P7::GetText>("text")},
              [](py::dict& kwargs) {
                  // No setters: every field is the constructor's.
                  const py::object first = Take(kwargs, "first", py::int_(0));
                  const py::object second = Take(kwargs, "second", py::int_(0));
                  const py::object text = Take(kwargs, "text", py::str(""));
                  return P7(Int32(first, "first"), Int32(second, "second"),
                            NarrowText(text, "text"));
              }},
             "Asks for prices: two integers and a text (108 bytes).");
}

}  // namespace lmwire::binding
