// What only the whole program shows: exit statuses, standard output and standard error kept
// apart, help, results that cannot be written, a named file replaced only by a run that succeeds,
// and inputs through pipes, endless ones included, read as they arrive in bounded memory.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>

#include "RunTool.h"

namespace lmwire_test {
namespace {

TEST(Program, BadInputAndUsageGiveStatusTwoAndOneLineOnStandardError) {
    const struct {
        std::vector<std::string> args;
        std::string message, input = "";
    } cases[] = {
        {{}, "subcommand is required"},
        {{"bogus"}, "unknown command 'bogus' (commands: price, ticks"},
        {{"bo\ngus"}, "unknown command 'bo\\ngus'"},
        {{"decode"}, "KIND is required"},
        {{"decode", "logon-response", "--he\nx"}, "--he\\nx"},
        {{"decode", "price-record", "--jobs", "0"}, "--jobs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        const Result result = RunTool(c.args, c.input);
        EXPECT_EQ(result.status, 2) << result.out << result.err;
        EXPECT_EQ(result.out, "");
        const std::vector<std::string> lines = Lines(result.err);
        ASSERT_EQ(lines.size(), 1u) << result.err;
        EXPECT_EQ(lines[0].rfind("lmwire: ", 0), 0u) << lines[0];
        EXPECT_NE(lines[0].find(c.message), std::string::npos) << lines[0];
    }
}

TEST(Program, AResultGoesToStandardOutputWithStatusZero) {
    const Result hex = RunTool({"decode", "logon-response"}, "03 00 00 00\n8C 23\t00 00\n");
    EXPECT_EQ(hex.status, 0);
    EXPECT_EQ(hex.out, "ErrorCode  3\nPort       9100\n");
    EXPECT_EQ(hex.err, "");
    const Result help = RunTool({"decode", "--help"});
    EXPECT_EQ(help.status, 0) << help.err;
    EXPECT_NE(help.out.find("\nUsage: "), std::string::npos) << help.out;
}

// A result that cannot be written is a failure of the run (status 1, one line naming the output
// and the system's reason), except when the reader has gone: then the program stops quietly,
// killed by SIGPIPE or, where a parent left that ignored, with status 1.
TEST(WriteError, EveryWriterReportsAFullOutputAndStopsQuietlyWhenItsReaderHasGone) {
    TempDir dir;
    // Enough records that every decoding thread has work when the first write fails.
    const std::vector<std::string> parallel = {
        "decode", "price-record", "--binary", "--json", "--jobs", "3", SynthPrices(dir, 40000)};
    // Every writer: the tables', a decoded line's, the parallel decoder's, the raw bytes', the
    // demo's, the command line's own, and a named file's (more than one block, so that the
    // failure comes while writing, not only at the close).
    const std::vector<std::vector<std::string>> commands = {
        {"formats"},
        {"decode", "logon-response"},
        parallel,
        {"encode", "logon-response", "--binary", "Port=9100"},
        {"synth", "prices", "10", "-"},
        {"demo"},
        {"decode", "--help"},
        {"--version"},
        {"synth", "prices", "10", "/dev/full"},
        {"synth", "prices", "100000", "/dev/full"},
    };
    for (const std::vector<std::string>& args : commands) {
        SCOPED_TRACE(::testing::PrintToString(args));
        const Result full = RunTool({.args = args,
                                     .input = "00000000 8c230000",
                                     .outputPath = "/dev/full",
                                     .timeoutSeconds = 20});
        EXPECT_FALSE(full.timedOut);
        EXPECT_EQ(full.status, 1) << full.err;
        EXPECT_EQ(full.err, "lmwire: cannot write " +
                                (args.back() == "/dev/full" ? args.back() : "standard output") +
                                ": " + std::strerror(ENOSPC) + "\n");
    }
    for (const bool ignored : {false, true}) {
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"formats"}, {"synth", "prices", "100000", "-"}, parallel}) {
            SCOPED_TRACE(::testing::PrintToString(args) + (ignored ? " SIGPIPE ignored" : ""));
            const Result quiet = RunTool({.args = args,
                                          .outputToClosedPipe = true,
                                          .ignoreSigpipe = ignored,
                                          .timeoutSeconds = 20});
            EXPECT_FALSE(quiet.timedOut);
            EXPECT_EQ(quiet.status, ignored ? 1 : 128 + SIGPIPE);
            EXPECT_EQ(quiet.err, "");
        }
    }
}

