#include "capture/Endpoints.h"

#include <arpa/inet.h>

#include "common/Errors.h"
#include "common/Text.h"

namespace lmwire {

std::string AddressText(const Endpoint& endpoint) {
    char text[INET6_ADDRSTRLEN] = {};
    inet_ntop(endpoint.v6 ? AF_INET6 : AF_INET, endpoint.address.data(), text, sizeof text);
    return text;
}

Endpoint ParseEndpoint(const std::string& text, const std::string& what) {
    Endpoint endpoint;
    std::string address;
    std::string port;
    if (!text.empty() && text.front() == '[') {
        const std::size_t close = text.find("]:");
        if (close != std::string::npos) {
            address = text.substr(1, close - 1);
            port = text.substr(close + 2);
            endpoint.v6 = true;
        }
    } else if (const std::size_t colon = text.rfind(':'); colon != std::string::npos) {
        address = text.substr(0, colon);
        port = text.substr(colon + 1);
    }
    if (address.empty() || inet_pton(endpoint.v6 ? AF_INET6 : AF_INET, address.c_str(),
                                     endpoint.address.data()) != 1) {
        throw BadInput(what +
                       ": expected ADDRESS:PORT (192.0.2.1:40000, [2001:db8::1]:9100), got " +
                       Quoted(text));
    }
    endpoint.port = static_cast<std::uint16_t>(ParseInteger(port, 0, 65535, what + " port"));
    return endpoint;
}

}  // namespace lmwire
