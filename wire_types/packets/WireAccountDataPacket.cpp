#include "wire_types/packets/WireAccountDataPacket.h"

#include <cstddef>
#include <stdexcept>
#include <string>

#include "wire_types/support/Bytes.h"
#include "wire_types/support/CheckedBytes.h"

namespace Lumera {

namespace {

static_assert(sizeof(enumAccountDataTypes) == 4 && sizeof(double) == 8);

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 12;

}  // namespace

WireAccountDataPacket::WireAccountDataPacket() = default;

WireAccountDataPacket::WireAccountDataPacket(long account)
    : account_(static_cast<std::int32_t>(account)) {}

WireAccountDataPacket::WireAccountDataPacket(unsigned char* bytes) {
    Decode(bytes);
}

WireAccountDataPacket::WireAccountDataPacket(const WireAccountDataPacket& other) = default;

WireAccountDataPacket& WireAccountDataPacket::operator=(const WireAccountDataPacket& other) =
    default;

WireAccountDataPacket::~WireAccountDataPacket() = default;

bool WireAccountDataPacket::AddInfo(enumAccountDataTypes kind, double value) {
    return entries_.try_emplace(kind, value).second;
}

double WireAccountDataPacket::GetAccountInfo(enumAccountDataTypes kind) const {
    const auto found = entries_.find(kind);
    return found == entries_.end() ? 0.0 : found->second;
}

int WireAccountDataPacket::NumEntries() const {
    return static_cast<int>(entries_.size());
}

unsigned char* WireAccountDataPacket::Encode() const {
    auto* buffer = new unsigned char[kHeaderSize + kEntrySize * entries_.size()];
    StoreLittleEndian(buffer, account_);
    StoreLittleEndian(buffer + 4, static_cast<std::int32_t>(entries_.size()));
    std::size_t offset = kHeaderSize;
    for (const auto& [kind, value] : entries_) {
        StoreLittleEndian(buffer + offset, kind);
        StoreLittleEndian(buffer + offset + 4, value);
        offset += kEntrySize;
    }
    return buffer;
}

void WireAccountDataPacket::Decode(unsigned char* bytes) {
    account_ = LoadLittleEndian<std::int32_t>(bytes);
    const auto count = LoadLittleEndian<std::int32_t>(bytes + 4);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t offset = kHeaderSize + kEntrySize * static_cast<std::size_t>(i);
        entries_.try_emplace(LoadLittleEndian<enumAccountDataTypes>(bytes + offset),
                             LoadLittleEndian<double>(bytes + offset + 4));
    }
}

void WireAccountDataPacket::Decode(const unsigned char* bytes, std::size_t size) {
    static constexpr const char* kWho = "WireAccountDataPacket";
    RequireBytes(kWho, bytes, size, kHeaderSize);
    const auto count = LoadLittleEndian<std::int32_t>(bytes + 4);
    if (count < 0) {
        throw std::length_error(std::string(kWho) + ": entry count " + std::to_string(count) +
                                " is negative, given " + std::to_string(size) + " bytes");
    }
    // In 64 bits: 12 times a 31-bit count overflows a 32-bit size_t.
    RequireBytes(kWho, bytes, size,
                 kHeaderSize + std::uint64_t{kEntrySize} * static_cast<std::uint64_t>(count));
    // Every entry now lies inside the buffer; the trusting decoder only reads.
    Decode(const_cast<unsigned char*>(bytes));
}

}  // namespace Lumera
