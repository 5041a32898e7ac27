#pragma once

// What the record benchmarks share: sixteen updates to cycle through, and the floor's reading of
// the ten depth levels by hand (the offsets spelled out, as a hand-written reader would).

#include <array>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace bench_floor {

using Record = std::array<unsigned char, 86>;

// Random bytes in a given price format code.
inline std::vector<Record> Updates(unsigned char code) {
    std::mt19937 random(7);
    std::vector<Record> updates(16);
    for (Record& record : updates) {
        for (unsigned char& byte : record) {
            byte = static_cast<unsigned char>(random());
        }
        record[1] = code;
    }
    return updates;
}

template <class T>
T Load(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

// The sum of every depth price and size of a record.
inline std::int64_t DepthSum(const unsigned char* record) {
    const auto last = Load<std::uint32_t>(record + 6);
    std::int64_t sum = 0;
    for (int level = 0; level < 10; ++level) {
        const auto bid = static_cast<std::int32_t>(
            last - static_cast<std::uint32_t>(static_cast<std::int8_t>(record[26 + level])));
        const auto ask = static_cast<std::int32_t>(
            last + static_cast<std::uint32_t>(static_cast<std::int8_t>(record[56 + level])));
        sum += bid + Load<std::uint16_t>(record + 36 + 2 * level) + ask +
               Load<std::uint16_t>(record + 66 + 2 * level);
    }
    return sum;
}

}  // namespace bench_floor
