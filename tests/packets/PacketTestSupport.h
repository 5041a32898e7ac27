#pragma once

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace packets_test {

using Bytes = std::vector<unsigned char>;

// Written byte by byte, so expectations do not depend on the host's order.
inline void PutLE32(Bytes& bytes, std::size_t offset, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        bytes[offset + i] = static_cast<unsigned char>(value >> (8 * i));
    }
}

inline void PutText(Bytes& bytes, std::size_t offset, const std::string& text) {
    std::memcpy(bytes.data() + offset, text.data(), text.size());
}

template <class Packet>
Bytes Encoded(const Packet& packet) {
    long length = -1;
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode(&length));
    EXPECT_NE(buffer, nullptr);
    EXPECT_EQ(length, static_cast<long>(sizeof(Packet)));
    return Bytes(buffer.get(), buffer.get() + length);
}

// While one lives, every array new in the program fails (the throwing form throws bad_alloc).
struct FailArrayNew {
    FailArrayNew() { failing = true; }
    ~FailArrayNew() { failing = false; }
    static inline std::atomic<bool> failing{false};
};

// Checks one text field of a packet whose other fields are set: the capacity edge, the refusal
// of an over-long text, the cut at the first NUL, foreign bytes without a terminator, and that
// nothing outside the field changes (every encoding is compared whole).
template <class Packet, class Set, class Get>
void CheckTextField(Packet packet, Set set, Get get, const std::string& name, std::size_t offset,
                    std::size_t capacity) {
    SCOPED_TRACE(name);
    const Bytes before = Encoded(packet);
    const auto with = [&](const std::string& text) {
        Bytes bytes = before;
        std::fill_n(bytes.begin() + offset, capacity, 0);
        PutText(bytes, offset, text);
        return bytes;
    };

    const std::string longest(capacity - 1, 'x');
    std::invoke(set, packet, longest);
    EXPECT_EQ(Encoded(packet), with(longest));
    EXPECT_EQ(std::invoke(get, packet), longest);
    std::string cut = "ab" + std::string(capacity + 3, 'z');
    cut[2] = '\0';
    std::invoke(set, packet, cut);
    EXPECT_EQ(Encoded(packet), with("ab"));
    std::invoke(set, packet, "");
    EXPECT_EQ(Encoded(packet), with(""));

    std::invoke(set, packet, longest);
    EXPECT_THAT([&] { std::invoke(set, packet, std::string(capacity, 'y')); },
                ::testing::ThrowsMessage<std::invalid_argument>(::testing::AllOf(
                    ::testing::HasSubstr(name), ::testing::HasSubstr(std::to_string(capacity)))));
    EXPECT_EQ(Encoded(packet), with(""));

    Bytes foreign = with(std::string(capacity, 'A'));
    if (offset + capacity < foreign.size()) {
        foreign[offset + capacity] = 'B';
    }
    packet.Decode(foreign.data());
    EXPECT_EQ(std::invoke(get, packet), std::string(capacity, 'A'));
}

}  // namespace packets_test
