// The price hot paths of a front end, each beside its floor in the same binary:
//
// - a ladder of display texts: PriceFromTicks of the rows around the last price in codes 1, 6,
//   9, 14, 31, 41 and 62, against snprintf of the row's format into a std::string (the
//   baseline) and std::to_chars of the same digits (the floor);
// - a market-data update: Decode of an 86-byte record and GetBid/GetAsk of the ten levels,
//   against a memcpy of the 86 bytes and reading the ten levels from them.

#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "RecordFloor.h"
#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/detail/PriceFormat.h"

namespace {

using Lumera::CWirePrice;
using Lumera::PriceFormat;

using Record = std::array<unsigned char, CWirePrice::kRecordSize>;

// Codes and a last price of each, in ticks.
constexpr std::pair<int, std::int32_t> kLadderCodes[] = {
    {1, 123450}, {6, 3525}, {9, 14337}, {14, 452550}, {31, 14402}, {41, 14403}, {62, 108765}};
constexpr int kRowsEachSide = 20;

struct LadderCell {
    int code;
    std::int32_t ticks;
};

std::vector<LadderCell> Ladder() {
    std::vector<LadderCell> cells;
    for (const auto& [code, last] : kLadderCodes) {
        for (int row = -kRowsEachSide; row <= kRowsEachSide; ++row) {
            cells.push_back({code, last + row});
        }
    }
    return cells;
}

// The display algorithm's values for one price: whole part, primary part, last digit.
struct Values {
    int whole;
    int primary;
    int last;
};

Values Split(const PriceFormat& row, int code, std::int32_t price) {
    std::int32_t r = price % row.secondaryFraction;
    if (code == 41) {
        r = r > 0 ? r - 1 : r;
    }
    const std::int32_t n = price / row.secondaryFraction;
    const auto p = static_cast<int>(static_cast<double>(n % row.primaryFraction) *
                                    row.primaryFractionMultiplier);
    const int w = n / row.primaryFraction;
    int c = r;
    if (row.lastDigitString != nullptr) {
        c = static_cast<std::size_t>(r) < std::strlen(row.lastDigitString) + 1
                ? static_cast<unsigned char>(row.lastDigitString[r])
                : 0;
    }
    return {w, p, c};
}

std::string PrintfDisplay(const LadderCell& cell) {
    const PriceFormat& row = Lumera::kPriceFormatTable[cell.code - 1];
    const Values v = Split(row, cell.code, cell.ticks);
    char buffer[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    if (row.primaryFraction == 1) {
        std::snprintf(buffer, sizeof buffer, row.sprintfFormat, v.whole, v.last);
    } else if (row.secondaryFraction == 1) {
        std::snprintf(buffer, sizeof buffer, row.sprintfFormat, v.whole, v.primary);
    } else {
        std::snprintf(buffer, sizeof buffer, row.sprintfFormat, v.whole, v.primary, v.last);
    }
#pragma GCC diagnostic pop
    return buffer;
}

// The same digits without any format: whole part, '.', primary part, last character.
std::string ToCharsDisplay(const LadderCell& cell) {
    const PriceFormat& row = Lumera::kPriceFormatTable[cell.code - 1];
    const Values v = Split(row, cell.code, cell.ticks);
    char buffer[48];  // room past each int's 11 characters
    char* end = std::to_chars(buffer, buffer + 16, v.whole).ptr;
    *end++ = '.';
    end = std::to_chars(end, end + 16, v.primary).ptr;
    if (row.lastDigitString != nullptr && v.last != 0) {
        *end++ = static_cast<char>(v.last);
    }
    return std::string(buffer, end);
}

void PriceLadder(benchmark::State& state) {
    const std::vector<LadderCell> cells = Ladder();
    std::vector<std::unique_ptr<CWirePrice>> records;
    std::vector<std::pair<CWirePrice*, long>> work;
    for (const auto& [code, last] : kLadderCodes) {
        Record bytes{};
        bytes[1] = static_cast<unsigned char>(code);
        std::memcpy(bytes.data() + 6, &last, sizeof last);
        records.push_back(std::make_unique<CWirePrice>(bytes.data()));
        for (const LadderCell& cell : cells) {
            if (cell.code == code) {
                work.emplace_back(records.back().get(), cell.ticks);
            }
        }
    }
    // The texts must be those of the baseline, or the comparison means nothing.
    for (std::size_t i = 0; i < work.size(); ++i) {
        if (work[i].first->PriceFromTicks(work[i].second) != PrintfDisplay(cells[i])) {
            state.SkipWithError("library and snprintf disagree");
            return;
        }
    }
    std::size_t i = 0;
    for (auto _ : state) {
        const auto& [record, ticks] = work[i];
        benchmark::DoNotOptimize(record->PriceFromTicks(ticks));
        i = i + 1 == work.size() ? 0 : i + 1;
    }
}
BENCHMARK(PriceLadder);

template <std::string (*Display)(const LadderCell&)>
void PriceLadderReference(benchmark::State& state) {
    const std::vector<LadderCell> cells = Ladder();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Display(cells[i]));
        i = i + 1 == cells.size() ? 0 : i + 1;
    }
}
BENCHMARK(PriceLadderReference<PrintfDisplay>)->Name("PriceLadder_snprintf");
BENCHMARK(PriceLadderReference<ToCharsDisplay>)->Name("PriceLadder_to_chars");

void DecodeDepth(benchmark::State& state) {
    std::vector<Record> updates = bench_floor::Updates(9);
    CWirePrice price;
    std::size_t i = 0;
    for (auto _ : state) {
        price.Decode(updates[i++ & 15].data());
        long sum = 0;
        for (short level = 0; level < 10; ++level) {
            long bid = 0, bidSize = 0, ask = 0, askSize = 0;
            price.GetBid(level, &bid, &bidSize);
            price.GetAsk(level, &ask, &askSize);
            sum += bid + bidSize + ask + askSize;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(DecodeDepth);

void DecodeDepth_floor(benchmark::State& state) {
    std::vector<Record> updates = bench_floor::Updates(9);
    Record copy;
    std::size_t i = 0;
    for (auto _ : state) {
        std::memcpy(copy.data(), updates[i++ & 15].data(), copy.size());
        benchmark::DoNotOptimize(copy.data());  // the copy is made and read back
        benchmark::DoNotOptimize(bench_floor::DepthSum(copy.data()));
    }
}
BENCHMARK(DecodeDepth_floor);

}  // namespace
