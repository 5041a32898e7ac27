// encode price-record --from-jsonl / --from-csv: decoded lines back into a binary capture.

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

#include <fmt/format.h>

#include "commands/Commands.h"
#include "common/Errors.h"
#include "common/Text.h"
#include "io/Input.h"
#include "io/Output.h"
#include "records/PriceRecord.h"

namespace lmwire {
namespace {

// Far longer than any decoded line (about 1 KB), short enough that a file without line breaks
// is refused before it costs memory.
constexpr std::size_t kMaxLine = std::size_t{1} << 20;

// The lines of an input as they are read; a last line without its line break counts.
class LineReader {
  public:
    explicit LineReader(Input& input) : input_(input), buffer_(1 << 16) {}

    std::optional<std::string_view> Next() {
        for (;;) {
            const auto begin = buffer_.begin() + static_cast<long>(start_);
            const auto end = buffer_.begin() + static_cast<long>(filled_);
            const auto newline = std::find(begin, end, '\n');
            if (newline != end) {
                const std::string_view line(&*begin, static_cast<std::size_t>(newline - begin));
                start_ += line.size() + 1;
                return Counted(line);
            }
            if (ended_) {
                if (start_ == filled_) {
                    return std::nullopt;
                }
                const std::string_view line(&*begin, filled_ - start_);
                start_ = filled_;
                return Counted(line);
            }
            std::memmove(buffer_.data(), buffer_.data() + start_, filled_ - start_);
            filled_ -= start_;
            start_ = 0;
            if (filled_ == buffer_.size()) {
                if (buffer_.size() >= kMaxLine) {
                    throw BadInput(fmt::format("{} line {}: longer than {} bytes", input_.Name(),
                                               number_ + 1, kMaxLine));
                }
                buffer_.resize(buffer_.size() * 2);
            }
            const std::size_t got =
                input_.ReadSome(reinterpret_cast<unsigned char*>(buffer_.data()) + filled_,
                                buffer_.size() - filled_);
            filled_ += got;
            ended_ = got == 0;
        }
    }
    std::uint64_t Number() const { return number_; }

  private:
    // Without its CR, and on the first line without a UTF-8 byte-order mark, which editors on
    // Windows put before a CSV as before any text.
    std::string_view Counted(std::string_view line) {
        if (++number_ == 1 && line.substr(0, 3) == "\xEF\xBB\xBF") {
            line.remove_prefix(3);
        }
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        return line;
    }

    Input& input_;
    std::vector<char> buffer_;
    std::size_t start_ = 0;
    std::size_t filled_ = 0;
    std::uint64_t number_ = 0;
    bool ended_ = false;
};

// One CSV row (RFC 4180, without line breaks inside a field).
std::vector<std::string> SplitCsv(std::string_view line, const std::string& where) {
    std::vector<std::string> cells(1);
    bool quoted = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (quoted) {
            if (c != '"') {
                cells.back() += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                cells.back() += '"';
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == ',') {
            cells.emplace_back();
        } else if (c == '"' && cells.back().empty()) {
            quoted = true;
        } else {
            cells.back() += c;
        }
    }
    if (quoted) {
        throw BadInput(where + ": a quoted field is not closed");
    }
    return cells;
}

// Keys and columns that a decode adds (display texts, capture and time columns): skipped.
std::vector<std::string> Shown(bool columns) {
    const auto spelling = columns ? Lumera::Spelling::Snake : Lumera::Spelling::Json;
    std::vector<std::string> names = {Lumera::Spell(kTimeName, spelling)};
    for (const FieldName& field : kCaptureFields) {
        names.emplace_back(columns ? field.column : field.key);
    }
    for (const char* name : kTextNames) {
        names.push_back(Lumera::Spell(name, spelling));
    }
    return names;
}

struct Column {
    std::size_t at;
    std::string key;   // the field, or the side
    std::string part;  // Price or Size of a level
    int level;
    const Field* field;
};

// The kind's field in a CSV column: a scalar spelled as its row, or one level of a list's
// element spelled as its depth row at that level.
bool FindColumn(const Kind& kind, const std::string& name, std::size_t at,
                std::vector<Column>& columns) {
    for (const Field& field : kind.fields) {
        if (field.wire == nullptr) {
            continue;
        }
        if (field.type != FieldType::List) {
            if (Lumera::Spell(*field.wire, Lumera::Spelling::Snake) == name) {
                columns.push_back({at, field.name, "", 0, &field});
                return true;
            }
            continue;
        }
        for (int level = 0; level < field.wire->count; ++level) {
            for (const Field& part : field.element) {
                if (Lumera::Spell(*part.wire, Lumera::Spelling::Snake, level) == name) {
                    columns.push_back({at, field.name, part.name, level, &part});
                    return true;
                }
            }
        }
    }
    return false;
}

// The CSV columns as a JSON object of the record's fields, so that both forms are checked alike.
class CsvColumns {
  public:
    CsvColumns(const Kind& kind, const std::vector<std::string>& header, const std::string& where) {
        const std::vector<std::string> shown = Shown(true);
        std::vector<bool> seen(header.size());
        for (std::size_t at = 0; at < header.size(); ++at) {
            const std::string& name = header[at];
            if (std::find(shown.begin(), shown.end(), name) != shown.end()) {
                continue;
            }
            const bool found = FindColumn(kind, name, at, columns_);
            if (!found) {
                throw BadInput(where + ": unknown column " + Quoted(name));
            }
        }
        width_ = header.size();
    }

