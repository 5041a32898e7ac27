#pragma once

// What the command line needs besides its parsing: the help text of the kinds, and how a run
// ends, with its exit status and at most one line on standard error.

#include <string>

namespace CLI {
class App;
}

namespace lmwire {

// The kinds for decode --help and encode --help, with the fields each takes when `withFields`.
std::string KindsHelp(bool withFields);
// BadInput when the first argument names no command: CLI11 would report a missing one.
void RefuseUnknownCommand(const CLI::App& app, int argc, const char* const* argv);
// Inside a catch: the exit status of the exception in flight, after its one line on standard
// error. Help and version, which CLI11 throws, are printed by `app` and checked like a result.
int FailureStatus(const CLI::App& app);
// The last check on standard output, for whatever reached it outside a command's own Output
// (help, version): 0, or 1 after one line when it could not be written.
int FinishStatus(int earlierError = 0);

}  // namespace lmwire
