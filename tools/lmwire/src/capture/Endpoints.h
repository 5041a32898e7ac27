#pragma once

// The addresses and ports of datagrams as the command line takes them and the lines show them:
// the capture component's reading, its refusals made the tool's bad input.

#include <cstdint>
#include <string>
#include <vector>

#include "records/RecordLines.h"
#include "wire_types/capture/Address.h"
#include "wire_types/capture/Frame.h"

namespace lmwire {

using Lumera::capture::AddressText;
using Lumera::capture::Endpoint;

// "192.0.2.1:40000" or "[2001:db8::1]:9100"; BadInput naming `what` otherwise.
Endpoint ParseEndpoint(const std::string& text, const std::string& what);
// When, whence and whither a datagram came, as the lines show it before each of its records.
CaptureInfo InfoOf(const Lumera::capture::Datagram& datagram);
// The destination ports of --port; BadInput for one out of range.
std::vector<std::uint16_t> Ports(const std::vector<int>& given);

}  // namespace lmwire
