#include "wire_types/packets/ControlPackets.h"

#include <cstddef>

#include "wire_types/support/detail/BoundedText.h"
#include "wire_types/support/detail/FixedPacket.h"

namespace Lumera {

// The layout checks sit in constructors, where the private fields are reachable.

WirePriceProtocolPacket::WirePriceProtocolPacket() {
    static_assert(detail::FixedWirePacket<WirePriceProtocolPacket>);
    using L = WirePriceProtocolPacketLayout;
    static_assert(sizeof(WirePriceProtocolPacket) == L::kSize);
    static_assert(offsetof(WirePriceProtocolPacket, priceProtocol_) == L::kPriceProtocol);
}

WirePriceProtocolPacket::WirePriceProtocolPacket(enumPricingProtocol protocol)
    : priceProtocol_(protocol) {}

WirePriceProtocolPacket::WirePriceProtocolPacket(unsigned char* bytes) {
    Decode(bytes);
}

enumPricingProtocol WirePriceProtocolPacket::GetPriceProtocol() const {
    return priceProtocol_;
}

void WirePriceProtocolPacket::SetPriceProtocol(enumPricingProtocol protocol) {
    priceProtocol_ = protocol;
}

unsigned char* WirePriceProtocolPacket::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void WirePriceProtocolPacket::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void WirePriceProtocolPacket::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

WirePriceProtocolPacket WirePriceProtocolPacket::FromBytes(const unsigned char* bytes,
                                                           std::size_t size) {
    return detail::FixedPacketFromBytes<WirePriceProtocolPacket>(bytes, size,
                                                                 "WirePriceProtocolPacket");
}

WireHolePunchDelayPacket::WireHolePunchDelayPacket() {
    static_assert(detail::FixedWirePacket<WireHolePunchDelayPacket>);
    using L = WireHolePunchDelayPacketLayout;
    static_assert(sizeof(WireHolePunchDelayPacket) == L::kSize);
    static_assert(offsetof(WireHolePunchDelayPacket, delay_) == L::kDelay);
}

WireHolePunchDelayPacket::WireHolePunchDelayPacket(long delay)
    : delay_(static_cast<std::int32_t>(delay)) {}

WireHolePunchDelayPacket::WireHolePunchDelayPacket(unsigned char* bytes) {
    Decode(bytes);
}

long WireHolePunchDelayPacket::GetDelay() const {
    return delay_;
}

void WireHolePunchDelayPacket::SetDelay(long delay) {
    delay_ = static_cast<std::int32_t>(delay);
}

unsigned char* WireHolePunchDelayPacket::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void WireHolePunchDelayPacket::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void WireHolePunchDelayPacket::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

WireHolePunchDelayPacket WireHolePunchDelayPacket::FromBytes(const unsigned char* bytes,
                                                             std::size_t size) {
    return detail::FixedPacketFromBytes<WireHolePunchDelayPacket>(bytes, size,
                                                                  "WireHolePunchDelayPacket");
}

StartLogFileSend::StartLogFileSend() {
    static_assert(detail::FixedWirePacket<StartLogFileSend>);
    using L = StartLogFileSendLayout;
    static_assert(sizeof(StartLogFileSend) == L::kSize);
    static_assert(offsetof(StartLogFileSend, accountNumber_) == L::kAccountNumber);
    static_assert(offsetof(StartLogFileSend, fileSize_) == L::kFileSize);
    static_assert(offsetof(StartLogFileSend, userID_) == L::kUserID);
    static_assert(offsetof(StartLogFileSend, logFile_) == L::kLogFile);
}

StartLogFileSend::StartLogFileSend(const std::string& userID, int accountNumber, int fileSize,
                                   const std::string& logFile) {
    SetUserID(userID);
    SetLogFile(logFile);
    SetFileSize(fileSize);
    SetAccountNumber(accountNumber);
}

StartLogFileSend::StartLogFileSend(unsigned char* bytes) {
    Decode(bytes);
}

long StartLogFileSend::GetAccountNumber() const noexcept {
    return accountNumber_;
}

void StartLogFileSend::SetAccountNumber(long accountNumber) {
    accountNumber_ = static_cast<std::int32_t>(accountNumber);
}

long StartLogFileSend::GetFileSize() const noexcept {
    return fileSize_;
}

void StartLogFileSend::SetFileSize(long fileSize) {
    fileSize_ = static_cast<std::int32_t>(fileSize);
}

std::string StartLogFileSend::GetUserID() const {
    return detail::ReadBoundedText(userID_);
}

void StartLogFileSend::SetUserID(const std::string& userID) {
    detail::StoreBoundedText(userID_, userID, "UserID");
}

std::string StartLogFileSend::GetLogFile() const {
    return detail::ReadBoundedText(logFile_);
}

void StartLogFileSend::SetLogFile(const std::string& logFile) {
    detail::StoreBoundedText(logFile_, logFile, "LogFile");
}

unsigned char* StartLogFileSend::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void StartLogFileSend::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void StartLogFileSend::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

StartLogFileSend StartLogFileSend::FromBytes(const unsigned char* bytes, std::size_t size) {
    return detail::FixedPacketFromBytes<StartLogFileSend>(bytes, size, "StartLogFileSend");
}

CLMWirePriceSubscriptionPacket::CLMWirePriceSubscriptionPacket(int first, int second,
                                                               const std::string& text) {
    static_assert(detail::FixedWirePacket<CLMWirePriceSubscriptionPacket>);
    using L = CLMWirePriceSubscriptionPacketLayout;
    static_assert(sizeof(CLMWirePriceSubscriptionPacket) == L::kSize);
    static_assert(offsetof(CLMWirePriceSubscriptionPacket, first_) == L::kFirst);
    static_assert(offsetof(CLMWirePriceSubscriptionPacket, second_) == L::kSecond);
    static_assert(offsetof(CLMWirePriceSubscriptionPacket, text_) == L::kText);
    second_ = second;
    first_ = first;
    detail::StoreBoundedText(text_, text, "Text");
}

int CLMWirePriceSubscriptionPacket::GetFirst() const noexcept {
    return first_;
}

int CLMWirePriceSubscriptionPacket::GetSecond() const noexcept {
    return second_;
}

std::string CLMWirePriceSubscriptionPacket::GetText() const {
    return detail::ReadBoundedText(text_);
}

unsigned char* CLMWirePriceSubscriptionPacket::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void CLMWirePriceSubscriptionPacket::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void CLMWirePriceSubscriptionPacket::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

CLMWirePriceSubscriptionPacket CLMWirePriceSubscriptionPacket::FromBytes(const unsigned char* bytes,
                                                                         std::size_t size) {
    return detail::FixedPacketFromBytes<CLMWirePriceSubscriptionPacket>(
        bytes, size, "CLMWirePriceSubscriptionPacket");
}

}  // namespace Lumera
