#include "wire_types/capture/Dataset.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "wire_types/capture/detail/Escaped.h"
#include "wire_types/capture/detail/Manifest.h"

namespace Lumera::capture {

std::string_view TimeUnitName(TimeUnit unit) noexcept {
    switch (unit) {
        case TimeUnit::Seconds:
            return "s";
        case TimeUnit::Milliseconds:
            return "ms";
        case TimeUnit::Microseconds:
            return "us";
        case TimeUnit::Nanoseconds:
            return "ns";
    }
    return "s";
}

std::optional<TimeUnit> ParseTimeUnit(std::string_view name) noexcept {
    for (const TimeUnit unit : {TimeUnit::Seconds, TimeUnit::Milliseconds, TimeUnit::Microseconds,
                                TimeUnit::Nanoseconds}) {
        if (name == TimeUnitName(unit)) {
            return unit;
        }
    }
    return std::nullopt;
}

bool IsDataset(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           stat((path + "/" + detail::kManifestName).c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

DatasetManifest ReadManifest(const std::string& directory) {
    const std::string name = directory + "/" + detail::kManifestName;
    struct stat info {};
    if (stat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        throw CaptureError(detail::Escaped(directory) + " is not a dataset: not a directory");
    }
    std::ifstream in(name, std::ios::binary);
    if (!in) {
        const int error = errno;
        if (error == ENOENT) {
            throw CaptureError(detail::Escaped(directory) + " is a directory, not a dataset (no " +
                               detail::kManifestName + ")");
        }
        throw CaptureError("cannot read manifest " + detail::Escaped(name) + ": " +
                           std::strerror(error));
    }
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) {
        throw CaptureError("cannot read manifest " + detail::Escaped(name));
    }
    return detail::ParseManifest(text, name);
}

bool DatasetFilter::Keeps(const DatasetPart& part) const noexcept {
    // Dates of one fixed form compare as text.
    return (date_from.empty() || part.date >= date_from) &&
           (date_to.empty() || part.date <= date_to) &&
           (lumera_ids.empty() ||
            std::find(lumera_ids.begin(), lumera_ids.end(), part.lumera_id) != lumera_ids.end());
}

std::vector<DatasetPart> SelectParts(const DatasetManifest& manifest, const DatasetFilter& filter) {
    std::vector<DatasetPart> kept;
    std::copy_if(manifest.parts.begin(), manifest.parts.end(), std::back_inserter(kept),
                 [&](const DatasetPart& part) { return filter.Keeps(part); });
    return kept;
}

}  // namespace Lumera::capture
