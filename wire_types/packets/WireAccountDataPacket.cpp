#include "wire_types/packets/WireAccountDataPacket.h"

#include <cstddef>
#include <stdexcept>
#include <string>

#include "wire_types/support/detail/Bytes.h"
#include "wire_types/support/detail/CheckedBytes.h"

namespace Lumera {

namespace {

static_assert(sizeof(enumAccountDataTypes) == 4 && sizeof(double) == 8);

using L = WireAccountDataPacketLayout;

constexpr std::size_t EntryAt(std::size_t index) {
    return L::kHeaderSize + L::kEntrySize * index;
}

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

long WireAccountDataPacket::GetAccount() const noexcept {
    return account_;
}

std::optional<double> WireAccountDataPacket::FindAccountInfo(
    enumAccountDataTypes kind) const noexcept {
    const auto found = entries_.find(kind);
    if (found == entries_.end()) {
        return std::nullopt;
    }
    return found->second;
}

std::vector<std::pair<enumAccountDataTypes, double>> WireAccountDataPacket::GetEntries() const {
    return {entries_.begin(), entries_.end()};
}

unsigned char* WireAccountDataPacket::Encode() const {
    auto* buffer = new unsigned char[EntryAt(entries_.size())];
    detail::StoreLittleEndian(buffer + L::kAccount, account_);
    detail::StoreLittleEndian(buffer + L::kCount, static_cast<std::int32_t>(entries_.size()));
    unsigned char* entry = buffer + L::kHeaderSize;
    for (const auto& [kind, value] : entries_) {
        detail::StoreLittleEndian(entry + L::kEntryKind, kind);
        detail::StoreLittleEndian(entry + L::kEntryValue, value);
        entry += L::kEntrySize;
    }
    return buffer;
}

void WireAccountDataPacket::Decode(unsigned char* bytes) {
    account_ = detail::LoadLittleEndian<std::int32_t>(bytes + L::kAccount);
    const auto count = detail::LoadLittleEndian<std::int32_t>(bytes + L::kCount);
    for (std::int32_t i = 0; i < count; ++i) {
        const unsigned char* entry = bytes + EntryAt(static_cast<std::size_t>(i));
        entries_.try_emplace(detail::LoadLittleEndian<enumAccountDataTypes>(entry + L::kEntryKind),
                             detail::LoadLittleEndian<double>(entry + L::kEntryValue));
    }
}

void WireAccountDataPacket::Decode(const unsigned char* bytes, std::size_t size) {
    static constexpr const char* kWho = "WireAccountDataPacket";
    detail::RequireBytes(kWho, bytes, size, L::kHeaderSize);
    const auto count = detail::LoadLittleEndian<std::int32_t>(bytes + L::kCount);
    if (count < 0) {
        throw std::length_error(std::string(kWho) + ": entry count " + std::to_string(count) +
                                " is negative, given " + std::to_string(size) + " bytes");
    }
    // In 64 bits: 12 times a 31-bit count overflows a 32-bit size_t.
    detail::RequireBytes(
        kWho, bytes, size,
        L::kHeaderSize + std::uint64_t{L::kEntrySize} * static_cast<std::uint64_t>(count));
    // Every entry now lies inside the buffer; the trusting decoder only reads.
    Decode(const_cast<unsigned char*>(bytes));
}

WireAccountDataPacket WireAccountDataPacket::FromBytes(const unsigned char* bytes,
                                                       std::size_t size) {
    WireAccountDataPacket packet;
    packet.Decode(bytes, size);
    return packet;
}

}  // namespace Lumera
