// Built with the capture component only: its reading of addresses is the tool's.
#ifdef LMWIRE_HAVE_CAPTURE

#include "capture/Endpoints.h"

#include <stdexcept>

#include <fmt/format.h>

#include "common/Errors.h"

namespace lmwire {

Endpoint ParseEndpoint(const std::string& text, const std::string& what) {
    try {
        return Lumera::capture::ParseEndpoint(text);
    } catch (const std::invalid_argument& error) {
        throw BadInput(what + ": " + error.what());
    }
}

CaptureInfo InfoOf(const Lumera::capture::Datagram& datagram) {
    CaptureInfo info;
    info.seconds = datagram.seconds;
    info.microseconds = datagram.nanoseconds / 1000;
    info.source = AddressText(datagram.source);
    info.sourcePort = datagram.source.port;
    info.destination = AddressText(datagram.destination);
    info.destinationPort = datagram.destination.port;
    return info;
}

std::vector<std::uint16_t> Ports(const std::vector<int>& given) {
    std::vector<std::uint16_t> ports;
    for (const int port : given) {
        if (port < 0 || port > 65535) {
            throw BadInput(fmt::format("--port {}: expected 0 to 65535", port));
        }
        ports.push_back(static_cast<std::uint16_t>(port));
    }
    return ports;
}

}  // namespace lmwire

#endif
