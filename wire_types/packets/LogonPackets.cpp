#include "wire_types/packets/LogonPackets.h"

#include <cstddef>

#include "wire_types/support/detail/BoundedText.h"
#include "wire_types/support/detail/FixedPacket.h"

namespace Lumera {

// The layout checks sit in the default constructors, where the private fields are reachable.

LogonResponsePacket::LogonResponsePacket() {
    static_assert(detail::FixedWirePacket<LogonResponsePacket>);
    using L = LogonResponsePacketLayout;
    static_assert(sizeof(LogonResponsePacket) == L::kSize);
    static_assert(offsetof(LogonResponsePacket, errorCode_) == L::kErrorCode);
    static_assert(offsetof(LogonResponsePacket, port_) == L::kPort);
}

LogonResponsePacket::LogonResponsePacket(enumErrors errorCode) : errorCode_(errorCode) {}

LogonResponsePacket::LogonResponsePacket(unsigned char* bytes) {
    Decode(bytes);
}

enumErrors LogonResponsePacket::GetErrorCode() const {
    return errorCode_;
}

void LogonResponsePacket::SetErrorCode(enumErrors errorCode) {
    errorCode_ = errorCode;
}

long LogonResponsePacket::GetPort() const {
    return port_;
}

void LogonResponsePacket::SetPort(long port) {
    port_ = static_cast<std::int32_t>(port);
}

unsigned char* LogonResponsePacket::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void LogonResponsePacket::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void LogonResponsePacket::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

LogonResponsePacket LogonResponsePacket::FromBytes(const unsigned char* bytes, std::size_t size) {
    return detail::FixedPacketFromBytes<LogonResponsePacket>(bytes, size, "LogonResponsePacket");
}

UDPLogOnPacket::UDPLogOnPacket() {
    static_assert(detail::FixedWirePacket<UDPLogOnPacket>);
    using L = UDPLogOnPacketLayout;
    static_assert(sizeof(UDPLogOnPacket) == L::kSize);
    static_assert(offsetof(UDPLogOnPacket, packetType_) == L::kPacketType);
    static_assert(offsetof(UDPLogOnPacket, gateKeeperSessionID_) == L::kGateKeeperSessionID);
    static_assert(offsetof(UDPLogOnPacket, pad_) == L::kPad);
}

UDPLogOnPacket::UDPLogOnPacket(const std::string& gateKeeperSessionID, UDPPacketTypes type) {
    SetGateKeeperSessionID(gateKeeperSessionID);
    packetType_ = type;
}

UDPLogOnPacket::UDPLogOnPacket(unsigned char* bytes) {
    Decode(bytes);
}

UDPPacketTypes UDPLogOnPacket::GetPacketType() const noexcept {
    return packetType_;
}

std::string UDPLogOnPacket::GetGateKeeperSessionID() const {
    return detail::ReadBoundedText(gateKeeperSessionID_);
}

void UDPLogOnPacket::SetGateKeeperSessionID(const std::string& gateKeeperSessionID) {
    detail::StoreBoundedText(gateKeeperSessionID_, gateKeeperSessionID, "GateKeeperSessionID");
}

unsigned char* UDPLogOnPacket::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void UDPLogOnPacket::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void UDPLogOnPacket::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

UDPLogOnPacket UDPLogOnPacket::FromBytes(const unsigned char* bytes, std::size_t size) {
    return detail::FixedPacketFromBytes<UDPLogOnPacket>(bytes, size, "UDPLogOnPacket");
}

TCPLogonReconnectPacket::TCPLogonReconnectPacket() {
    static_assert(detail::FixedWirePacket<TCPLogonReconnectPacket>);
    using L = TCPLogonReconnectPacketLayout;
    static_assert(sizeof(TCPLogonReconnectPacket) == L::kSize);
    static_assert(offsetof(TCPLogonReconnectPacket, apiName_) == L::kApiName);
    static_assert(offsetof(TCPLogonReconnectPacket, apiVersion_) == L::kApiVersion);
    static_assert(offsetof(TCPLogonReconnectPacket, userID_) == L::kUserID);
    static_assert(offsetof(TCPLogonReconnectPacket, gateKeeperSessionID_) ==
                  L::kGateKeeperSessionID);
    static_assert(offsetof(TCPLogonReconnectPacket, pad_) == L::kPad);
    static_assert(offsetof(TCPLogonReconnectPacket, priceProtocol_) == L::kPriceProtocol);
    static_assert(offsetof(TCPLogonReconnectPacket, priceLevel_) == L::kPriceLevel);
    static_assert(offsetof(TCPLogonReconnectPacket, sessionType_) == L::kSessionType);
    static_assert(offsetof(TCPLogonReconnectPacket, accountNumber_) == L::kAccountNumber);
}

std::string TCPLogonReconnectPacket::GetApiName() const {
    return detail::ReadBoundedText(apiName_);
}

void TCPLogonReconnectPacket::SetAPIName(const std::string& apiName) {
    detail::StoreBoundedText(apiName_, apiName, "ApiName");
}

std::string TCPLogonReconnectPacket::GetApiVersion() const {
    return detail::ReadBoundedText(apiVersion_);
}

void TCPLogonReconnectPacket::SetApiVersion(const std::string& apiVersion) {
    detail::StoreBoundedText(apiVersion_, apiVersion, "ApiVersion");
}

std::string TCPLogonReconnectPacket::GetUserID() const {
    return detail::ReadBoundedText(userID_);
}

void TCPLogonReconnectPacket::SetUserID(const std::string& userID) {
    detail::StoreBoundedText(userID_, userID, "UserID");
}

std::string TCPLogonReconnectPacket::GetGateKeeperSessionID() const {
    return detail::ReadBoundedText(gateKeeperSessionID_);
}

void TCPLogonReconnectPacket::SetGateKeeperSessionID(const std::string& gateKeeperSessionID) {
    detail::StoreBoundedText(gateKeeperSessionID_, gateKeeperSessionID, "GateKeeperSessionID");
}

enumPricingProtocol TCPLogonReconnectPacket::GetPriceProtocol() const {
    return priceProtocol_;
}

void TCPLogonReconnectPacket::SetPriceProtocol(enumPricingProtocol priceProtocol) {
    priceProtocol_ = priceProtocol;
}

enumPriceLevel TCPLogonReconnectPacket::GetPriceLevel() const {
    return priceLevel_;
}

void TCPLogonReconnectPacket::SetPriceLevel(enumPriceLevel priceLevel) {
    priceLevel_ = priceLevel;
}

SessionType TCPLogonReconnectPacket::GetSessionType() const {
    return sessionType_;
}

void TCPLogonReconnectPacket::SetSessionType(SessionType sessionType) {
    sessionType_ = sessionType;
}

long TCPLogonReconnectPacket::GetAccountNumber() const {
    return accountNumber_;
}

void TCPLogonReconnectPacket::SetAccountNumber(long accountNumber) {
    accountNumber_ = static_cast<std::int32_t>(accountNumber);
}

unsigned char* TCPLogonReconnectPacket::Encode(long* length) const {
    return detail::EncodeFixedPacket(*this, length);
}

void TCPLogonReconnectPacket::Decode(unsigned char* bytes) {
    detail::DecodeFixedPacket(*this, bytes);
}

void TCPLogonReconnectPacket::Decode(const unsigned char* bytes, std::size_t size) {
    *this = FromBytes(bytes, size);
}

TCPLogonReconnectPacket TCPLogonReconnectPacket::FromBytes(const unsigned char* bytes,
                                                           std::size_t size) {
    return detail::FixedPacketFromBytes<TCPLogonReconnectPacket>(bytes, size,
                                                                 "TCPLogonReconnectPacket");
}

}  // namespace Lumera
