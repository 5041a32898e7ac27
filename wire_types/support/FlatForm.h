#pragma once

// One mechanism for the flat form of a raw record: its fixed blocks byte for byte and its text
// fields as narrow text with one zero byte each. A record describes its flat form once, in a
// member template
//
//     template <class Visitor> void VisitFlatForm(Visitor& v) {
//         v.Block(this, 60);        // fixed bytes, in order
//         v.Text(symbol);           // text fields, in order
//         v.Array(contracts);       // a WireArray: 32-bit count, then each element's flat form
//     }
//
// and the visitors below size it, write it, read it and copy a record through it.

#include <cstdint>
#include <cstring>
#include <memory>

#include "wire_types/support/WireStrings.h"

namespace Lumera {

class FlatSizer {
  public:
    void Block(const void*, std::size_t size) { size_ += static_cast<long>(size); }
    void Text(BSTR& field) { size_ += WireStringSize(&field); }
    template <class Items>
    void Array(Items& items) {
        size_ += static_cast<long>(sizeof(std::int32_t));
        for (auto& item : items) {
            item.VisitFlatForm(*this);
        }
    }
    long size() const { return size_; }

  private:
    long size_ = 0;
};

class FlatWriter {
  public:
    FlatWriter(long& offset, unsigned char* buffer) : offset_(offset), buffer_(buffer) {}
    void Block(const void* source, std::size_t size) {
        std::memcpy(buffer_ + offset_, source, size);
        offset_ += static_cast<long>(size);
    }
    void Text(BSTR& field) { WriteWireString(field, offset_, buffer_); }
    template <class Items>
    void Array(Items& items) {
        const auto count = static_cast<std::int32_t>(items.size());
        Block(&count, sizeof count);
        for (auto& item : items) {
            item.VisitFlatForm(*this);
        }
    }

  private:
    long& offset_;
    unsigned char* buffer_;
};

// Reads into a record: fixed blocks are overwritten, each text field's old string is released
// before the new one is read, and an array is resized to the count read before its elements are.
class FlatReader {
  public:
    FlatReader(long& offset, unsigned char* buffer) : offset_(offset), buffer_(buffer) {}
    void Block(void* target, std::size_t size) {
        std::memcpy(target, buffer_ + offset_, size);
        offset_ += static_cast<long>(size);
    }
    void Text(BSTR& field) {
        FreeWireText(field);
        ReadWireString(offset_, &field, buffer_);
    }
    template <class Items>
    void Array(Items& items) {
        std::int32_t count = 0;
        Block(&count, sizeof count);
        items.clear();
        items.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
        for (auto& item : items) {
            item.VisitFlatForm(*this);
        }
    }

  private:
    long& offset_;
    unsigned char* buffer_;
};

template <class Record>
long FlatFormSize(Record& record) {
    FlatSizer sizer;
    record.VisitFlatForm(sizer);
    return sizer.size();
}

template <class Record>
void WriteFlatForm(Record& record, long& offset, unsigned char* buffer) {
    FlatWriter writer(offset, buffer);
    record.VisitFlatForm(writer);
}

template <class Record>
void ReadFlatForm(Record& record, long& offset, unsigned char* buffer) {
    FlatReader reader(offset, buffer);
    record.VisitFlatForm(reader);
}

// Copies source into target (normally a freshly constructed record) through a temporary buffer
// holding source's flat form. The copy's fixed blocks equal source's byte for byte; its texts
// are new strings, a null text becoming an empty one.
template <class Record>
void CopyThroughFlatForm(Record& source, Record& target) {
    const long size = FlatFormSize(source);
    const std::unique_ptr<unsigned char[]> buffer(
        new unsigned char[static_cast<std::size_t>(size)]);
    long offset = 0;
    WriteFlatForm(source, offset, buffer.get());
    offset = 0;
    ReadFlatForm(target, offset, buffer.get());
}

}  // namespace Lumera
