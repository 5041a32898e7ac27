// A dataset's manifest, the JSON that a reader trusts to name the files it opens: whatever the
// bytes, ReadManifest returns a manifest or throws CaptureError, and every part it returns is
// named inside the dataset, as its date, id and number say (checked here letter by letter).

#include <unistd.h>

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "FuzzCheck.h"
#include "wire_types/capture/Dataset.h"

namespace {

using namespace Lumera::capture;

// This process's dataset directory, removed at its end.
const std::string& Directory() {
    static const struct Scratch {
        std::string path;
        ~Scratch() {
            unlink((path + "/manifest.json").c_str());
            rmdir(path.c_str());
        }
    } scratch{mkdtemp(std::string("/tmp/fuzz-manifest-XXXXXX").data())};
    return scratch.path;
}

bool Digits(const std::string& text, std::size_t from, std::size_t count) {
    for (std::size_t i = from; i < from + count; ++i) {
        if (i >= text.size() || std::isdigit(static_cast<unsigned char>(text[i])) == 0) {
            return false;
        }
    }
    return true;
}

// "date=YYYY-MM-DD/lumera_id=N/part-NNNNN.bin" or ".bin.zst", of the part's own date and id.
bool NamedInside(const DatasetPart& part) {
    const std::string& date = part.date;
    if (date.size() != 10 || !Digits(date, 0, 4) || date[4] != '-' || !Digits(date, 5, 2) ||
        date[7] != '-' || !Digits(date, 8, 2)) {
        return false;
    }
    const std::string prefix =
        "date=" + date + "/lumera_id=" + std::to_string(part.lumera_id) + "/part-";
    if (part.path.rfind(prefix, 0) != 0) {
        return false;
    }
    std::size_t at = prefix.size();
    std::size_t digits = 0;
    while (Digits(part.path, at + digits, 1)) {
        ++digits;
    }
    const std::string rest = part.path.substr(at + digits);
    return digits >= 5 && (rest == ".bin" || rest == ".bin.zst");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    {
        std::ofstream out(Directory() + "/manifest.json", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    DatasetManifest manifest;
    try {
        manifest = ReadManifest(Directory());
    } catch (const CaptureError&) {
        return 0;
    }
    FUZZ_CHECK(manifest.version == 1);
    FUZZ_CHECK(ParseTimeUnit(TimeUnitName(manifest.unit)) == manifest.unit);
    for (const DatasetPart& part : manifest.parts) {
        FUZZ_CHECK(NamedInside(part));
    }
    DatasetFilter filter;
    filter.lumera_ids = {size > 0 ? data[0] : 0};
    FUZZ_CHECK(SelectParts(manifest, filter).size() <= manifest.parts.size());
    return 0;
}
