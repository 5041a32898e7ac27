#include "wire_types/capture/Address.h"

#include <arpa/inet.h>
#include <net/if.h>

#include <charconv>
#include <stdexcept>

namespace Lumera::capture {
namespace {

// A text from the command line or a caller, shown in a one-line message whatever it holds.
std::string Quoted(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "'";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7f || c == '\'' || c == '\\') {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        } else {
            out += c;
        }
    }
    return out + "'";
}

}  // namespace

Endpoint ParseEndpoint(std::string_view text) {
    Endpoint endpoint;
    std::string address;
    std::string_view port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close != std::string_view::npos) {
            address = std::string(text.substr(1, close - 1));
            port = text.substr(close + 2);
            endpoint.v6 = true;
        }
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string_view::npos) {
        address = std::string(text.substr(0, colon));
        port = text.substr(colon + 1);
    }
    if (address.empty() || inet_pton(endpoint.v6 ? AF_INET6 : AF_INET, address.c_str(),
                                     endpoint.address.data()) != 1) {
        throw std::invalid_argument(
            "expected ADDRESS:PORT (192.0.2.1:40000, [2001:db8::1]:9100), got " + Quoted(text));
    }
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), value);
    if (port.empty() || end != port.data() + port.size() || ec != std::errc() || value > 65535) {
        throw std::invalid_argument("port " + Quoted(port) + " of " + Quoted(text) +
                                    ": expected 0 to 65535");
    }
    endpoint.port = static_cast<std::uint16_t>(value);
    return endpoint;
}

Endpoint MakeEndpoint(std::string_view address, long port) {
    Endpoint endpoint;
    endpoint.v6 = address.find(':') != std::string_view::npos;
    if (inet_pton(endpoint.v6 ? AF_INET6 : AF_INET, std::string(address).c_str(),
                  endpoint.address.data()) != 1) {
        throw std::invalid_argument(
            "expected an IPv4 or IPv6 address (192.0.2.1, 2001:db8::1), got " + Quoted(address));
    }
    if (port < 0 || port > 65535) {
        throw std::invalid_argument("port " + std::to_string(port) + ": expected 0 to 65535");
    }
    endpoint.port = static_cast<std::uint16_t>(port);
    return endpoint;
}

std::string AddressText(const Endpoint& endpoint) {
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(endpoint.v6 ? AF_INET6 : AF_INET, endpoint.address.data(), text, sizeof text);
    return text;
}

std::string EndpointText(const Endpoint& endpoint) {
    const std::string address = AddressText(endpoint);
    return (endpoint.v6 ? "[" + address + "]" : address) + ":" + std::to_string(endpoint.port);
}

bool IsMulticast(const Endpoint& endpoint) noexcept {
    return endpoint.v6 ? endpoint.address[0] == 0xff : (endpoint.address[0] & 0xf0) == 0xe0;
}

unsigned InterfaceIndex(const std::string& name) {
    if (name.empty()) {
        return 0;
    }
    const unsigned index = if_nametoindex(name.c_str());
    if (index == 0) {
        throw std::invalid_argument("interface " + Quoted(name) + ": no such interface");
    }
    return index;
}

}  // namespace Lumera::capture
