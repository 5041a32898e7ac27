// Captures of many records: synth is seeded, a capture is formatted on any number of threads in
// the file's order, and one that is not whole records is refused before any output, or with
// --partial decoded up to its last whole record.

#include <gtest/gtest.h>

#include "Parts.h"

namespace lmwire_test {
namespace {

std::string Synth(const std::string& name, int count, int seed) {
    const std::string path = TempFile(name);
    Tool({"synth", "prices", std::to_string(count), path, "--seed", std::to_string(seed)});
    return path;
}

TEST(Capture, SameSeedSameRecordsOtherSeedOtherRecords) {
    EXPECT_EQ(ReadText(Synth("a", 200, 1)), ReadText(Synth("b", 200, 1)));
    EXPECT_NE(ReadText(Synth("a", 200, 1)), ReadText(Synth("c", 200, 2)));
    EXPECT_EQ(Tool({"decode", "price-record", "--binary", Synth("e", 0, 1)}).out, "");
}

TEST(Capture, EveryJobCountGivesTheLinesOfOneInFileOrderAndRefusesACutOneBeforeAnyOutput) {
    // Six pieces of work (1,024 records each), the last one short, and a partial record after them.
    const std::string capture = Synth("jobs", 5121, 4);
    const std::string cut = TempFile("cut", ReadText(capture) + std::string(30, '\x7F'));
    for (const std::string format : {"--json", "--csv", "--time-unit"}) {
        SCOPED_TRACE(format);
        std::vector<std::string> args = {"decode", "price-record", "--binary", format};
        if (format == "--time-unit") {
            args.push_back("us");
        }
        const auto run = [&args](const std::string& jobs, const std::string& file, bool partial) {
            std::vector<std::string> all = args;
            all.insert(all.end(), {"--jobs", jobs, file});
            if (partial) {
                all.push_back("--partial");
            }
            return Tool(all);
        };
        const Outcome one = run("1", capture, false);
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(Lines(one.out).size(), format == "--csv" ? 5122u : 5121u);
        for (const std::string jobs : {"0", "2", "5"}) {
            SCOPED_TRACE(jobs);
            EXPECT_TRUE(run(jobs, capture, false).out == one.out);
            const Outcome partial = run(jobs, cut, true);
            EXPECT_EQ(partial.status, 0) << partial.err;
            EXPECT_TRUE(partial.out == one.out);
            EXPECT_NE(partial.err.find("30 bytes after the last whole record (5121 records)"),
                      std::string::npos)
                << partial.err;
            const Outcome refused = run(jobs, cut, false);
            EXPECT_EQ(refused.status, 2);
            EXPECT_EQ(refused.out, "");
            EXPECT_NE(refused.err.find("440436 bytes is not a whole number of 86-byte records"),
                      std::string::npos)
                << refused.err;
        }
    }
}

}  // namespace
}  // namespace lmwire_test
