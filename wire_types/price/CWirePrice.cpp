#include "wire_types/price/CWirePrice.h"

#include <cstdint>
#include <cstring>

#include "wire_types/price/ATPrice.h"
#include "wire_types/price/PriceMembers.h"
#include "wire_types/support/VeyException.h"

namespace Lumera {

namespace {

constexpr std::size_t kPriceType = 0;
constexpr std::size_t kFormatCode = 1;
constexpr std::size_t kLastSize = 2;
constexpr std::size_t kLumeraID = 4;
constexpr std::size_t kLastPrice = 6;
constexpr std::size_t kTotalVolume = 10;
constexpr std::size_t kTimeStamp = 14;
constexpr std::size_t kHigh = 18;
constexpr std::size_t kLow = 22;
constexpr std::size_t kBidOffsets = 26;
constexpr std::size_t kBidSizes = 36;
constexpr std::size_t kAskOffsets = 56;
constexpr std::size_t kAskSizes = 66;
constexpr short kLevels = 10;

// The fields lie back to back with no padding, and the ask sizes end the record.
static_assert(kLastSize == kFormatCode + 1 && kLumeraID == kLastSize + 2);
static_assert(kLastPrice == kLumeraID + 2 && kTotalVolume == kLastPrice + 4);
static_assert(kTimeStamp == kTotalVolume + 4 && kHigh == kTimeStamp + 4 && kLow == kHigh + 4);
static_assert(kBidOffsets == kLow + 4 && kBidSizes == kBidOffsets + kLevels);
static_assert(kAskOffsets == kBidSizes + 2 * kLevels && kAskSizes == kAskOffsets + kLevels);
static_assert(kAskSizes + 2 * kLevels == CWirePrice::kRecordSize);

std::uint16_t ReadU16(const unsigned char* bytes) {
    return static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8));
}

std::int32_t ReadI32(const unsigned char* bytes) {
    const std::uint32_t value =
        static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
        (static_cast<std::uint32_t>(bytes[2]) << 16) | (static_cast<std::uint32_t>(bytes[3]) << 24);
    return static_cast<std::int32_t>(value);
}

unsigned char* NewZeroRecord() {
    return new unsigned char[CWirePrice::kRecordSize]();
}

}  // namespace

CWirePrice::CWirePrice() : m_record(NewZeroRecord()), m_converter(nullptr) {
    try {
        m_converter = new ATPrice();
    } catch (...) {
        delete[] m_record;
        throw;
    }
}

CWirePrice::CWirePrice(unsigned char* bytes) : m_record(NewZeroRecord()), m_converter(nullptr) {
    try {
        Decode(bytes);
        m_converter = new ATPrice(OwnCode());
    } catch (...) {
        delete[] m_record;
        throw;
    }
}

CWirePrice::CWirePrice(const CWirePrice& other) : m_record(NewZeroRecord()), m_converter(nullptr) {
    std::memcpy(m_record, other.m_record, kRecordSize);
    try {
        m_converter = new ATPrice(other.m_converter->GetPriceFormatCode());
    } catch (...) {
        delete[] m_record;
        throw;
    }
}

CWirePrice& CWirePrice::operator=(const CWirePrice& other) {
    if (this != &other) {
        auto* converter = new ATPrice(other.m_converter->GetPriceFormatCode());
        std::memcpy(m_record, other.m_record, kRecordSize);
        delete m_converter;
        m_converter = converter;
    }
    return *this;
}

CWirePrice::~CWirePrice() {
    delete[] m_record;
    delete m_converter;
}

void CWirePrice::Decode(unsigned char* bytes) {
    if (bytes == nullptr) {
        std::memset(m_record, 0, kRecordSize);
        throw new VeyException("CWirePrice::Decode - error memcopy");
    }
    std::memcpy(m_record, bytes, kRecordSize);
}

unsigned char* CWirePrice::Encode() {
    auto* buffer = new unsigned char[kRecordSize]();
    if (m_record == nullptr) {
        delete[] buffer;
        throw new VeyException("CWirePrice::Encode - error memcopy");
    }
    std::memcpy(buffer, m_record, kRecordSize);
    return buffer;
}

long CWirePrice::GetLumeraID() {
    return ReadU16(m_record + kLumeraID);
}

long CWirePrice::GetPriceFormatCode() {
    return m_record[kFormatCode];
}

enumPriceTypes CWirePrice::GetPriceType() {
    return static_cast<enumPriceTypes>(m_record[kPriceType]);
}

unsigned short CWirePrice::GetLastSize() {
    return ReadU16(m_record + kLastSize);
}

long CWirePrice::GetLastPrice() {
    return ReadI32(m_record + kLastPrice);
}

long CWirePrice::GetHigh() {
    return ReadI32(m_record + kHigh);
}

long CWirePrice::GetLow() {
    return ReadI32(m_record + kLow);
}

long CWirePrice::GetTotalVolume() {
    return ReadI32(m_record + kTotalVolume);
}

long CWirePrice::GetTimeStamp() {
    return ReadI32(m_record + kTimeStamp);
}

void CWirePrice::GetBid(short level, long* price, long* size) {
    GetDepth(kBidOffsets, kBidSizes, -1, level, price, size);
}

void CWirePrice::GetAsk(short level, long* price, long* size) {
    GetDepth(kAskOffsets, kAskSizes, 1, level, price, size);
}

void CWirePrice::GetDepth(std::size_t offsetsAt, std::size_t sizesAt, int direction, short level,
                          long* price, long* size) const {
    if (level < 0 || level >= kLevels) {
        level = 0;
    }
    const auto index = static_cast<std::size_t>(level);
    const auto offset = static_cast<std::int8_t>(m_record[offsetsAt + index]);
    // The depth price wraps in 32 bits as the last price does.
    const std::uint32_t depth = static_cast<std::uint32_t>(ReadI32(m_record + kLastPrice)) +
                                static_cast<std::uint32_t>(direction * offset);
    *price = static_cast<std::int32_t>(depth);
    *size = ReadU16(m_record + sizesAt + 2 * index);
}

enumPriceFormatCode CWirePrice::OwnCode() const {
    return static_cast<enumPriceFormatCode>(m_record[kFormatCode]);
}

std::string CWirePrice::PriceFromTicks(long ticks) {
    return PriceMembers::PriceFromTicks(*m_converter, OwnCode(), ticks);
}

long CWirePrice::GetPriceFormatCodeDivisor() {
    return PriceMembers::Divisor(*m_converter, OwnCode());
}

double CWirePrice::TicksToDecimal(long ticks) {
    return PriceMembers::TicksToDecimal(*m_converter, OwnCode(), ticks);
}

long CWirePrice::DecimalToTicks(double value) {
    return PriceMembers::DecimalToTicks(*m_converter, m_converter->GetPriceFormatCode(), value);
}

long CWirePrice::DisplayToTicks(const std::string& text) {
    return PriceMembers::DisplayToTicks(*m_converter, m_converter->GetPriceFormatCode(), text);
}

}  // namespace Lumera

// The checked decoder stands apart from the rest of the record, with its own include: it only
// guards the trusting decoder, which reads the 86 bytes and nothing else.
#include "wire_types/support/CheckedBytes.h"

namespace Lumera {

void CWirePrice::Decode(const unsigned char* bytes, std::size_t size) {
    RequireBytes("CWirePrice", bytes, size, kRecordSize);
    Decode(const_cast<unsigned char*>(bytes));
}

}  // namespace Lumera
