#pragma once

// A dataset's manifest as JSON, and the layout's names: what the writer writes and the reader
// checks, written once. Parts' paths are built from their partition and number and read back the
// same way, so that no manifest can name a file outside its dataset.

#include <cstdint>
#include <optional>
#include <string>

#include "wire_types/capture/Dataset.h"

namespace Lumera::capture::detail {

inline constexpr const char* kManifestName = "manifest.json";

// "date=2026-12-01/lumera_id=2/part-00000.bin.zst"
[[nodiscard]] std::string PartitionPath(const std::string& date, std::int32_t lumeraID);
[[nodiscard]] std::string PartPath(const std::string& date, std::int32_t lumeraID,
                                   std::uint64_t number, bool compressed);
// The part's number when `part.path` is the path of its date, id and some number.
[[nodiscard]] std::optional<std::uint64_t> PartNumber(const DatasetPart& part);

[[nodiscard]] std::string ManifestJson(const DatasetManifest& manifest);
// CaptureError naming `name` (the manifest's file) when the text is no complete manifest.
[[nodiscard]] DatasetManifest ParseManifest(const std::string& text, const std::string& name);

// `bytes` into `path` through a temporary file beside it, synced, then renamed over it, and the
// directory synced: the file is the old one or the new one, whatever happens.
void ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace Lumera::capture::detail
