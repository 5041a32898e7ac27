#pragma once

// Bad input and usage end the program with status 2 and one line on standard error; a result
// that could not be written, and anything else that escapes a command, is a failure of the run
// (status 1).

#include <stdexcept>
#include <string>

namespace lmwire {

class BadInput : public std::runtime_error {
  public:
    explicit BadInput(const std::string& what) : std::runtime_error(what) {}
};

// The output could not be written or flushed. A reader that closed its end of a pipe is told
// apart: it asked for no more, so the program stops without a message.
class WriteError : public std::runtime_error {
  public:
    WriteError(const std::string& what, bool readerGone)
        : std::runtime_error(what), readerGone_(readerGone) {}
    bool ReaderGone() const { return readerGone_; }

  private:
    bool readerGone_;
};

// A failure of the run that is neither the input's nor the output's (a socket the system
// refuses): status 1, with its one line.
class RunError : public std::runtime_error {
  public:
    explicit RunError(const std::string& what) : std::runtime_error(what) {}
};

enum ExitCode : int { kExitOk = 0, kExitInternal = 1, kExitBadInput = 2 };

}  // namespace lmwire
