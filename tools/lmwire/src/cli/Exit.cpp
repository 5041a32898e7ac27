#include "cli/Exit.h"

#include <cerrno>
#include <cstdio>
#include <exception>
#include <new>

#include <fmt/format.h>
#include <CLI/CLI.hpp>

#include "common/Errors.h"
#include "common/Text.h"
#include "io/Output.h"
#include "records/Kinds.h"
#include "wire_types/support/VeyException.h"

namespace lmwire {
namespace {

int Fail(int code, const std::string& message) {
    std::fflush(stdout);
    fmt::print(stderr, "lmwire: {}\n", message);
    return code;
}

}  // namespace

std::string KindsHelp(bool withFields) {
    std::string text = "\nKinds:\n";
    for (const Kind& kind : AllKinds()) {
        text += fmt::format("  {:<20} {}\n", kind.name, kind.summary);
        if (withFields) {
            std::vector<std::string> names;
            for (const Field& field : kind.fields) {
                if (!field.derived) {
                    names.push_back(field.name);
                }
            }
            text += fmt::format("{:23}fields: {}\n", "", fmt::join(names, " "));
        }
    }
    return text;
}

void RefuseUnknownCommand(const CLI::App& app, int argc, const char* const* argv) {
    const std::string first = argc > 1 ? argv[1] : "";
    if (first.empty() || first[0] == '-' ||
        !app.get_subcommands([&](const CLI::App* c) { return c->get_name() == first; }).empty()) {
        return;
    }
    std::vector<std::string> names;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(command->get_name());
    }
    throw BadInput(
        fmt::format("unknown command {} (commands: {})", Quoted(first), fmt::join(names, ", ")));
}

int FailureStatus(const CLI::App& app) {
    try {
        throw;
    } catch (const CLI::ParseError& error) {
        if (error.get_exit_code() == static_cast<int>(CLI::ExitCodes::Success)) {
            // Help and version go to standard output too, and are checked like any result.
            errno = 0;
            app.exit(error);
            return FinishStatus(errno);
        }
        // CLI11 repeats the arguments it refuses as they were typed.
        return Fail(kExitBadInput, Escaped(error.what()) + " (see lmwire --help)");
    } catch (const BadInput& error) {
        return Fail(kExitBadInput, error.what());
    } catch (const WriteError& error) {
        return error.ReaderGone() ? kExitInternal : Fail(kExitInternal, error.what());
    } catch (const RunError& error) {
        return Fail(kExitInternal, error.what());
    } catch (const std::bad_alloc&) {
        return Fail(kExitInternal, "out of memory");
    } catch (const std::exception& error) {
        return Fail(kExitInternal, "internal error: " + Escaped(error.what()));
    } catch (VeyException* error) {
        const std::string message = error->message;
        delete error;
        return Fail(kExitInternal, "internal error: " + Escaped(message));
    } catch (...) {
        return Fail(kExitInternal, "internal error");
    }
}

int FinishStatus(int earlierError) {
    try {
        FinishStandardOutput(earlierError);
    } catch (const WriteError& error) {
        return error.ReaderGone() ? kExitInternal : Fail(kExitInternal, error.what());
    }
    return kExitOk;
}

}  // namespace lmwire
