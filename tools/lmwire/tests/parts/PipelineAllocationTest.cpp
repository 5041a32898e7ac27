// The parallel decoder with every allocation of the calling thread made to fail in turn, through
// every form of operator new (the pieces, their buffers, each thread it starts): the decode
// throws std::bad_alloc with no thread left running and nothing left allocated, or gives the
// lines of an undisturbed run.

#include <gtest/gtest.h>

#include <cstdint>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "FailingAllocation.h"
#include "Parts.h"
#include "capture/ParallelDecode.h"
#include "io/Input.h"
#include "io/Output.h"
#include "io/Progress.h"
#include "records/RecordLines.h"

namespace lmwire {
namespace {

using orders_test::FailingAllocation;

// Random bytes make every field, code and depth offset occur; three pieces of work and a short one.
std::string WriteCapture(std::size_t records) {
    std::string bytes(records * kPriceRecordSize, '\0');
    std::mt19937 random(19);
    for (char& byte : bytes) {
        byte = static_cast<char>(random());
    }
    return lmwire_test::TempFile("pipeline_capture.bin", bytes);
}

void Decode(const std::string& capture, const std::string& lines, unsigned jobs) {
    Input input(capture);
    Output out(lines);
    Progress progress(0);
    const std::uint64_t records = input.Size().value() / kPriceRecordSize;
    DecodeInParallel(input, records, jobs, LineFormat::Json, TimeUnit::None, out, progress);
    out.Finish();
}

TEST(PipelineAllocation, EveryFailureOfTheCallingThreadLeavesNothingBehind) {
    const std::string capture = WriteCapture(3 * 1024 + 17);
    const std::string lines = lmwire_test::TempFile("pipeline_lines.txt");
    Decode(capture, lines, 3);
    const std::string expected = lmwire_test::ReadText(lines);
    ASSERT_FALSE(expected.empty());

    long failAt = 0;
    for (; failAt < 10'000; ++failAt) {
        SCOPED_TRACE(failAt);
        const long live = FailingAllocation::LiveBlocks();
        bool threw = false;
        bool reached = false;
        {
            FailingAllocation failing(failAt);
            try {
                Decode(capture, lines, 3);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            reached = failing.Failed();
        }
        EXPECT_EQ(FailingAllocation::LiveBlocks(), live);
        if (!threw) {
            EXPECT_EQ(lmwire_test::ReadText(lines), expected);
        }
        if (!reached) {
            break;
        }
        EXPECT_TRUE(threw);
    }
    // The sweep reached past the start of every thread.
    EXPECT_GT(failAt, 3);
}

}  // namespace
}  // namespace lmwire