// A named output is replaced whole or not at all: a failed or interrupted run leaves the file as
// it was (content and mode) and nothing beside it; a link keeps pointing at the new content.
TEST(EncodeLines, AFileIsReplacedOnlyByARunThatSucceeds) {
    TempDir dir;
    const std::string json =
        RunTool({"decode", "price-record", "--binary", "--json", SynthPrices(dir, 50)}).out;
    const std::string old = dir.Path("old.bin");
    const Bytes oldBytes(516000, 7);
    WriteFile(old, oldBytes);
    ASSERT_EQ(chmod(old.c_str(), 0640), 0);
    const auto mode = [](const std::string& path) {
        struct stat status {};
        return stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0u;
    };
    // Nothing left beside it, not even a file of the name it was to write.
    const auto names = [&dir] {
        return std::distance(std::filesystem::directory_iterator(dir.Path("")), {});
    };
    const auto before = names();
    // Bad at the end and at once; into an old file and a new one.
    for (const std::string& input : {json + "bad\n", "bad\n" + json}) {
        for (const std::string& out : {old, dir.Path("new.bin")}) {
            const Result result =
                RunTool({"encode", "price-record", "--from-jsonl", "-", out}, input);
            EXPECT_EQ(result.status, 2) << result.err;
        }
        EXPECT_EQ(ReadFile(old), oldBytes);
        EXPECT_EQ(mode(old), 0640u);
        EXPECT_EQ(names(), before);
    }
    // Stopped by a signal while writing: the same.
    ASSERT_EQ(
        WEXITSTATUS(Shell("timeout -s INT 0.3 " LMWIRE_TOOL " synth prices 2000000000 " + old)),
        124);
    EXPECT_EQ(ReadFile(old), oldBytes);
    EXPECT_EQ(names(), before);

    // Success through a link replaces its target, keeping the target's mode; a new file gets
    // the mode that the mask leaves.
    std::filesystem::create_symlink("old.bin", dir.Path("link"));
    ASSERT_EQ(
        RunTool({"encode", "price-record", "--from-jsonl", "-", dir.Path("link")}, json).status, 0);
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("link")));
    EXPECT_EQ(ReadFile(old).size(), 50u * 86);
    EXPECT_EQ(mode(old), 0640u);
    const mode_t mask = umask(027);
    const Result fresh = RunTool({"synth", "prices", "1", dir.Path("new.bin")});
    umask(mask);
    ASSERT_EQ(fresh.status, 0) << fresh.err;
    EXPECT_EQ(mode(dir.Path("new.bin")), 0640u);
}

// A pipe of valid hex (or zero bytes) for ever that only the record's bound can stop, for a kind
// of fixed size and one of variable size: refused promptly, in little memory.
TEST(Pipes, EndlessInputsEndPromptly) {
    for (const std::string kind : {"tcp-logon-reconnect", "account-contract"}) {
        for (const bool binary : {true, false}) {
            SCOPED_TRACE(kind + (binary ? " --binary" : " hex"));
            const Result result = RunTool({.args = {"decode", kind, binary ? "--binary" : "--json"},
                                           .feed = binary ? std::string(1, '\0') : "00 ",
                                           .feedBytes = std::numeric_limits<std::uint64_t>::max(),
                                           .timeoutSeconds = 20});
            EXPECT_FALSE(result.timedOut);
            EXPECT_EQ(result.status, 2) << result.err;
            EXPECT_EQ(result.out, "");
            EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
            EXPECT_NE(result.err.find(" bytes"), std::string::npos) << result.err;
            EXPECT_LT(result.maxRssKb, 256 * 1024);
        }
    }
}

// Against a small capture, so that what the program and its runtime need anyway (more under the
// sanitizers) does not count; reading the whole input first would cost at least its size. The
// small one gives more output than one written block, so that the lines cross the blocks.
TEST(Pipes, ACaptureThroughAPipeIsDecodedInBoundedMemory) {
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "hex");
        const auto run = [binary](std::uint64_t records, bool keep) {
            const Result result =
                RunTool({.args = {"decode", "price-record", binary ? "--binary" : "--json"},
                         .feed = binary ? std::string(1, '\0') : "00",
                         .feedBytes = 86 * records * (binary ? 1 : 2),
                         .outputPath = keep ? "" : "/dev/null",
                         .timeoutSeconds = 120});
            EXPECT_FALSE(result.timedOut);
            EXPECT_EQ(result.status, 0) << result.err;
            return result;
        };
        const Result small = run(5000, true);
        const std::vector<std::string> lines = Lines(small.out);
        ASSERT_EQ(lines.size(), 5000u);
        EXPECT_EQ(std::count(lines.begin(), lines.end(), lines.front()), 5000);
        const long large = run(binary ? 800'000 : 400'000, false).maxRssKb;  // 68.8 MB
        EXPECT_LT(large - small.maxRssKb, 24 * 1024) << small.maxRssKb << " kB, then " << large;
    }
}

}  // namespace
}  // namespace lmwire_test
