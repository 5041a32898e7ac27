// Inputs of any length, endless ones included, are read in bounded memory: a record is refused
// one byte past the most it may take, and a capture is decoded as it is read.

#include <gtest/gtest.h>
#include <algorithm>

#include <cstdint>
#include <limits>

#include "RunTool.h"

namespace lmwire_test {
namespace {

constexpr std::size_t kVariableCap = std::size_t{1} << 20;
constexpr std::uint64_t kEndless = std::numeric_limits<std::uint64_t>::max();
// Far above what a bounded run takes, far below what reading an endless input would reach
// before the time limit.
constexpr long kBoundedRssKb = 256 * 1024;

const std::vector<std::string>& RecordKinds() {
    static const std::vector<std::string> kinds = {
        "logon-response",     "udp-logon",        "tcp-logon-reconnect",
        "price-protocol",     "hole-punch-delay", "start-log-file-send",
        "price-subscription", "account-data",     "account-contract"};
    return kinds;
}

void ExpectPromptBadInput(const Result& result) {
    EXPECT_FALSE(result.timedOut);
    EXPECT_EQ(result.status, 2) << result.err;
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_LT(result.maxRssKb, kBoundedRssKb);
}

// Endless devices, and a pipe of valid hex (or zero bytes) for ever that only the record's bound
// can stop.
TEST(BoundedInput, EndlessInputsEndPromptlyForEveryKind) {
    for (const std::string& kind : RecordKinds()) {
        for (const std::string source : {"/dev/zero", "/dev/urandom", "pipe"}) {
            for (const bool binary : {true, false}) {
                SCOPED_TRACE(kind + " " + source + (binary ? " --binary" : " hex"));
                ToolRun run;
                run.args = {"decode", kind};
                if (binary) {
                    run.args.push_back("--binary");
                }
                if (source == "pipe") {
                    run.feed = binary ? std::string(1, '\0') : "00 ";
                    run.feedBytes = kEndless;
                } else {
                    run.inputPath = source;
                }
                run.timeoutSeconds = 20;
                const Result result = RunTool(run);
                ExpectPromptBadInput(result);
                const bool fixed = kind != "account-data" && kind != "account-contract";
                if (source == "pipe") {
                    EXPECT_NE(result.err.find(fixed ? " or more" : "more than 1048576 bytes"),
                              std::string::npos)
                        << result.err;
                }
            }
        }
    }
}

TEST(BoundedInput, AVariableRecordIsTakenUpToItsCapAndRefusedOneBytePast) {
    // An account contract whose name fills the cap exactly: two blocks, "ES", then the name.
    const std::size_t nameLength = kVariableCap - 108 - 3 - 1;
    // Filled in place rather than grown by insertion, which GCC 12's optimiser misreads.
    Bytes bytes(kVariableCap, 0);
    bytes[108] = 'E';
    bytes[109] = 'S';
    std::fill_n(bytes.begin() + 111, nameLength, static_cast<unsigned char>('n'));
    ASSERT_EQ(bytes.size(), kVariableCap);
    for (const bool binary : {true, false}) {
        SCOPED_TRACE(binary ? "binary" : "hex");
        std::vector<std::string> args = {"decode", "account-contract", "--json"};
        if (binary) {
            args.push_back("--binary");
        }
        const auto input = [&](const Bytes& b) {
            return binary ? std::string(b.begin(), b.end()) : ToHex(b);
        };
        const Result taken = RunTool(args, input(bytes));
        ASSERT_EQ(taken.status, 0) << taken.err;
        EXPECT_EQ(Json::parse(taken.out)["Name"].get<std::string>().size(), nameLength);

        Bytes longer = bytes;
        longer.insert(longer.end() - 1, 'n');
        const Result refused = RunTool(args, input(longer));
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.out, "");
        EXPECT_NE(refused.err.find("account-contract: more than 1048576 bytes"), std::string::npos)
            << refused.err;
    }
}

TEST(BoundedInput, ACaptureThroughAPipeIsDecodedInBoundedMemory) {
    const auto run = [](std::uint64_t bytes, const std::string& feed, bool binary) {
        ToolRun request;
        request.args = {"decode", "price-record"};
        if (binary) {
            request.args.push_back("--binary");
        }
        request.feed = feed;
        request.feedBytes = bytes;
        request.outputPath = "/dev/null";
        request.timeoutSeconds = 120;
        const Result result = RunTool(request);
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.status, 0) << result.err;
        return result.maxRssKb;
    };
    // Against a small capture, so that what the program and its runtime need anyway (more under
    // the sanitizers) does not count. Reading the whole input first would cost at least its size.
    constexpr std::uint64_t kLarge = 86ull * 800'000;  // 68.8 MB
    const long smallRaw = run(86 * 10, std::string(1, '\0'), true);
    const long largeRaw = run(kLarge, std::string(1, '\0'), true);
    EXPECT_LT(largeRaw - smallRaw, 24 * 1024) << smallRaw << " kB, then " << largeRaw << " kB";
    const long smallHex = run(2 * 86 * 10, "00", false);
    const long largeHex = run(kLarge, "00", false);
    EXPECT_LT(largeHex - smallHex, 24 * 1024) << smallHex << " kB, then " << largeHex << " kB";
}

TEST(BoundedInput, ACaptureFromAPipeGivesEveryRecordAndRefusesAPartialOne) {
    // More output than one written block, so that the lines cross the writer's blocks.
    ToolRun run;
    run.args = {"decode", "price-record", "--binary"};
    run.feed = std::string(1, '\0');
    run.feedBytes = 86 * 5000;
    const Result whole = RunTool(run);
    ASSERT_EQ(whole.status, 0) << whole.err;
    const std::vector<std::string> lines = Lines(whole.out);
    ASSERT_EQ(lines.size(), 5000u);
    EXPECT_EQ(lines.front(), lines.back());

    run.feedBytes = 86 * 5000 + 40;
    const Result partial = RunTool(run);
    EXPECT_EQ(partial.status, 2);
    EXPECT_NE(partial.err.find("430040 bytes is not a whole number of 86-byte records (40 bytes "
                               "over)"),
              std::string::npos)
        << partial.err;
}

}  // namespace
}  // namespace lmwire_test
