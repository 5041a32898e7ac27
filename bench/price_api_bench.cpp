// The stateless price API and the record view and builder, each beside its floor in one binary:
//
// - DisplayTo over a ten-level ladder in seven codes, against std::to_chars of the whole part and
//   the fraction digits into the same kind of buffer;
// - Parse of the same texts, against std::from_chars of an integer with as many characters;
// - PriceRecordView reading every field and the ten levels of both sides, against a memcpy of
//   the 86 bytes and the same arithmetic by hand;
// - PriceRecordBuilder writing a whole record, against writing the bytes by hand.

#include <benchmark/benchmark.h>

#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "RecordFloor.h"
#include "wire_types/price/Price.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/price/detail/PriceFormat.h"

namespace {

using Lumera::PriceRecordBuilder;
using Lumera::PriceRecordView;

constexpr std::pair<int, std::int32_t> kLadderCodes[] = {
    {1, 123450}, {6, 3525}, {9, 14337}, {14, 452550}, {31, 14402}, {41, 14403}, {62, 108765}};

struct Cell {
    int code;
    std::int32_t ticks;
};

std::vector<Cell> Ladder() {
    std::vector<Cell> cells;
    for (const auto& [code, last] : kLadderCodes) {
        for (int level = -5; level < 5; ++level) {
            cells.push_back({code, last + level});
        }
    }
    return cells;
}

void DisplayToLadder(benchmark::State& state) {
    const std::vector<Cell> cells = Ladder();
    char buffer[Lumera::price::kMaxDisplayLength];
    std::size_t i = 0;
    for (auto _ : state) {
        const Cell& cell = cells[i];
        benchmark::DoNotOptimize(
            Lumera::price::DisplayTo(buffer, buffer + sizeof buffer, cell.code, cell.ticks));
        benchmark::ClobberMemory();
        i = i + 1 == cells.size() ? 0 : i + 1;
    }
}
BENCHMARK(DisplayToLadder);

// The same digits without a format: the whole part, '.', and the fraction digits.
void DisplayToLadder_floor(benchmark::State& state) {
    const std::vector<Cell> cells = Ladder();
    char buffer[48];
    std::size_t i = 0;
    for (auto _ : state) {
        const Cell& cell = cells[i];
        const Lumera::PriceFormat& row = Lumera::kPriceFormatTable[cell.code - 1];
        const std::int32_t unit = row.primaryFraction * row.secondaryFraction;
        char* end = std::to_chars(buffer, buffer + 16, cell.ticks / unit).ptr;
        *end++ = '.';
        end = std::to_chars(end, end + 16, cell.ticks % unit).ptr;
        benchmark::DoNotOptimize(end);
        benchmark::ClobberMemory();
        i = i + 1 == cells.size() ? 0 : i + 1;
    }
}
BENCHMARK(DisplayToLadder_floor);

void ParseLadder(benchmark::State& state) {
    std::vector<std::pair<int, std::string>> texts;
    for (const Cell& cell : Ladder()) {
        texts.emplace_back(cell.code, Lumera::price::Display(cell.code, cell.ticks));
        if (Lumera::price::Parse(cell.code, texts.back().second) != cell.ticks && cell.code != 41) {
            state.SkipWithError("Parse does not invert Display");
            return;
        }
    }
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(Lumera::price::Parse(texts[i].first, texts[i].second));
        i = i + 1 == texts.size() ? 0 : i + 1;
    }
}
BENCHMARK(ParseLadder);

// An integer of as many characters as each display text.
void ParseLadder_floor(benchmark::State& state) {
    std::vector<std::string> texts;
    for (const Cell& cell : Ladder()) {
        texts.emplace_back(Lumera::price::Display(cell.code, cell.ticks).size(), '7');
    }
    std::size_t i = 0;
    for (auto _ : state) {
        std::int64_t value = 0;
        const std::string& text = texts[i];
        benchmark::DoNotOptimize(std::from_chars(text.data(), text.data() + text.size(), value));
        benchmark::DoNotOptimize(value);
        i = i + 1 == texts.size() ? 0 : i + 1;
    }
}
BENCHMARK(ParseLadder_floor);

using bench_floor::Load;
using bench_floor::Record;

