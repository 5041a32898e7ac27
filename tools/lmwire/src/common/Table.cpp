#include "common/Table.h"

#include <algorithm>
#include <iterator>

#include <fmt/format.h>

namespace lmwire {
namespace {

// Display width in characters: UTF-8 continuation bytes take no column.
std::size_t Width(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

}  // namespace

Table::Table(std::vector<std::string> header, std::size_t leftColumns)
    : leftColumns_(leftColumns), hasHeader_(!header.empty()) {
    if (hasHeader_) {
        rows_.push_back(std::move(header));
    }
}

void Table::Add(std::vector<std::string> row) {
    rows_.push_back(std::move(row));
}

std::string Table::Render(const std::string& indent) const {
    std::vector<std::size_t> widths;
    for (const auto& row : rows_) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (std::size_t c = 0; c < row.size(); ++c) {
            widths[c] = std::max(widths[c], Width(row[c]));
        }
    }
    std::string out;
    for (const auto& row : rows_) {
        out += indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            // {fmt} counts a UTF-8 character as one column, as Width does. The last column of
            // names is not padded, so that no line ends in blanks.
            const auto at = std::back_inserter(out);
            out += c > 0 ? "  " : "";
            if (c >= leftColumns_) {
                fmt::format_to(at, "{:>{}}", row[c], widths[c]);
            } else {
                fmt::format_to(at, "{:<{}}", row[c], c + 1 == row.size() ? 0 : widths[c]);
            }
        }
        out += '\n';
    }
    return out;
}

}  // namespace lmwire
