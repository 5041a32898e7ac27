#pragma once

// Addresses of live feeds as people write them: "192.0.2.1:9300" or "[2001:db8::1]:9300", a
// unicast address or a multicast group, and a network interface by its name. One reading for the
// tool's listen, replay and synth and for the Python package, so that they accept and refuse the
// same texts in the same words.

#include <cstdint>
#include <string>
#include <string_view>

#include "wire_types/capture/Export.h"
#include "wire_types/capture/Frame.h"

namespace Lumera::capture {

// "ADDRESS:PORT", IPv6 in brackets. std::invalid_argument, one line quoting the text, for
// anything else or a port beyond 65535.
[[nodiscard]] LMWIRE_CAPTURE_API Endpoint ParseEndpoint(std::string_view text);
// An address alone ("192.0.2.1", "2001:db8::1", without brackets) and a port, as a caller that
// holds them apart gives them (Python's address and port arguments, a multicast source);
// std::invalid_argument as ParseEndpoint.
[[nodiscard]] LMWIRE_CAPTURE_API Endpoint MakeEndpoint(std::string_view address, long port);
// "192.0.2.1" or "2001:db8::1".
[[nodiscard]] LMWIRE_CAPTURE_API std::string AddressText(const Endpoint& endpoint);
// "192.0.2.1:9300" or "[2001:db8::1]:9300": what ParseEndpoint reads back.
[[nodiscard]] LMWIRE_CAPTURE_API std::string EndpointText(const Endpoint& endpoint);
// 224.0.0.0/4 or ff00::/8.
[[nodiscard]] LMWIRE_CAPTURE_API bool IsMulticast(const Endpoint& endpoint) noexcept;
// The index of the interface named `name` (0 for an empty name: the system's choice);
// std::invalid_argument when there is none of that name.
[[nodiscard]] LMWIRE_CAPTURE_API unsigned InterfaceIndex(const std::string& name);

}  // namespace Lumera::capture
