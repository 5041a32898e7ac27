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
// and the visitors below size it, write it, read it, measure one in a buffer of known size and
// copy a record through it.

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>

#include "wire_types/support/detail/CheckedBytes.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera::detail {

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

// Walks a flat form in a buffer of `size` bytes without reading anything into the record: it
// checks that every block lies inside the buffer and that every text ends with its zero byte
// inside it, and throws as the checked decoders do (CheckedBytes.h) when one does not. Past a
// short block it keeps adding up the fixed blocks that follow, so the bytes it reports as needed
// are exact, or a lower bound once a text or an array would have to be read. An array is walked
// element by element with a scratch element, so a hostile count fails as soon as the bytes run
// out.
class FlatMeasurer {
  public:
    FlatMeasurer(const char* who, const unsigned char* buffer, std::size_t size, std::size_t offset)
        : who_(who), buffer_(buffer), size_(size), end_(offset) {}
    void Block(const void*, std::size_t size) {
        short_ = short_ || size_ - end_ < size;
        end_ += size;
    }
    void Text(BSTR&) {
        if (short_) {
            ThrowTooFewBytes(who_, end_ + 1, size_, true);  // a text takes at least its zero
        }
        const auto at = static_cast<std::size_t>(end_);
        const void* zero = at < size_ ? std::memchr(buffer_ + at, 0, size_ - at) : nullptr;
        if (zero == nullptr) {
            // The text runs to the end of the buffer: its zero byte would be one further.
            ThrowTooFewBytes(who_, std::uint64_t{size_} + 1, size_, true);
        }
        end_ = static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - buffer_) + 1;
    }
    template <class Items>
    void Array(Items&) {
        const auto at = static_cast<std::size_t>(end_);
        Block(nullptr, sizeof(std::int32_t));
        if (short_) {
            ThrowTooFewBytes(who_, end_, size_, true);
        }
        std::int32_t count = 0;
        std::memcpy(&count, buffer_ + at, sizeof count);
        typename Items::value_type scratch{};
        for (std::int32_t i = 0; i < count; ++i) {
            scratch.VisitFlatForm(*this);
            if (short_) {
                // Elements of fixed blocks only would otherwise be counted to the last.
                ThrowTooFewBytes(who_, end_, size_, true);
            }
        }
    }
    // Offset just past the flat form; throws when its fixed blocks ran past the buffer.
    std::size_t Finish() const {
        if (short_) {
            ThrowTooFewBytes(who_, end_, size_);
        }
        return static_cast<std::size_t>(end_);
    }

  private:
    const char* who_;
    const unsigned char* buffer_;
    std::size_t size_;
    std::uint64_t end_;   // within size_ until short_
    bool short_ = false;  // a block ran past the buffer
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

// Checked ReadFlatForm: the whole flat form at buffer + offset is measured first, so a refusal
// (std::length_error, or std::invalid_argument for a null buffer with a non-zero size) leaves
// record and offset as they were. An offset outside the buffer is refused the same way.
template <class Record>
void ReadFlatForm(Record& record, long& offset, const unsigned char* buffer, std::size_t size,
                  const char* who) {
    RequireBytes(who, buffer, size, 0);
    if (offset < 0 || static_cast<unsigned long>(offset) > size) {
        throw std::length_error(std::string(who) + ": offset " + std::to_string(offset) +
                                " lies outside the " + std::to_string(size) + " bytes given");
    }
    FlatMeasurer measurer(who, buffer, size, static_cast<std::size_t>(offset));
    record.VisitFlatForm(measurer);
    const std::size_t end = measurer.Finish();
    if (end > static_cast<unsigned long>(LONG_MAX)) {
        throw std::length_error(std::string(who) + ": the flat form ends at byte " +
                                std::to_string(end) + ", beyond what a long offset holds");
    }
    ReadFlatForm(record, offset, const_cast<unsigned char*>(buffer));
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

}  // namespace Lumera::detail
