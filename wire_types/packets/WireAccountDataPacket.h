#pragma once

// A variable-length packet of one account's figures: each a double tagged with its kind, at
// most one per kind. Wire form, little-endian and packed: account (int32), entry count N
// (int32), then N entries of kind (int32) and value (double) in ascending order of kind.

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "wire_types/support/Export.h"
#include "wire_types/support/FieldTables.h"
#include "wire_types/support/SharedEnums.h"
#include "wire_types/support/detail/Bytes.h"

namespace Lumera {

// Where the fields lie. The header's offsets are from the packet's start; an entry's are from
// the entry's start, entry i starting at kHeaderSize + i * kEntrySize. The encoder writes by
// these constants, and docs/wire-format.md shows the same ones. kHeaderFields and kEntryFields
// list the fields of each (see FieldTables.h).
struct WireAccountDataPacketLayout {
    static constexpr std::size_t kHeaderSize = 8;
    static constexpr std::size_t kAccount = 0;  // signed 32-bit
    static constexpr std::size_t kCount = 4;    // signed 32-bit: N
    static constexpr std::size_t kEntrySize = 12;
    static constexpr std::size_t kEntryKind = 0;   // enumAccountDataTypes, 32-bit
    static constexpr std::size_t kEntryValue = 4;  // IEEE 754 double, unaligned
    static_assert(kCount == kAccount + 4 && kHeaderSize == kCount + 4 &&
                  kEntryValue == kEntryKind + 4 && kEntrySize == kEntryValue + 8);
    static constexpr WireField kHeaderFieldList[] = {detail::Int32Field("Account", kAccount),
                                                     detail::Int32Field("NumEntries", kCount)};
    static constexpr FieldTable kHeaderFields =
        detail::Table("WireAccountDataPacket", kHeaderSize, kHeaderFieldList);
    static constexpr WireField kEntryFieldList[] = {
        detail::Int32Field("Kind", kEntryKind, "enumAccountDataTypes"),
        detail::Field("Value", kEntryValue, 8, FieldKind::Double)};
    static constexpr FieldTable kEntryFields =
        detail::Table("AccountInfo", kEntrySize, kEntryFieldList);
};
static_assert(detail::Tiles(WireAccountDataPacketLayout::kHeaderFields) &&
              detail::Tiles(WireAccountDataPacketLayout::kEntryFields));

class LMWIRE_API WireAccountDataPacket {
  public:
    WireAccountDataPacket();
    WireAccountDataPacket(long account);
    WireAccountDataPacket(unsigned char* bytes);
    WireAccountDataPacket(const WireAccountDataPacket& other);
    WireAccountDataPacket& operator=(const WireAccountDataPacket& other);
    ~WireAccountDataPacket();

    // False, and the stored value kept, when the kind is already present.
    bool AddInfo(enumAccountDataTypes kind, double value);
    // 0.0 when the kind is absent.
    double GetAccountInfo(enumAccountDataTypes kind) const;
    int NumEntries() const;
    long GetAccount() const noexcept;
    // Nothing when the kind is absent, which GetAccountInfo cannot tell from a stored 0.0.
    std::optional<double> FindAccountInfo(enumAccountDataTypes kind) const noexcept;
    // Every entry in ascending order of kind (as signed 32-bit integers): the order of Encode.
    std::vector<std::pair<enumAccountDataTypes, double>> GetEntries() const;

    // 8 + 12 * NumEntries() bytes from array new, released by the caller with delete[]. An
    // allocation failure throws std::bad_alloc.
    unsigned char* Encode() const;
    // Adds the received entries to those already held; a kind already present, or met twice,
    // keeps the value met first. The caller guarantees 8 + 12 * N readable bytes.
    void Decode(unsigned char* bytes);
    // Checked: the entry count must lie between 0 and what `size` holds (8 + 12 * N bytes).
    // Otherwise throws std::length_error (std::invalid_argument for null with a non-zero size)
    // and the packet is unchanged.
    void Decode(const unsigned char* bytes, std::size_t size);
    // The checked Decode as a factory: account and entries as the bytes carry them, with the
    // same refusals.
    [[nodiscard]] static WireAccountDataPacket FromBytes(const unsigned char* bytes,
                                                         std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static WireAccountDataPacket FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    std::int32_t account_ = 0;
    // Ordered by kind as signed 32-bit integers; its size is the count written to the wire.
    std::map<enumAccountDataTypes, double> entries_;
};

}  // namespace Lumera
