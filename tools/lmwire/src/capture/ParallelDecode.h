#pragma once

// A capture file decoded on several cores: threads turn pieces of the file into lines while one
// thread reads the file and writes the lines, piece by piece in the file's order.

#include <cstdint>

#include "io/Input.h"
#include "io/Output.h"
#include "io/Progress.h"
#include "records/RecordLines.h"

namespace lmwire {

// The first `records` whole records of `input`, formatted by `jobs` threads (at least 2) and
// written to `out` in order. Returns the bytes read; fewer than the records take only when the
// file shrank while it was read.
std::uint64_t DecodeInParallel(Input& input, std::uint64_t records, unsigned jobs,
                               LineFormat format, TimeUnit timeUnit, Output& out,
                               Progress& progress);

}  // namespace lmwire
