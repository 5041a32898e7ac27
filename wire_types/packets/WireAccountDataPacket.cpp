#include "wire_types/packets/WireAccountDataPacket.h"

#include <bit>
#include <cstddef>
#include <cstring>

namespace Lumera {

namespace {

static_assert(std::endian::native == std::endian::little,
              "the account data packet is written in host byte order, which must be little-endian");
static_assert(sizeof(enumAccountDataTypes) == 4 && sizeof(double) == 8);

constexpr std::size_t kHeaderSize = 8;
constexpr std::size_t kEntrySize = 12;

template <class T>
void Put(unsigned char* buffer, std::size_t offset, T value) {
    std::memcpy(buffer + offset, &value, sizeof value);
}

template <class T>
T Get(const unsigned char* bytes, std::size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
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

unsigned char* WireAccountDataPacket::Encode() const {
    auto* buffer = new unsigned char[kHeaderSize + kEntrySize * entries_.size()];
    Put(buffer, 0, account_);
    Put(buffer, 4, static_cast<std::int32_t>(entries_.size()));
    std::size_t offset = kHeaderSize;
    for (const auto& [kind, value] : entries_) {
        Put(buffer, offset, kind);
        Put(buffer, offset + 4, value);
        offset += kEntrySize;
    }
    return buffer;
}

void WireAccountDataPacket::Decode(unsigned char* bytes) {
    account_ = Get<std::int32_t>(bytes, 0);
    const auto count = Get<std::int32_t>(bytes, 4);
    for (std::int32_t i = 0; i < count; ++i) {
        const std::size_t offset = kHeaderSize + kEntrySize * static_cast<std::size_t>(i);
        entries_.try_emplace(Get<enumAccountDataTypes>(bytes, offset),
                             Get<double>(bytes, offset + 4));
    }
}

}  // namespace Lumera
