#pragma once

// File names as messages show them: controls and backslashes escaped, so that a message is one
// line whatever a name holds.

#include <string>

namespace Lumera::capture::detail {

[[nodiscard]] std::string Escaped(const std::string& text);

}  // namespace Lumera::capture::detail
