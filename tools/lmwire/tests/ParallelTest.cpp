// A capture file is formatted on several threads with its lines in the file's order.

#include <gtest/gtest.h>

#include "RunTool.h"

namespace lmwire_test {
namespace {

TEST(Parallel, EveryJobCountGivesTheLinesOfOneInFileOrder) {
    TempDir dir;
    // Six pieces of work (1,024 records each), the last one short, and a partial record after them.
    const std::string capture = SynthPrices(dir, 5121, 4);
    Bytes bytes = ReadFile(capture);
    bytes.resize(bytes.size() + 30, 0x7F);
    const std::string cut = dir.Path("cut.bin");
    WriteFile(cut, bytes);
    for (const std::string format : {"--json", "--csv", "--time-unit=us"}) {
        SCOPED_TRACE(format);
        const Result one =
            RunTool({"decode", "price-record", "--binary", format, "--jobs", "1", capture});
        ASSERT_EQ(one.status, 0) << one.err;
        EXPECT_EQ(Lines(one.out).size(), format == "--csv" ? 5122u : 5121u);
        for (const std::string jobs : {"2", "5"}) {
            SCOPED_TRACE(jobs);
            const Result many =
                RunTool({"decode", "price-record", "--binary", format, "--jobs", jobs, capture});
            EXPECT_EQ(many.status, 0) << many.err;
            EXPECT_TRUE(many.out == one.out);
            const Result partial = RunTool(
                {"decode", "price-record", "--binary", format, "--jobs", jobs, "--partial", cut});
            EXPECT_EQ(partial.status, 0) << partial.err;
            EXPECT_TRUE(partial.out == one.out);
            EXPECT_NE(partial.err.find("30 bytes after the last whole record (5121 records)"),
                      std::string::npos)
                << partial.err;
        }
    }
    // The default takes every core, with the same result.
    EXPECT_TRUE(RunTool({"decode", "price-record", "--binary", capture}).out ==
                RunTool({"decode", "price-record", "--binary", "--jobs", "1", capture}).out);
}

}  // namespace
}  // namespace lmwire_test
