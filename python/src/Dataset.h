#pragma once

// A dataset's parts as Python holds them: plain tuples, which a Dask task carries by value to any
// machine, and which become the library's parts again where they are read.

#include <cstdint>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "wire_types/capture/Dataset.h"

namespace lmwire::binding {

// (path, date, lumera_id, records, bytes, first_time, last_time), as the manifest lists them.
using PartFields = std::tuple<std::string, std::string, std::int32_t, std::uint64_t, std::uint64_t,
                              std::int64_t, std::int64_t>;

// The parts' raw records back to back, each checked against its fields by the library as it is
// reached (CaptureError naming the part).
std::unique_ptr<Lumera::capture::ByteStream> OpenDatasetParts(const std::string& directory,
                                                              const std::vector<PartFields>& parts);

}  // namespace lmwire::binding
