#pragma once

// The wire described as data. Every layout (each fixed packet, the account data packet's header
// and entry, the price record, the fixed blocks and flat forms of the raw records) carries a
// table of its fields beside its offsets, `...Layout::kFields`: name, offset, size and kind, in
// wire order. The tables are built from the layout constants and checked against them at
// compile time, so a front end that walks a table (to print a record, name columns, build a
// dtype or write documentation) follows the library instead of a copy of it.
//
// Names are the accessors' without their Get/get prefix (`LastPrice`, `GateKeeperSessionID`,
// `contractType`), and bytes without an accessor carry the member's name (`reserved1`). One
// function, SpellTo, derives each output's spelling from that canonical name.
//
// Everything here is constexpr and header-only: nothing of it is exported from the library.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"  // for its message to consumers below C++17

namespace Lumera {

enum class FieldKind : std::uint8_t {
    Signed,      // little-endian two's complement of `size` bytes
    Unsigned,    // little-endian unsigned integer of `size` bytes
    Double,      // IEEE 754 double, little-endian
    OleDate,     // a Double counting days since 1899-12-30 00:00 UTC
    Text,        // Windows-1252 in `size` bytes: at most size - 1 characters, then a zero byte
                 // (a reader stops at the first zero byte or at the field's end)
    FlatText,    // Windows-1252 of any length, then one zero byte (in a flat form only)
    Reserved,    // padding or reserved bytes, carried unchanged
    DepthPrice,  // `count` signed 8-bit offsets from the last price, in `direction` (-1 below)
    DepthSize,   // `count` unsigned 16-bit sizes, level 0 first
    Record,      // the flat form of the record `nested`
    Records,     // a signed 32-bit count N, then N flat forms of `nested`
};

struct FieldTable;

struct WireField {
    // Offset of a part of a flat form that follows its fixed block: it starts where the part
    // before it ended, which only a reader walking the bytes knows.
    static constexpr std::size_t kFollows = static_cast<std::size_t>(-1);

    const char* name;    // canonical: the accessor's name without Get/get
    std::size_t offset;  // bytes from the start of the packet, header, entry or fixed block
    std::size_t size;    // bytes; 0 for FlatText, Record and Records, whose length varies
    FieldKind kind;
    const char* type;          // the enumeration the integer carries (`enumErrors`), or null
    int count;                 // levels of a depth array; 1 otherwise
    int direction;             // DepthPrice: -1 bids below the last price, +1 asks above it
    const FieldTable* nested;  // Record and Records: the record's table
};

// The fields of one layout in wire order: those of its fixed part (offsets from its start, back
// to back, pad and reserved bytes included) and, in a flat form, the texts and records that
// follow it, at WireField::kFollows.
struct FieldTable {
    const char* name;       // the class or record described
    std::size_t fixedSize;  // bytes of the fixed part: the packet, header, entry or block
    const WireField* first;
    std::size_t count;

    constexpr const WireField* begin() const noexcept { return first; }
    constexpr const WireField* end() const noexcept { return first + count; }
};

// How a front end spells a field:
//   Json       the canonical name (`LastPrice`); a depth list `Bids`, one level `Bids[3].Price`
//   Snake      CSV columns and Python names (`last_price`); `bid_price`, one level `bid_price_3`
//   Wireshark  display filter names (`lmwire.last_price`); `lmwire.bid.price`, one level
//              `lmwire.bid_price_3`
// Snake case puts an underscore before each capital that follows a small letter or a digit, and
// before the last capital of a run that a small letter follows: `LumeraID` is `lumera_id`,
// `APIOrderID` `api_order_id`.
enum class Spelling : std::uint8_t { Json, Snake, Wireshark };

// For a depth field: every level at once.
inline constexpr int kAllLevels = -1;

namespace detail {

// Counts what it is given and stores what fits, so that one pass both measures and writes.
class SpellingSink {
  public:
    constexpr SpellingSink(char* first, char* last) noexcept : at_(first), last_(last) {}
    constexpr void Put(char c) noexcept {
        if (at_ != nullptr && at_ != last_) {
            *at_++ = c;
        } else {
            at_ = nullptr;
        }
        ++length_;
    }
    constexpr void Put(const char* text) noexcept {
        while (*text != '\0') {
            Put(*text++);
        }
    }
    constexpr void PutNumber(int value) noexcept {
        if (value >= 10) {
            PutNumber(value / 10);
        }
        Put(static_cast<char>('0' + value % 10));
    }
    constexpr void PutSnake(const char* name) noexcept {
        for (std::size_t i = 0; name[i] != '\0'; ++i) {
            const char c = name[i];
            if (!IsUpper(c)) {
                Put(c);
                continue;
            }
            if (i > 0) {
                const char before = name[i - 1];
                const char after = name[i + 1];
                if (IsLower(before) || IsDigit(before) || (IsUpper(before) && IsLower(after))) {
                    Put('_');
                }
            }
            Put(static_cast<char>(c - 'A' + 'a'));
        }
    }
    // The end of what was written, or null when it did not all fit.
    constexpr char* End() const noexcept { return at_; }
    constexpr std::size_t Length() const noexcept { return length_; }

