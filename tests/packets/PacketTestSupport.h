#pragma once

#include <gtest/gtest.h>

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
class FailArrayNew {
  public:
    FailArrayNew();
    ~FailArrayNew();
};

// Checks one text field: the capacity edge, the refusal of an over-long text, the empty text,
// foreign bytes without a terminator, and that nothing outside the field changes. `packet`
// arrives with every other field set.
template <class Packet, class Set, class Get>
void CheckTextField(Packet packet, Set set, Get get, const std::string& name, std::size_t offset,
                    std::size_t capacity) {
    SCOPED_TRACE(name);
    const Bytes before = Encoded(packet);
    const auto expectOutsideUnchanged = [&](const Bytes& after) {
        for (std::size_t i = 0; i < after.size(); ++i) {
            if (i < offset || i >= offset + capacity) {
                ASSERT_EQ(after[i], before[i]) << "byte " << i;
            }
        }
    };

    const std::string longest(capacity - 1, 'x');
    std::invoke(set, packet, longest);
    Bytes bytes = Encoded(packet);
    expectOutsideUnchanged(bytes);
    EXPECT_EQ(std::string(bytes.begin() + offset, bytes.begin() + offset + capacity - 1), longest);
    EXPECT_EQ(bytes[offset + capacity - 1], 0);
    EXPECT_EQ(std::invoke(get, packet), longest);

    try {
        std::invoke(set, packet, std::string(capacity, 'y'));
        ADD_FAILURE() << "over-long text accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find(name), std::string::npos) << error.what();
        EXPECT_NE(std::string(error.what()).find(std::to_string(capacity)), std::string::npos);
    }
    bytes = Encoded(packet);
    expectOutsideUnchanged(bytes);
    EXPECT_EQ(Bytes(bytes.begin() + offset, bytes.begin() + offset + capacity), Bytes(capacity, 0));
    EXPECT_EQ(std::invoke(get, packet), "");

    // Like a C-string copy, the text ends at its first NUL, however long the string is.
    std::string cut = "ab" + std::string(capacity + 3, 'z');
    cut[2] = '\0';
    std::invoke(set, packet, cut);
    EXPECT_EQ(std::invoke(get, packet), "ab");

    std::invoke(set, packet, "a");
    std::invoke(set, packet, "");
    EXPECT_EQ(Encoded(packet)[offset], 0);
    EXPECT_EQ(std::invoke(get, packet), "");

    bytes.assign(capacity, 'A');
    bytes.insert(bytes.begin(), before.begin(), before.begin() + offset);
    bytes.insert(bytes.end(), before.begin() + offset + capacity, before.end());
    if (offset + capacity < bytes.size()) {
        bytes[offset + capacity] = 'B';
    }
    packet.Decode(bytes.data());
    EXPECT_EQ(std::invoke(get, packet), std::string(capacity, 'A'));
}

// For the packets that have no getters: the field read back from the encoded bytes.
template <class Packet>
auto FieldReader(std::size_t offset, std::size_t capacity) {
    return [offset, capacity](const Packet& packet) {
        const Bytes bytes = Encoded(packet);
        const auto* field = reinterpret_cast<const char*>(bytes.data() + offset);
        return std::string(field, strnlen(field, capacity));
    };
}

}  // namespace packets_test
