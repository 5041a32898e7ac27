// docs/wire-format.md is written for people implementing a peer: its record table must say what
// the code does, offset for offset.

#include <gtest/gtest.h>

#include <cstddef>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "wire_types/price/PriceRecord.h"

namespace Lumera {
namespace {

struct Row {
    std::size_t offset;
    std::size_t size;
    std::string getter;
};

// The rows of the table that follows `marker` in the document.
std::vector<Row> TableAfter(const std::string& marker) {
    std::ifstream file(LMWIRE_WIRE_FORMAT_DOC);
    std::vector<Row> rows;
    std::string line;
    bool inTable = false;
    while (std::getline(file, line)) {
        if (line.find(marker) != std::string::npos) {
            inTable = true;
            continue;
        }
        if (!inTable) {
            continue;
        }
        if (line.empty() || line[0] != '|') {
            if (!rows.empty()) {
                break;
            }
            continue;
        }
        std::vector<std::string> cells;
        std::stringstream cellsOf(line.substr(1));
        std::string cell;
        while (std::getline(cellsOf, cell, '|')) {
            cells.push_back(cell.substr(cell.find_first_not_of(' ')));
        }
        if (cells.size() < 5 || cells[0].find_first_not_of("0123456789 ") != std::string::npos) {
            continue;  // the heading and its rule
        }
        const std::size_t tick = cells[4].find('`');
        rows.push_back(
            {std::stoul(cells[0]), std::stoul(cells[1]),
             cells[4].substr(tick + 1, cells[4].find_first_of("`(.", tick + 1) - tick - 1)});
    }
    return rows;
}

TEST(WireFormatDocument, PriceRecordTableMatchesTheLayout) {
    using L = PriceRecordLayout;
    const std::map<std::string, std::vector<std::size_t>> expected = {
        // getter -> offsets of its fields, in order
        {"PriceType", {L::kPriceType}},
        {"PriceFormatCode", {L::kPriceFormatCode}},
        {"LastSize", {L::kLastSize}},
        {"LumeraID", {L::kLumeraID}},
        {"LastPrice", {L::kLastPrice}},
        {"TotalVolume", {L::kTotalVolume}},
        {"TimeStamp", {L::kTimeStamp}},
        {"High", {L::kHigh}},
        {"Low", {L::kLow}},
        {"Bid", {L::kBidOffsets, L::kBidSizes}},
        {"Ask", {L::kAskOffsets, L::kAskSizes}},
    };
#if defined(_WIN32)
    if (!std::ifstream(LMWIRE_WIRE_FORMAT_DOC)) {
        GTEST_SKIP() << "the source tree is not reachable from the emulated Windows";
    }
#endif
    const std::vector<Row> rows = TableAfter("price-record-table");
    ASSERT_EQ(rows.size(), 13u) << "the table was not found whole";
    std::map<std::string, std::vector<std::size_t>> documented;
    std::size_t next = 0;
    for (const Row& row : rows) {
        EXPECT_EQ(row.offset, next) << row.getter << ": fields lie back to back";
        next = row.offset + row.size;
        documented[row.getter].push_back(row.offset);
    }
    EXPECT_EQ(next, L::kSize);
    EXPECT_EQ(documented, expected);
}

}  // namespace
}  // namespace Lumera
