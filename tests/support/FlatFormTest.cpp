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

std::vector<unsigned char> Flat(Record& record, long at = 0) {
    std::vector<unsigned char> buffer(static_cast<std::size_t>(at + FlatFormSize(record)), 0xCC);
    WriteFlatForm(record, at, buffer.data());
    EXPECT_EQ(at, static_cast<long>(buffer.size()));
    return buffer;
}

TEST(FlatForm, WritesBlocksTextsAndCountedArraysInOrderAndCopiesThroughThem) {
    Record source;
    std::memcpy(source.fixed, "\xF0\xF1\xF2\xF3\xF4\xF5", 6);
    SetWireText(source.first, "AB");
    FreeWireText(source.second);  // a null text travels as the empty one
    source.items.resize(2);
    source.items[0].value = 7;
    SetWireText(source.items[1].label, "Z");
    const std::vector<unsigned char> expected = {
        0xCC, 0xCC, 0xF0, 0xF1, 0xF2, 0xF3, 0xF4, 0xF5, 'A', 'B', 0, 0,   2, 0,
        0,    0,    7,    0,    0,    0,    0,    0,    0,   0,   0, 'Z', 0};
    EXPECT_EQ(Flat(source, 2), expected);

    Record copy;
    copy.items.resize(5);  // replaced by the count read
    CopyThroughFlatForm(source, copy);
    EXPECT_EQ(Flat(copy), Flat(source));
    EXPECT_NE(copy.first, source.first);
    EXPECT_NE(copy.items[1].label, source.items[1].label);
}

// Counts beyond the buffer are refused before anything is read, leaving record and offset alone.
TEST(FlatForm, CheckedReadRefusesCountsTheBufferCannotHold) {
    Record source;
    SetWireText(source.first, "AB");
    source.items.resize(2);
    std::vector<unsigned char> buffer = Flat(source);
    const std::size_t countAt = 6 + 3 + 1;
    Record target;
    SetWireText(target.first, "kept");
    for (std::int32_t count : {3, 1000, 0x7FFFFFFF, 2, 0, -5}) {  // a negative count reads as none
        SCOPED_TRACE(count);
        std::memcpy(buffer.data() + countAt, &count, sizeof count);
        long offset = 0;
        const auto read = [&] {
            ReadFlatForm(target, offset, buffer.data(), buffer.size(), "Record");
        };
        if (count > 2) {
            EXPECT_THROW(read(), std::length_error);
            EXPECT_TRUE(offset == 0 && GetWireText(target.first) == "kept" && target.items.empty());
        } else {
            read();
            EXPECT_EQ(target.items.size(), count == 2 ? 2U : 0U);
            EXPECT_EQ(offset, count == 2 ? static_cast<long>(buffer.size()) : long{countAt + 4});
        }
    }
}

// A hostile count of fixed blocks stops at the first element past the end, not counted to the last.
struct Plains {
    struct Plain {
        std::int32_t value = 0;
        template <class V>
        void VisitFlatForm(V& v) {
            v.Block(&value, 4);
        }
    };
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
