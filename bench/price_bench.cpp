// Building a price record and converting its prices, against a baseline that gives every
// converter its own 62-node std::map of formats and prints through snprintf, as the original
// design did.

#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/PriceFormat.h"

namespace {

using Lumera::enumPriceFormatCode;
using Lumera::PriceFormat;

class MapConverter {
  public:
    explicit MapConverter(enumPriceFormatCode code) : m_code(code) {
        for (const PriceFormat& row : Lumera::kPriceFormatTable) {
            m_formats.insert(std::make_pair(static_cast<int>(row.formatCode), row));
        }
    }

    std::string getDisplayString(long price, enumPriceFormatCode formatcode) {
        m_code = formatcode;
        const auto found = m_formats.find(formatcode);
        if (found == m_formats.end()) {
            return std::string();
        }
        const PriceFormat row = found->second;
        std::int32_t n = static_cast<std::int32_t>(price);
        std::int32_t r = n % row.secondaryFraction;
        n /= row.secondaryFraction;
        const int p = static_cast<int>((n % row.primaryFraction) * row.primaryFractionMultiplier);
        const int w = n / row.primaryFraction;
        const int c = row.lastDigitString != nullptr && r >= 0 ? row.lastDigitString[r] : r;
        char buffer[256];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
        if (row.primaryFraction == 1) {
            std::snprintf(buffer, sizeof buffer, row.sprintfFormat, w, c);
        } else if (row.secondaryFraction == 1) {
            std::snprintf(buffer, sizeof buffer, row.sprintfFormat, w, p);
        } else {
            std::snprintf(buffer, sizeof buffer, row.sprintfFormat, w, p, c);
        }
#pragma GCC diagnostic pop
        return buffer;
    }

    long GetPriceFormatCodeDivisor(enumPriceFormatCode formatcode) {
        m_code = formatcode;
        const auto found = m_formats.find(formatcode);
        return found == m_formats.end()
                   ? 0
                   : found->second.primaryFraction * found->second.secondaryFraction;
    }

    enumPriceFormatCode GetPriceFormatCode() const {
        return m_code;
    }

  private:
    std::map<int, PriceFormat> m_formats;
    enumPriceFormatCode m_code;
};

class MapPriceRecord {
  public:
    explicit MapPriceRecord(const unsigned char* bytes)
        : m_record(new unsigned char[86]), m_converter(nullptr) {
        std::memcpy(m_record, bytes, 86);
        m_converter = new MapConverter(static_cast<enumPriceFormatCode>(m_record[1]));
    }
    MapPriceRecord(const MapPriceRecord&) = delete;
    MapPriceRecord& operator=(const MapPriceRecord&) = delete;
    ~MapPriceRecord() {
        delete[] m_record;
        delete m_converter;
    }

    std::string PriceFromTicks(long ticks) {
        return m_converter->getDisplayString(ticks, static_cast<enumPriceFormatCode>(m_record[1]));
    }

    long DisplayToTicks(const std::string& text) {
        const double value = std::atof(text.c_str());
        const long divisor =
            m_converter->GetPriceFormatCodeDivisor(m_converter->GetPriceFormatCode());
        return static_cast<std::int32_t>(static_cast<double>(divisor) * value);
    }

  private:
    unsigned char* m_record;
    MapConverter* m_converter;
};

std::array<unsigned char, 86> SampleRecord() {
    std::array<unsigned char, 86> record{};
    record[1] = 9;
    record[6] = 0xD3;
    record[7] = 0x04;
    return record;
}

std::vector<long> SamplePrices() {
    std::mt19937 random(1);
    std::uniform_int_distribution<long> ticks(0, 2000000);
    std::vector<long> prices(1024);
    for (long& price : prices) {
        price = ticks(random);
    }
    return prices;
}

void BuildRecord(benchmark::State& state) {
    auto record = SampleRecord();
    for (auto _ : state) {
        Lumera::CWirePrice price(record.data());
        benchmark::DoNotOptimize(price.GetLastPrice());
    }
}
BENCHMARK(BuildRecord);

void BuildRecordBaseline(benchmark::State& state) {
    auto record = SampleRecord();
    for (auto _ : state) {
        MapPriceRecord price(record.data());
        benchmark::DoNotOptimize(&price);
    }
}
BENCHMARK(BuildRecordBaseline);

void PriceFromTicks(benchmark::State& state) {
    auto record = SampleRecord();
    Lumera::CWirePrice price(record.data());
    const std::vector<long> prices = SamplePrices();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(price.PriceFromTicks(prices[i++ & 1023]));
    }
}
BENCHMARK(PriceFromTicks);

void PriceFromTicksBaseline(benchmark::State& state) {
    auto record = SampleRecord();
    MapPriceRecord price(record.data());
    const std::vector<long> prices = SamplePrices();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(price.PriceFromTicks(prices[i++ & 1023]));
    }
}
BENCHMARK(PriceFromTicksBaseline);

std::vector<std::string> SampleTexts() {
    std::vector<std::string> texts;
    for (long ticks : SamplePrices()) {
        texts.push_back(std::to_string(ticks / 128) + "." + std::to_string(ticks % 1000));
    }
    return texts;
}

void DisplayToTicks(benchmark::State& state) {
    auto record = SampleRecord();
    Lumera::CWirePrice price(record.data());
    const std::vector<std::string> texts = SampleTexts();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(price.DisplayToTicks(texts[i++ & 1023]));
    }
}
BENCHMARK(DisplayToTicks);

void DisplayToTicksBaseline(benchmark::State& state) {
    auto record = SampleRecord();
    MapPriceRecord price(record.data());
    const std::vector<std::string> texts = SampleTexts();
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(price.DisplayToTicks(texts[i++ & 1023]));
    }
}
BENCHMARK(DisplayToTicksBaseline);

}  // namespace
