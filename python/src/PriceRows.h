#pragma once

// The numpy row of a price record, shared by the readers of raw bytes and files
// (PriceRecords.cpp) and of packet captures (Captures.cpp): the record with its depth prices made
// absolute, 146 packed bytes, and for a packet capture the packet's time after it. Decoding and
// building go through the library's view and builder, never through offsets of our own.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include <pybind11/numpy.h>

#include "Bindings.h"
#include "wire_types/price/PriceRecord.h"

namespace lmwire::binding {

constexpr int kLevels = Lumera::PriceRecordLayout::kLevels;

// PriceRecords.cpp checks this struct against the row that the record's field table describes.
#pragma pack(push, 1)
struct PriceRow {
    std::uint8_t priceType;
    std::uint8_t priceFormatCode;
    std::uint16_t lastSize;
    std::uint16_t lumeraID;
    std::int32_t lastPrice;
    std::int32_t totalVolume;
    std::int32_t timeStamp;
    std::int32_t high;
    std::int32_t low;
    std::int32_t bidPrice[kLevels];
    std::uint16_t bidSize[kLevels];
    std::int32_t askPrice[kLevels];
    std::uint16_t askSize[kLevels];
};
// A record of a packet capture: numpy's datetime64[ns] after the row.
struct CaptureRow {
    PriceRow price;
    std::int64_t captureTime;  // nanoseconds since 1970, UTC
};
#pragma pack(pop)
static_assert(sizeof(CaptureRow) == sizeof(PriceRow) + 8);

// Fills the row on the stack and stores it whole at `row`: wide stores, where setting the packed
// row's fields in place would store them one narrow field at a time.
inline void DecodeRecord(const unsigned char* record, void* row) noexcept {
    const Lumera::PriceRecordView view(record);
    PriceRow decoded;
    decoded.priceType = view.PriceType();
    decoded.priceFormatCode = view.PriceFormatCode();
    decoded.lastSize = view.LastSize();
    decoded.lumeraID = view.LumeraID();
    decoded.lastPrice = view.LastPrice();
    decoded.totalVolume = view.TotalVolume();
    decoded.timeStamp = view.TimeStamp();
    decoded.high = view.High();
    decoded.low = view.Low();
    for (int level = 0; level < kLevels; ++level) {
        const Lumera::PriceLevel bid = view.Bid(level);
        const Lumera::PriceLevel ask = view.Ask(level);
        decoded.bidPrice[level] = bid.price;
        decoded.bidSize[level] = bid.size;
        decoded.askPrice[level] = ask.price;
        decoded.askSize[level] = ask.size;
    }
    std::memcpy(row, &decoded, sizeof decoded);
}

// The record of row `index` (for messages) through the builder; ValueError naming the row, side,
// level and prices for a depth price out of reach of the last price.
std::array<unsigned char, Lumera::PriceRecordLayout::kSize> BuildRecord(const PriceRow& row,
                                                                        std::size_t index);

// Rows `rowSize` bytes apart (each starting with a PriceRow) built into records a few thousand at
// a time, each batch handed to `sink(records, count)`, which returns false to stop.
template <class Sink>
void BuildRecordBatches(const unsigned char* rows, std::size_t rowSize, std::size_t count,
                        Sink&& sink) {
    constexpr std::size_t kBatch = 4096;  // a few hundred kilobytes, which stay in cache
    constexpr std::size_t kSize = Lumera::PriceRecordLayout::kSize;
    std::vector<unsigned char> records(kBatch * kSize);
    for (std::size_t done = 0; done < count;) {
        const std::size_t n = std::min(kBatch, count - done);
        for (std::size_t i = 0; i < n; ++i) {
            PriceRow row;
            std::memcpy(&row, rows + (done + i) * rowSize, sizeof row);
            const auto record = BuildRecord(row, done + i);
            std::copy(record.begin(), record.end(), records.data() + i * kSize);
        }
        if (!sink(records.data(), n)) {
            return;
        }
        done += n;
    }
}

// The items of a one-dimensional, C-contiguous array of `itemSize`-byte rows; the Python side has
// already checked the dtype. TypeError for another shape, ValueError for a read-only array that
// is to be written.
void* RowData(py::array& rows, std::size_t itemSize, bool writeable);

}  // namespace lmwire::binding
