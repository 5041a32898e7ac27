#pragma once

// The addresses and ports of datagrams as the command line takes them and the lines show them.

#include <string>

#include "wire_types/capture/Frame.h"

namespace lmwire {

using Lumera::capture::Endpoint;

// "192.0.2.1" or "2001:db8::1".
std::string AddressText(const Endpoint& endpoint);
// "192.0.2.1:40000" or "[2001:db8::1]:9100"; BadInput naming `what` otherwise.
Endpoint ParseEndpoint(const std::string& text, const std::string& what);

}  // namespace lmwire