    Json Object(const std::vector<std::string>& cells, const std::string& where) const {
        if (cells.size() != width_) {
            throw BadInput(
                fmt::format("{}: {} fields, the header has {}", where, cells.size(), width_));
        }
        Json object = Json::object();
        for (const Column& column : columns_) {
            const std::string& cell = cells[column.at];
            const Json value = ParseFieldText(
                *column.field, cell,
                column.part.empty()
                    ? fmt::format("{}: {}", where, column.key)
                    : fmt::format("{}: {}[{}].{}", where, column.key, column.level, column.part));
            if (column.part.empty()) {
                object[column.key] = value;
                continue;
            }
            Json& levels = object[column.key];
            while (levels.size() <= static_cast<std::size_t>(column.level)) {
                levels.push_back(Json::object());
            }
            levels[static_cast<std::size_t>(column.level)][column.part] = value;
        }
        return object;
    }

  private:
    std::vector<Column> columns_;
    std::size_t width_ = 0;
};

// Where a JSON line holds a number beyond a double (1e999), which the parser refuses before any
// field sees it: the key path to it and its text.
class NumberPath : public nlohmann::json_sax<Json> {
  public:
    std::string Key(std::size_t depth) const {
        return depth < frames_.size() ? frames_[depth].key : std::string();
    }
    // The index of the element of a list that was being read.
    std::size_t Index() const { return frames_.size() > 1 ? frames_[1].count - 1 : 0; }
    std::size_t Depth() const { return frames_.size(); }
    const std::string& Token() const { return token_; }

    bool null() override { return Value(); }
    bool boolean(bool) override { return Value(); }
    bool number_integer(number_integer_t) override { return Value(); }
    bool number_unsigned(number_unsigned_t) override { return Value(); }
    bool number_float(number_float_t, const string_t&) override { return Value(); }
    bool string(string_t&) override { return Value(); }
    bool binary(binary_t&) override { return Value(); }
    bool start_object(std::size_t) override { return Open(); }
    bool start_array(std::size_t) override { return Open(); }
    bool end_object() override { return Close(); }
    bool end_array() override { return Close(); }
    bool key(string_t& name) override {
        frames_.back().key = name;
        return true;
    }
    bool parse_error(std::size_t, const std::string& token,
                     const nlohmann::detail::exception&) override {
        token_ = token;
        return false;
    }

  private:
    struct Frame {
        std::string key;
        std::size_t count = 0;  // elements begun, in a list
    };
    bool Value() {
        if (!frames_.empty()) {
            ++frames_.back().count;
        }
        return true;
    }
    bool Open() {
        Value();
        frames_.emplace_back();
        return true;
    }
    bool Close() {
        frames_.pop_back();
        return true;
    }

    std::vector<Frame> frames_;
    std::string token_;
};

std::string NumberOutOfRange(const Kind& kind, std::string_view line, const std::string& where) {
    NumberPath path;
    Json::sax_parse(line, &path);
    // A field's own value, or the part of a level of a list.
    const Field* field = path.Depth() == 1   ? FieldAt(kind, path.Key(0))
                         : path.Depth() == 3 ? FieldAt(kind, path.Key(0), path.Key(2))
                                             : nullptr;
    if (field == nullptr || field->type != FieldType::Integer) {
        return fmt::format("{}: {} is out of range", where, path.Token());
    }
    const std::string what = path.Depth() == 1 ? fmt::format("{}: {}", where, path.Key(0))
                                               : fmt::format("{}: {}[{}].{}", where, path.Key(0),
                                                             path.Index(), path.Key(2));
    try {
        ParseFieldText(*field, path.Token(), what);
    } catch (const BadInput& error) {
        return error.what();
    }
    return fmt::format("{}: {} is out of range", what, path.Token());
}

}  // namespace

void RunEncodeLines(const std::string& kindName, bool csv, const std::string& inputPath,
                    const std::string& outputPath, Compress compress) {
    const Kind& kind = FindKind(kindName);
    if (kind.name != "price-record") {
        throw BadInput(
            fmt::format("--from-jsonl and --from-csv encode price-record, not {}", kind.name));
    }
    Input input(inputPath);
    LineReader lines(input);
    Output out(outputPath, compress);
    const std::vector<std::string> shownNames = Shown(false);
    const std::vector<std::string_view> shownKeys(shownNames.begin(), shownNames.end());
    std::optional<CsvColumns> columns;
    while (const std::optional<std::string_view> line = lines.Next()) {
        const std::string where = fmt::format("{} line {}", input.Name(), lines.Number());
        if (line->empty()) {
            continue;
        }
        Json object;
        if (csv) {
            if (!columns) {
                columns.emplace(kind, SplitCsv(*line, where), where);
                continue;
            }
            object = columns->Object(SplitCsv(*line, where), where);
        } else {
            try {
                object = Json::parse(*line);
            } catch (const Json::out_of_range&) {
                throw BadInput(NumberOutOfRange(kind, *line, where));
            } catch (const Json::exception&) {
                throw BadInput(where + ": not a JSON object");
            }
        }
        const Json values = ParseObject(kind, object, shownKeys, where);
        Bytes record;
        try {
            record = kind.encode(values);
        } catch (const BadInput& error) {
            throw BadInput(fmt::format("{}: {}", where, error.what()));
        }
        out << std::string_view(reinterpret_cast<const char*>(record.data()), record.size());
        out.MaybeFlush();
    }
    out.Finish();
}

}  // namespace lmwire
