// encode price-record --from-jsonl / --from-csv: decoded lines back into a binary capture.

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>

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
                ++number_;
                return Trimmed(line);
            }
            if (ended_) {
                if (start_ == filled_) {
                    return std::nullopt;
                }
                const std::string_view line(&*begin, filled_ - start_);
                start_ = filled_;
                ++number_;
                return Trimmed(line);
            }
            std::memmove(buffer_.data(), buffer_.data() + start_, filled_ - start_);
            filled_ -= start_;
            start_ = 0;
            if (filled_ == buffer_.size()) {
                if (buffer_.size() >= kMaxLine) {
                    throw BadInput(Cat({input_.Name(), " line ", std::to_string(number_ + 1),
                                        ": longer than ", std::to_string(kMaxLine), " bytes"}));
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
    static std::string_view Trimmed(std::string_view line) {
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
std::vector<std::string_view> Shown(bool columns) {
    std::vector<std::string_view> names = {columns ? kTimeColumn : kTimeKey};
    for (const FieldName& field : kCaptureFields) {
        names.push_back(columns ? field.column : field.key);
    }
    for (const FieldName& field : kTextFields) {
        names.push_back(columns ? field.column : field.key);
    }
    return names;
}

// The CSV columns as a JSON object of the record's fields, so that both forms are checked alike.
class CsvColumns {
  public:
    CsvColumns(const std::vector<std::string>& header, const std::string& where) {
        const std::vector<std::string_view> shown = Shown(true);
        std::vector<bool> seen(header.size());
        for (std::size_t at = 0; at < header.size(); ++at) {
            const std::string& name = header[at];
            if (std::find(shown.begin(), shown.end(), name) != shown.end()) {
                continue;
            }
            const auto scalar =
                std::find_if(kScalarFields.begin(), kScalarFields.end(),
                             [&name](const FieldName& field) { return field.column == name; });
            if (scalar != kScalarFields.end()) {
                columns_.push_back({at, std::string(scalar->key), "", 0});
                continue;
            }
            bool found = false;
            for (const std::string_view side : {"bid", "ask"}) {
                for (int level = 0; level < Lumera::PriceRecordLayout::kLevels && !found; ++level) {
                    for (const std::string_view part : {"price", "size"}) {
                        if (name == Cat({side, "_", part, "_", std::to_string(level)})) {
                            columns_.push_back({at, side == "bid" ? "Bids" : "Asks",
                                                part == "price" ? "Price" : "Size", level});
                            found = true;
                        }
                    }
                }
            }
            if (!found) {
                throw BadInput(where + ": unknown column " + Quoted(name));
            }
        }
        width_ = header.size();
    }

    Json Object(const std::vector<std::string>& cells, const std::string& where) const {
        if (cells.size() != width_) {
            throw BadInput(Cat({where, ": ", std::to_string(cells.size()),
                                " fields, the header has ", std::to_string(width_)}));
        }
        Json object = Json::object();
        for (const Column& column : columns_) {
            const std::string& cell = cells[column.at];
            const Json value = ParseInteger(cell, std::numeric_limits<std::int64_t>::min(),
                                            std::numeric_limits<std::int64_t>::max(),
                                            Cat({where, ": ", column.key, column.part}));
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
    struct Column {
        std::size_t at;
        std::string key;   // the field, or the side
        std::string part;  // Price or Size of a level
        int level;
    };
    std::vector<Column> columns_;
    std::size_t width_ = 0;
};

}  // namespace

void RunEncodeLines(const std::string& kindName, bool csv, const std::string& inputPath,
                    const std::string& outputPath) {
    const Kind& kind = FindKind(kindName);
    if (kind.name != "price-record") {
        throw BadInput(Cat({"--from-jsonl and --from-csv encode price-record, not ", kind.name}));
    }
    Input input(inputPath);
    LineReader lines(input);
    Output out(outputPath);
    const std::vector<std::string_view> shownKeys = Shown(false);
    std::optional<CsvColumns> columns;
    while (const std::optional<std::string_view> line = lines.Next()) {
        const std::string where = Cat({input.Name(), " line ", std::to_string(lines.Number())});
        if (line->empty()) {
            continue;
        }
        Json object;
        if (csv) {
            if (!columns) {
                columns.emplace(SplitCsv(*line, where), where);
                continue;
            }
            object = columns->Object(SplitCsv(*line, where), where);
        } else {
            try {
                object = Json::parse(*line);
            } catch (const Json::exception&) {
                throw BadInput(where + ": not a JSON object");
            }
        }
        const Json values = ParseObject(kind, object, shownKeys, where);
        Bytes record;
        try {
            record = kind.encode(values);
        } catch (const BadInput& error) {
            throw BadInput(Cat({where, ": ", error.what()}));
        }
        out << std::string_view(reinterpret_cast<const char*>(record.data()), record.size());
        out.MaybeFlush();
    }
    out.Finish();
}

}  // namespace lmwire
