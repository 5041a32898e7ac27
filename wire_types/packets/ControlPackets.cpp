#include "wire_types/packets/ControlPackets.h"

#include <cstddef>

#include "wire_types/support/BoundedText.h"
#include "wire_types/support/FixedPacket.h"

namespace Lumera {

// The layout checks sit in constructors, where the private fields are reachable.

WirePriceProtocolPacket::WirePriceProtocolPacket() {
    static_assert(FixedWirePacket<WirePriceProtocolPacket>);
    static_assert(sizeof(WirePriceProtocolPacket) == 4);
    static_assert(offsetof(WirePriceProtocolPacket, priceProtocol_) == 0);
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
    return EncodeFixedPacket(*this, length);
}

void WirePriceProtocolPacket::Decode(unsigned char* bytes) {
    DecodeFixedPacket(*this, bytes);
}

void WirePriceProtocolPacket::Decode(const unsigned char* bytes, std::size_t size) {
    DecodeFixedPacket(*this, bytes, size, "WirePriceProtocolPacket");
}

WireHolePunchDelayPacket::WireHolePunchDelayPacket() {
    static_assert(FixedWirePacket<WireHolePunchDelayPacket>);
    static_assert(sizeof(WireHolePunchDelayPacket) == 4);
    static_assert(offsetof(WireHolePunchDelayPacket, delay_) == 0);
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
    return EncodeFixedPacket(*this, length);
}

void WireHolePunchDelayPacket::Decode(unsigned char* bytes) {
    DecodeFixedPacket(*this, bytes);
}

void WireHolePunchDelayPacket::Decode(const unsigned char* bytes, std::size_t size) {
    DecodeFixedPacket(*this, bytes, size, "WireHolePunchDelayPacket");
}

StartLogFileSend::StartLogFileSend() {
    static_assert(FixedWirePacket<StartLogFileSend>);
    static_assert(sizeof(StartLogFileSend) == 288);
    static_assert(offsetof(StartLogFileSend, accountNumber_) == 0);
    static_assert(offsetof(StartLogFileSend, fileSize_) == 4);
    static_assert(offsetof(StartLogFileSend, userID_) == 8);
    static_assert(offsetof(StartLogFileSend, logFile_) == 33);
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

void StartLogFileSend::SetAccountNumber(long accountNumber) {
    accountNumber_ = static_cast<std::int32_t>(accountNumber);
}

void StartLogFileSend::SetFileSize(long fileSize) {
    fileSize_ = static_cast<std::int32_t>(fileSize);
}

void StartLogFileSend::SetUserID(const std::string& userID) {
    StoreBoundedText(userID_, userID, "UserID");
}

void StartLogFileSend::SetLogFile(const std::string& logFile) {
    StoreBoundedText(logFile_, logFile, "LogFile");
}

unsigned char* StartLogFileSend::Encode(long* length) const {
    return EncodeFixedPacket(*this, length);
}

void StartLogFileSend::Decode(unsigned char* bytes) {
    DecodeFixedPacket(*this, bytes);
}

void StartLogFileSend::Decode(const unsigned char* bytes, std::size_t size) {
    DecodeFixedPacket(*this, bytes, size, "StartLogFileSend");
}

CLMWirePriceSubscriptionPacket::CLMWirePriceSubscriptionPacket(int first, int second,
                                                               const std::string& text) {
    static_assert(FixedWirePacket<CLMWirePriceSubscriptionPacket>);
    static_assert(sizeof(CLMWirePriceSubscriptionPacket) == 108);
    static_assert(offsetof(CLMWirePriceSubscriptionPacket, first_) == 0);
    static_assert(offsetof(CLMWirePriceSubscriptionPacket, second_) == 4);
    static_assert(offsetof(CLMWirePriceSubscriptionPacket, text_) == 8);
    second_ = second;
    first_ = first;
    StoreBoundedText(text_, text, "Text");
}

unsigned char* CLMWirePriceSubscriptionPacket::Encode(long* length) const {
    return EncodeFixedPacket(*this, length);
}

void CLMWirePriceSubscriptionPacket::Decode(unsigned char* bytes) {
    DecodeFixedPacket(*this, bytes);
}

void CLMWirePriceSubscriptionPacket::Decode(const unsigned char* bytes, std::size_t size) {
    DecodeFixedPacket(*this, bytes, size, "CLMWirePriceSubscriptionPacket");
}

}  // namespace Lumera
