#include "common/Table.h"

#include <algorithm>

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
        std::string line = indent;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string pad(widths[c] - Width(row[c]), ' ');
            const bool last = c + 1 == row.size();
            if (c > 0) {
                line += "  ";
            }
            if (c < leftColumns_) {
                line += row[c];
                if (!last) {
                    line += pad;
                }
            } else {
                line += pad + row[c];
            }
        }
        out += line + '\n';
    }
    return out;
}

}  // namespace lmwire
