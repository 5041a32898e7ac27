#pragma once

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <atomic>
#include <cstdint>
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

template <class Packet>
Bytes Encoded(const Packet& packet) {
    long length = -1;
    const std::unique_ptr<unsigned char[]> buffer(packet.Encode(&length));
    EXPECT_NE(buffer, nullptr);
    EXPECT_EQ(length, static_cast<long>(sizeof(Packet)));
    return Bytes(buffer.get(), buffer.get() + length);
}

// A std::length_error naming the class, the bytes needed and the bytes given.
inline auto RefusedFor(const std::string& who, std::uint64_t needed, std::size_t given) {
    using namespace ::testing;
    return ThrowsMessage<std::length_error>(
        AllOf(HasSubstr(who), HasSubstr("needs " + std::to_string(needed) + " bytes"),
              HasSubstr("given " + std::to_string(given))));
}

// While one lives, every array new in the program fails (the throwing form throws bad_alloc).
struct FailArrayNew {
    FailArrayNew() { failing = true; }
    ~FailArrayNew() { failing = false; }
    static inline std::atomic<bool> failing{false};
};

}  // namespace packets_test
