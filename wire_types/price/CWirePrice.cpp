#include "wire_types/price/CWirePrice.h"

#include <cstring>

#include "wire_types/price/detail/ATPrice.h"
#include "wire_types/price/detail/PriceMembers.h"
#include "wire_types/support/VeyException.h"
#include "wire_types/support/detail/CheckedBytes.h"

namespace Lumera {

namespace {

unsigned char* NewZeroRecord() {
    return new unsigned char[CWirePrice::kRecordSize]();
}

// The record's own code, byte 1 of its bytes.
enumPriceFormatCode CodeOf(const CWirePrice& price) noexcept {
    return static_cast<enumPriceFormatCode>(price.View().PriceFormatCode());
}

}  // namespace

CWirePrice::CWirePrice() : record_(NewZeroRecord()), converter_(nullptr) {
    try {
        converter_ = new ATPrice();
    } catch (...) {
        delete[] record_;
        throw;
    }
}

CWirePrice::CWirePrice(unsigned char* bytes) : record_(NewZeroRecord()), converter_(nullptr) {
    try {
        Decode(bytes);
        converter_ = new ATPrice(CodeOf(*this));
    } catch (...) {
        delete[] record_;
        throw;
    }
}

CWirePrice::CWirePrice(const CWirePrice& other) : record_(NewZeroRecord()), converter_(nullptr) {
    std::memcpy(record_, other.record_, kRecordSize);
    try {
        converter_ = new ATPrice(other.converter_->GetPriceFormatCode());
    } catch (...) {
        delete[] record_;
        throw;
    }
}

CWirePrice& CWirePrice::operator=(const CWirePrice& other) {
    if (this != &other) {
        auto* converter = new ATPrice(other.converter_->GetPriceFormatCode());
        std::memcpy(record_, other.record_, kRecordSize);
        delete converter_;
        converter_ = converter;
    }
    return *this;
}

CWirePrice::~CWirePrice() {
    delete[] record_;
    delete converter_;
}

void CWirePrice::Decode(unsigned char* bytes) {
    if (bytes == nullptr) {
        std::memset(record_, 0, kRecordSize);
        throw new VeyException("CWirePrice::Decode - error memcopy");
    }
    std::memcpy(record_, bytes, kRecordSize);
}

void CWirePrice::Decode(const unsigned char* bytes, std::size_t size) {
    detail::RequireBytes("CWirePrice", bytes, size, kRecordSize);
    // The trusting decoder reads the 86 bytes now known to be there, and writes nothing to them.
    Decode(const_cast<unsigned char*>(bytes));
}

unsigned char* CWirePrice::Encode() {
    auto* buffer = new unsigned char[kRecordSize]();
    if (record_ == nullptr) {
        delete[] buffer;
        throw new VeyException("CWirePrice::Encode - error memcopy");
    }
    std::memcpy(buffer, record_, kRecordSize);
    return buffer;
}

std::string CWirePrice::PriceFromTicks(long ticks) {
    return detail::PriceMembers::PriceFromTicks(*converter_, CodeOf(*this), ticks);
}

long CWirePrice::GetPriceFormatCodeDivisor() {
    return detail::PriceMembers::Divisor(*converter_, CodeOf(*this));
}

double CWirePrice::TicksToDecimal(long ticks) {
    return detail::PriceMembers::TicksToDecimal(*converter_, CodeOf(*this), ticks);
}

long CWirePrice::DecimalToTicks(double value) {
    return detail::PriceMembers::DecimalToTicks(*converter_, converter_->GetPriceFormatCode(),
                                                value);
}

long CWirePrice::DisplayToTicks(const std::string& text) {
    return detail::PriceMembers::DisplayToTicks(*converter_, converter_->GetPriceFormatCode(),
                                                text);
}

}  // namespace Lumera
