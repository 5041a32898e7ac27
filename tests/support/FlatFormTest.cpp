#include "wire_types/support/detail/FlatForm.h"

#include <gtest/gtest.h>

#include <gmock/gmock.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

using namespace Lumera;
using namespace Lumera::detail;

// A record shaped like the raw records: a fixed block with padding, two texts and an array.
struct Item {
    std::int32_t value = 0;
    BSTR label = CopyWireText(nullptr);
    Item() = default;
    Item(const Item& other) : value(other.value), label(CopyWireText(other.label)) {}
    Item& operator=(const Item&) = delete;
    ~Item() { FreeWireText(label); }
    template <class V>
    void VisitFlatForm(V& v) {
        v.Block(&value, 4);
        v.Text(label);
    }
};

struct Record {
    unsigned char fixed[6] = {};
    BSTR first = CopyWireText(nullptr);
    BSTR second = CopyWireText(nullptr);
    std::vector<Item> items;
    ~Record() {
        FreeWireText(first);
        FreeWireText(second);
    }
    template <class V>
    void VisitFlatForm(V& v) {
        v.Block(fixed, sizeof fixed);
        v.Text(first);
        v.Text(second);
        v.Array(items);
    }
};

TEST(FlatForm, WritesBlocksTextsAndCountedArraysInOrder) {
    Record source;
    for (int i = 0; i < 6; ++i) {
        source.fixed[i] = static_cast<unsigned char>(0xF0 + i);
    }
    SetWireText(source.first, "AB");
    FreeWireText(source.second);  // a null text travels as the empty one
    source.items.resize(2);
    source.items[0].value = 7;
    SetWireText(source.items[1].label, "Z");

    const long size = FlatFormSize(source);
    EXPECT_EQ(size, 6 + 3 + 1 + 4 + (4 + 1) + (4 + 2));
    std::vector<unsigned char> buffer(static_cast<std::size_t>(size) + 2, 0xCC);
    long offset = 2;
    WriteFlatForm(source, offset, buffer.data());
    EXPECT_EQ(offset, 2 + size);
    const std::vector<unsigned char> expected = {
        0xCC, 0xCC, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 'A', 'B', 0, 0,   2, 0,
        0,    0,    7,    0,    0,    0,    0,    0,    0,   0,   0, 'Z', 0};
    EXPECT_EQ(buffer, expected);
}

TEST(FlatForm, CopyGivesEqualBytesAndStringsOfItsOwn) {
    Record source;
    source.fixed[5] = 0x5A;
    SetWireText(source.first, "first");
    SetWireText(source.second, "second");
    source.items.resize(3);
    SetWireText(source.items[2].label, "third");

    Record copy;
    copy.items.resize(5);  // replaced by the count read
    CopyThroughFlatForm(source, copy);
    EXPECT_EQ(copy.fixed[5], 0x5A);
    EXPECT_EQ(GetWireText(copy.first), "first");
    EXPECT_EQ(GetWireText(copy.second), "second");
    ASSERT_EQ(copy.items.size(), 3U);
    EXPECT_EQ(GetWireText(copy.items[2].label), "third");
    EXPECT_NE(copy.first, source.first);

    SetWireText(source.first, "changed");
    EXPECT_EQ(GetWireText(copy.first), "first");
}

// The checked reader over a record with an array: counts beyond the buffer (up to the largest)
// are refused before anything is read, and a refusal leaves record and offset alone.
TEST(FlatForm, CheckedReadRefusesCountsTheBufferCannotHold) {
    Record source;
    SetWireText(source.first, "AB");
    source.items.resize(2);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(FlatFormSize(source)));
    long offset = 0;
    WriteFlatForm(source, offset, buffer.data());
    const std::size_t countAt = 6 + 3 + 1;

    Record target;
    SetWireText(target.first, "kept");
    for (std::int32_t count : {3, 1000, 0x7FFFFFFF}) {
        SCOPED_TRACE(count);
        std::memcpy(buffer.data() + countAt, &count, sizeof count);
        offset = 0;
        EXPECT_THROW(ReadFlatForm(target, offset, buffer.data(), buffer.size(), "Record"),
                     std::length_error);
        EXPECT_EQ(offset, 0);
        EXPECT_EQ(GetWireText(target.first), "kept");
        EXPECT_TRUE(target.items.empty());
    }
    for (std::int32_t count : {2, 0, -5}) {  // a negative count reads as none
        SCOPED_TRACE(count);
        std::memcpy(buffer.data() + countAt, &count, sizeof count);
        offset = 0;
        ReadFlatForm(target, offset, buffer.data(), buffer.size(), "Record");
        EXPECT_EQ(target.items.size(), count == 2 ? 2U : 0U);
        EXPECT_EQ(offset, count == 2 ? static_cast<long>(buffer.size()) : long{countAt + 4});
    }
}

// Elements of fixed blocks only: a hostile count stops at the first element past the end
// instead of being counted to the last.
struct Plain {
    std::int32_t value = 0;
    template <class V>
    void VisitFlatForm(V& v) {
        v.Block(&value, 4);
    }
};

struct Plains {
    std::vector<Plain> items;
    template <class V>
    void VisitFlatForm(V& v) {
        v.Array(items);
    }
};

TEST(FlatForm, CheckedReadStopsAtTheFirstElementPastTheEnd) {
    const std::vector<unsigned char> hostile = {0xFF, 0xFF, 0xFF, 0x7F, 1, 0, 0, 0};
    Plains plains;
    long offset = 0;
    EXPECT_THAT([&] { ReadFlatForm(plains, offset, hostile.data(), hostile.size(), "Plains"); },
                ::testing::ThrowsMessage<std::length_error>(
                    ::testing::HasSubstr("Plains: needs at least 12 bytes, given 8")));
    EXPECT_EQ(offset, 0);
    EXPECT_TRUE(plains.items.empty());
}

}  // namespace
