#pragma once

// Bad input and usage end the program with status 2 and one line on standard error; anything
// else that escapes a command is an internal failure (status 1).

#include <stdexcept>
#include <string>

namespace lmwire {

class BadInput : public std::runtime_error {
  public:
    explicit BadInput(const std::string& what) : std::runtime_error(what) {}
};

enum ExitCode : int { kExitOk = 0, kExitInternal = 1, kExitBadInput = 2 };

}  // namespace lmwire
