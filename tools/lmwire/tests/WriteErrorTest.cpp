// A result that cannot be written is a failure of the run (status 1, one line naming the output
// and the system's reason), except when the reader has gone: then the program stops quietly.

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>

#include "RunTool.h"

namespace lmwire_test {
namespace {

void ExpectOneWriteErrorLine(const Result& result, const std::string& output) {
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.status, 1) << result.err;
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 1u) << result.err;
    EXPECT_EQ(lines[0], "lmwire: cannot write " + output + ": " + std::strerror(ENOSPC));
}

TEST(WriteError, EveryCommandReportsAFullStandardOutput) {
    TempDir dir;
    // Enough records that every decoding thread has work when the first write fails.
    const std::string capture = SynthPrices(dir, 40000);
    const std::vector<std::vector<std::string>> commands = {
        {"formats"},
        {"price", "9", "1234"},
        {"ticks", "9", "9.205"},
        {"ticks", "--as-decimal", "9", "9.5"},
        {"decode", "logon-response"},
        {"decode", "price-record", "--binary", capture},
        {"decode", "price-record", "--binary", "--json", capture},
        {"decode", "price-record", "--binary", "--jobs", "3", capture},
        {"encode", "logon-response", "Port=9100"},
        {"encode", "logon-response", "--binary", "Port=9100"},
        {"synth", "prices", "10", "-"},
        {"demo"},
        {"--help"},
        {"decode", "--help"},
        {"--version"},
    };
    for (const std::vector<std::string>& args : commands) {
        SCOPED_TRACE(args[0] + (args.size() > 1 ? " " + args[1] : ""));
        ToolRun run;
        run.args = args;
        run.input = "00000000 8c230000";
        run.outputPath = "/dev/full";
        run.timeoutSeconds = 20;
        ExpectOneWriteErrorLine(RunTool(run), "standard output");
    }
}

TEST(WriteError, SynthNamesTheFileItCouldNotWrite) {
    ExpectOneWriteErrorLine(RunTool({"synth", "prices", "10", "/dev/full"}), "/dev/full");
    // More than one block, so that the failure comes while writing, not only at the close.
    ExpectOneWriteErrorLine(RunTool({"synth", "prices", "100000", "/dev/full"}), "/dev/full");
}

TEST(WriteError, AReaderThatHasGoneStopsTheProgramWithoutAMessage) {
    ToolRun run;
    run.args = {"formats"};
    run.outputToClosedPipe = true;
    const Result killed = RunTool(run);
    EXPECT_EQ(killed.status, 128 + SIGPIPE);
    EXPECT_EQ(killed.err, "");

    TempDir dir;
    const std::string capture = SynthPrices(dir, 40000);
    run.ignoreSigpipe = true;
    run.timeoutSeconds = 20;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"synth", "prices", "100000", "-"},
          std::vector<std::string>{"decode", "price-record", "--binary", "--jobs", "3", capture}}) {
        SCOPED_TRACE(args[0]);
        run.args = args;
        const Result quiet = RunTool(run);
        EXPECT_FALSE(quiet.timedOut);
        EXPECT_EQ(quiet.status, 1);
        EXPECT_EQ(quiet.err, "");
    }
}

}  // namespace
}  // namespace lmwire_test