void ViewReadAll(benchmark::State& state) {
    const std::vector<Record> updates = bench_floor::Updates(9);
    std::size_t i = 0;
    for (auto _ : state) {
        const PriceRecordView view(updates[i++ & 15].data());
        std::int64_t sum = view.PriceType() + view.PriceFormatCode() + view.LastSize() +
                           view.LumeraID() + view.LastPrice() + view.TotalVolume() +
                           view.TimeStamp() + view.High() + view.Low();
        for (int level = 0; level < 10; ++level) {
            const Lumera::PriceLevel bid = view.Bid(level);
            const Lumera::PriceLevel ask = view.Ask(level);
            sum += bid.price + bid.size + ask.price + ask.size;
        }
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(ViewReadAll);

void ViewReadAll_floor(benchmark::State& state) {
    const std::vector<Record> updates = bench_floor::Updates(9);
    Record copy;
    std::size_t i = 0;
    for (auto _ : state) {
        std::memcpy(copy.data(), updates[i++ & 15].data(), copy.size());
        benchmark::DoNotOptimize(copy.data());
        const unsigned char* b = copy.data();
        std::int64_t sum = b[0] + b[1] + Load<std::uint16_t>(b + 2) + Load<std::uint16_t>(b + 4) +
                           Load<std::int32_t>(b + 6) + Load<std::int32_t>(b + 10) +
                           Load<std::int32_t>(b + 14) + Load<std::int32_t>(b + 18) +
                           Load<std::int32_t>(b + 22);
        sum += bench_floor::DepthSum(b);
        benchmark::DoNotOptimize(sum);
    }
}
BENCHMARK(ViewReadAll_floor);

// Sixteen quotes cycled through, so that neither side builds from constants.
struct Quote {
    std::int32_t last;
    std::int32_t bids[10];
    std::int32_t asks[10];
    std::uint16_t sizes[10];
};

std::vector<Quote> Quotes() {
    std::mt19937 random(9);
    std::vector<Quote> quotes(16);
    for (Quote& quote : quotes) {
        quote.last = static_cast<std::int32_t>(random() % 100000);
        for (int level = 0; level < 10; ++level) {
            quote.bids[level] = quote.last - 1 - static_cast<std::int32_t>(random() % 100);
            quote.asks[level] = quote.last + 1 + static_cast<std::int32_t>(random() % 100);
            quote.sizes[level] = static_cast<std::uint16_t>(random());
        }
    }
    return quotes;
}

void Builder(benchmark::State& state) {
    const std::vector<Quote> quotes = Quotes();
    std::size_t i = 0;
    for (auto _ : state) {
        const Quote& q = quotes[i++ & 15];
        PriceRecordBuilder builder;
        builder.PriceType(1).PriceFormatCode(9).LastSize(q.sizes[0]).LumeraID(77).LastPrice(q.last);
        builder.TotalVolume(1000).TimeStamp(1700000000).High(q.asks[9]).Low(q.bids[9]);
        for (int level = 0; level < 10; ++level) {
            builder.Bid(level, q.bids[level], q.sizes[level]);
            builder.Ask(level, q.asks[level], q.sizes[level]);
        }
        benchmark::DoNotOptimize(builder.Bytes());
    }
}
BENCHMARK(Builder);

template <class T>
void Store(unsigned char* bytes, T value) {
    std::memcpy(bytes, &value, sizeof value);
}

void Builder_floor(benchmark::State& state) {
    const std::vector<Quote> quotes = Quotes();
    std::size_t i = 0;
    for (auto _ : state) {
        const Quote& q = quotes[i++ & 15];
        Record b{};
        b[0] = 1;
        b[1] = 9;
        Store<std::uint16_t>(b.data() + 2, q.sizes[0]);
        Store<std::uint16_t>(b.data() + 4, 77);
        Store<std::int32_t>(b.data() + 6, q.last);
        Store<std::int32_t>(b.data() + 10, 1000);
        Store<std::int32_t>(b.data() + 14, 1700000000);
        Store<std::int32_t>(b.data() + 18, q.asks[9]);
        Store<std::int32_t>(b.data() + 22, q.bids[9]);
        for (int level = 0; level < 10; ++level) {
            b[26 + level] = static_cast<unsigned char>(q.last - q.bids[level]);
            Store<std::uint16_t>(b.data() + 36 + 2 * level, q.sizes[level]);
            b[56 + level] = static_cast<unsigned char>(q.asks[level] - q.last);
            Store<std::uint16_t>(b.data() + 66 + 2 * level, q.sizes[level]);
        }
        benchmark::DoNotOptimize(b);
    }
}
BENCHMARK(Builder_floor);

}  // namespace