  private:
    static constexpr bool IsUpper(char c) noexcept { return c >= 'A' && c <= 'Z'; }
    static constexpr bool IsLower(char c) noexcept { return c >= 'a' && c <= 'z'; }
    static constexpr bool IsDigit(char c) noexcept { return c >= '0' && c <= '9'; }

    char* at_;
    char* last_;
    std::size_t length_ = 0;
};

constexpr void Spell(SpellingSink& out, const char* name, Spelling spelling) noexcept {
    if (spelling == Spelling::Json) {
        out.Put(name);
        return;
    }
    if (spelling == Spelling::Wireshark) {
        out.Put("lmwire.");
    }
    out.PutSnake(name);
}

constexpr void Spell(SpellingSink& out, const WireField& field, Spelling spelling,
                     int level) noexcept {
    const bool depth = field.kind == FieldKind::DepthPrice || field.kind == FieldKind::DepthSize;
    if (!depth) {
        Spell(out, field.name, spelling);
        return;
    }
    const bool price = field.kind == FieldKind::DepthPrice;
    const bool all = level < 0 || level >= field.count;
    switch (spelling) {
        case Spelling::Json:
            // A side's levels are one list of {Price, Size} objects.
            out.Put(field.name);
            out.Put('s');
            if (!all) {
                out.Put('[');
                out.PutNumber(level);
                out.Put(price ? "].Price" : "].Size");
            }
            return;
        case Spelling::Wireshark:
            out.Put("lmwire.");
            if (all) {
                out.PutSnake(field.name);
                out.Put(price ? ".price" : ".size");
                return;
            }
            break;
        case Spelling::Snake:
            break;
    }
    out.PutSnake(field.name);
    out.Put(price ? "_price" : "_size");
    if (!all) {
        out.Put('_');
        out.PutNumber(level);
    }
}

}  // namespace detail

// Writes the spelling of a canonical name (a field's, or that of a value a front end derives,
// such as `LastPriceText`) at [first, last) without a terminator; returns its end, or null when
// it does not fit.
constexpr char* SpellTo(char* first, char* last, const char* name, Spelling spelling) noexcept {
    detail::SpellingSink out(first, last);
    detail::Spell(out, name, spelling);
    return out.End();
}

// The same for a field; `level` picks one level of a depth field (kAllLevels, or a level
// outside the field's count, names them all) and is ignored for any other field.
constexpr char* SpellTo(char* first, char* last, const WireField& field, Spelling spelling,
                        int level = kAllLevels) noexcept {
    detail::SpellingSink out(first, last);
    detail::Spell(out, field, spelling, level);
    return out.End();
}

inline std::string Spell(const WireField& field, Spelling spelling, int level = kAllLevels) {
    detail::SpellingSink measure(nullptr, nullptr);
    detail::Spell(measure, field, spelling, level);
    std::string spelled(measure.Length(), '\0');
    SpellTo(&spelled[0], &spelled[0] + spelled.size(), field, spelling, level);
    return spelled;
}

inline std::string Spell(const char* name, Spelling spelling) {
    detail::SpellingSink measure(nullptr, nullptr);
    detail::Spell(measure, name, spelling);
    std::string spelled(measure.Length(), '\0');
    SpellTo(&spelled[0], &spelled[0] + spelled.size(), name, spelling);
    return spelled;
}

namespace detail {

// Rows of the tables, so that each reads as what it describes.
constexpr WireField Field(const char* name, std::size_t offset, std::size_t size, FieldKind kind,
                          const char* type = nullptr) noexcept {
    return WireField{name, offset, size, kind, type, 1, 0, nullptr};
}
constexpr WireField Int32Field(const char* name, std::size_t offset,
                               const char* type = nullptr) noexcept {
    return Field(name, offset, 4, FieldKind::Signed, type);
}
constexpr WireField TextField(const char* name, std::size_t offset, std::size_t capacity) noexcept {
    return Field(name, offset, capacity, FieldKind::Text);
}
constexpr WireField FlatTextField(const char* name) noexcept {
    return Field(name, WireField::kFollows, 0, FieldKind::FlatText);
}
constexpr WireField DepthPriceField(const char* name, std::size_t offset, int levels,
                                    int direction) noexcept {
    return WireField{
        name,      offset, static_cast<std::size_t>(levels), FieldKind::DepthPrice, nullptr, levels,
        direction, nullptr};
}
constexpr WireField DepthSizeField(const char* name, std::size_t offset, int levels) noexcept {
    return WireField{
        name, offset, 2 * static_cast<std::size_t>(levels), FieldKind::DepthSize, nullptr, levels,
        0,    nullptr};
}
constexpr WireField RecordField(const char* name, const FieldTable& nested,
                                FieldKind kind = FieldKind::Record) noexcept {
    return WireField{name, WireField::kFollows, 0, kind, nullptr, 1, 0, &nested};
}
template <std::size_t N>
constexpr FieldTable Table(const char* name, std::size_t fixedSize,
                           const WireField (&fields)[N]) noexcept {
    return FieldTable{name, fixedSize, fields, N};
}

constexpr bool SizeFitsKind(const WireField& field) noexcept {
    switch (field.kind) {
        case FieldKind::Signed:
        case FieldKind::Unsigned:
            return field.size == 1 || field.size == 2 || field.size == 4 || field.size == 8;
        case FieldKind::Double:
        case FieldKind::OleDate:
            return field.size == 8;
        case FieldKind::Text:
            return field.size >= 1;
        case FieldKind::Reserved:
            return field.size >= 1;
        case FieldKind::DepthPrice:
            return field.count > 0 && field.size == static_cast<std::size_t>(field.count) &&
                   (field.direction == -1 || field.direction == 1);
        case FieldKind::DepthSize:
            return field.count > 0 && field.size == 2 * static_cast<std::size_t>(field.count);
        case FieldKind::FlatText:
            return field.size == 0;
        case FieldKind::Record:
        case FieldKind::Records:
            // RecordField always names the nested table. Its address is not compared here: with
            // null-pointer checks kept (-fsanitize=undefined), GCC does not take an inline
            // variable's address for non-null in a constant expression.
            return field.size == 0;
    }
    return false;
}

// What the layouts assert of their tables: the fixed fields cover the fixed part from its first
// byte to its last, back to back with neither gap nor overlap, each of a size its kind allows;
// only variable parts follow, and only after them.
constexpr bool Tiles(const FieldTable& table) noexcept {
    std::size_t at = 0;
    bool following = false;
    for (const WireField& field : table) {
        if (!SizeFitsKind(field) || field.name[0] == '\0') {
            return false;
        }
        const bool variable = field.kind == FieldKind::FlatText ||
                              field.kind == FieldKind::Record || field.kind == FieldKind::Records;
        if (variable != (field.offset == WireField::kFollows)) {
            return false;
        }
        if (variable) {
            following = true;
            continue;
        }
        if (following || field.offset != at) {
            return false;
        }
        at += field.size;
    }
    return at == table.fixedSize;
}

}  // namespace detail

}  // namespace Lumera
