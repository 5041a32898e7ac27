#include "wire_types/capture/detail/Manifest.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

#include <nlohmann/json.hpp>

#include "wire_types/capture/detail/Escaped.h"
#include "wire_types/capture/detail/TimeZone.h"

namespace Lumera::capture::detail {
namespace {

using Json = nlohmann::ordered_json;

constexpr const char* kFormat = "lmwire-dataset";
constexpr int kVersion = 1;

[[noreturn]] void Damaged(const std::string& name, const std::string& why) {
    throw CaptureError("manifest " + Escaped(name) + " is damaged: " + why);
}

Json PartJson(const DatasetPart& part) {
    return Json{{"path", part.path},           {"date", part.date},
                {"lumera_id", part.lumera_id}, {"records", part.records},
                {"bytes", part.bytes},         {"first_time", part.first_time},
                {"last_time", part.last_time}};
}

template <class T>
T Field(const Json& object, const char* key, const std::string& name) {
    const auto at = object.find(key);
    if (at == object.end()) {
        Damaged(name, std::string("no \"") + key + "\"");
    }
    try {
        return at->get<T>();
    } catch (const nlohmann::json::exception&) {
        Damaged(name, std::string("\"") + key + "\" is " + at->dump());
    }
}

// Integers only, in the type's range (nlohmann would convert 1.5 or -1 silently).
template <class T>
T Integer(const Json& object, const char* key, const std::string& name) {
    const auto at = object.find(key);
    const bool fits = at != object.end() &&
                      (std::is_signed_v<T> ? at->is_number_integer() : at->is_number_unsigned());
    if (!fits) {
        Damaged(name, std::string("\"") + key + "\" is not " +
                          (std::is_signed_v<T> ? "an integer" : "a count"));
    }
    if constexpr (std::is_signed_v<T>) {
        const auto value = at->get<std::int64_t>();
        if (at->is_number_unsigned() && at->get<std::uint64_t>() > INT64_MAX) {
            Damaged(name, std::string("\"") + key + "\" is out of range");
        }
        if (value < std::numeric_limits<T>::min() || value > std::numeric_limits<T>::max()) {
            Damaged(name, std::string("\"") + key + "\" is out of range");
        }
        return static_cast<T>(value);
    } else {
        return at->get<T>();
    }
}

}  // namespace

std::string PartitionPath(const std::string& date, std::int32_t lumeraID) {
    return "date=" + date + "/lumera_id=" + std::to_string(lumeraID);
}

std::string PartPath(const std::string& date, std::int32_t lumeraID, std::uint64_t number,
                     bool compressed) {
    char name[48];
    std::snprintf(name, sizeof name, "/part-%05llu.bin%s", static_cast<unsigned long long>(number),
                  compressed ? ".zst" : "");
    return PartitionPath(date, lumeraID) + name;
}

std::optional<std::uint64_t> PartNumber(const DatasetPart& part) {
    const std::string prefix = PartitionPath(part.date, part.lumera_id) + "/part-";
    if (part.path.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    std::uint64_t number = 0;
    std::size_t at = prefix.size();
    const std::size_t digits = at;
    while (at < part.path.size() && at - digits < 18 && part.path[at] >= '0' &&
           part.path[at] <= '9') {
        number = number * 10 + static_cast<std::uint64_t>(part.path[at++] - '0');
    }
    const std::string rest = part.path.substr(at);
    if (at - digits < 5 || (rest != ".bin" && rest != ".bin.zst") ||
        part.path != PartPath(part.date, part.lumera_id, number, rest == ".bin.zst")) {
        return std::nullopt;
    }
    return number;
}

std::string ManifestJson(const DatasetManifest& manifest) {
    // A part a line, so that a person or a diff can read it.
    std::string text = "{\"format\": \"" + std::string(kFormat) +
                       "\", \"version\": " + std::to_string(manifest.version) +
                       ", \"time_unit\": \"" + std::string(TimeUnitName(manifest.unit)) +
                       "\", \"time_zone\": " + Json(manifest.zone).dump() + ",\n \"parts\": [";
    for (std::size_t i = 0; i < manifest.parts.size(); ++i) {
        text += (i == 0 ? "\n  " : ",\n  ") + PartJson(manifest.parts[i]).dump();
    }
    return text + "]}\n";
}

DatasetManifest ParseManifest(const std::string& text, const std::string& name) {
    Json json;
    try {
        json = Json::parse(text);
    } catch (const nlohmann::json::parse_error& error) {
        // "[json.exception.parse_error.101] parse error at ...": the part after the tag.
        const std::string what = error.what();
        const std::size_t tag = what.find("] ");
        Damaged(name,
                text.empty() ? "empty" : (tag == std::string::npos ? what : what.substr(tag + 2)));
    }
    if (!json.is_object() || Field<std::string>(json, "format", name) != kFormat) {
        Damaged(name, std::string("not of format \"") + kFormat + "\"");
    }
    DatasetManifest manifest;
    manifest.version = Integer<int>(json, "version", name);
    if (manifest.version != kVersion) {
        throw CaptureError("manifest " + Escaped(name) + " is of version " +
                           std::to_string(manifest.version) + "; this library reads version " +
                           std::to_string(kVersion));
    }
    const auto unit = ParseTimeUnit(Field<std::string>(json, "time_unit", name));
    if (!unit) {
        Damaged(name, "\"time_unit\" is " + json["time_unit"].dump());
    }
    manifest.unit = *unit;
    manifest.zone = Field<std::string>(json, "time_zone", name);
    const auto parts = json.find("parts");
    if (parts == json.end() || !parts->is_array()) {
        Damaged(name, "no \"parts\" list");
    }
    for (const Json& entry : *parts) {
        if (!entry.is_object()) {
            Damaged(name, "a part is " + entry.dump());
        }
        DatasetPart part;
        part.path = Field<std::string>(entry, "path", name);
        part.date = Field<std::string>(entry, "date", name);
        part.lumera_id = Integer<std::int32_t>(entry, "lumera_id", name);
        part.records = Integer<std::uint64_t>(entry, "records", name);
        part.bytes = Integer<std::uint64_t>(entry, "bytes", name);
        part.first_time = Integer<std::int64_t>(entry, "first_time", name);
        part.last_time = Integer<std::int64_t>(entry, "last_time", name);
        if (!ValidDate(part.date) || !PartNumber(part)) {
            Damaged(name, "part " + Json(part.path).dump() + " is not a part of date " +
                              Json(part.date).dump() + " and lumera_id " +
                              std::to_string(part.lumera_id));
        }
        manifest.parts.push_back(std::move(part));
    }
    return manifest;
}

void ReplaceFile(const std::string& path, const std::string& bytes) {
    const std::string temporary = path + ".tmp";
    const auto fail = [&](const std::string& what) {
        const int error = errno;
        unlink(temporary.c_str());
        throw CaptureError("cannot " + what + " " + Escaped(path) + ": " + std::strerror(error));
    };
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        fail("create");
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            close(fd);
            fail("write");
        }
        done += static_cast<std::size_t>(n);
    }
    if (fsync(fd) != 0) {
        close(fd);
        fail("sync");
    }
    if (close(fd) != 0) {
        fail("write");
    }
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        fail("replace");
    }
    // The rename itself, durable.
    const std::size_t slash = path.rfind('/');
    const std::string directory = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int dirfd = open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirfd >= 0) {
        fsync(dirfd);
        close(dirfd);
    }
}

}  // namespace Lumera::capture::detail
