// The parallel decoder with every allocation of the calling thread made to fail in turn, through
// every form of operator new (the pieces, their buffers, each thread it starts): the decode
// throws std::bad_alloc with no thread left running and nothing left allocated, or gives the
// lines of an undisturbed run.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "FailingAllocation.h"
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
    const std::string path = ::testing::TempDir() + "pipeline_capture.bin";
    std::vector<unsigned char> bytes(records * kPriceRecordSize);
    std::mt19937 random(19);
    for (unsigned char& byte : bytes) {
        byte = static_cast<unsigned char>(random());
    }
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return path;
}

std::string ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
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
    const std::string lines = ::testing::TempDir() + "pipeline_lines.txt";
    Decode(capture, lines, 3);
    const std::string expected = ReadAll(lines);
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
            EXPECT_EQ(ReadAll(lines), expected);
        }
        if (!reached) {
            break;
        }
        EXPECT_TRUE(threw);
    }
    // The sweep reached past the start of every thread.
    EXPECT_GT(failAt, 3);
    std::remove(capture.c_str());
    std::remove(lines.c_str());
}

}  // namespace
}  // namespace lmwire
