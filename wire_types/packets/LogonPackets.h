#pragma once

// The logon handshake packets. Each object is exactly its wire form: the fields in order, with
// explicit pad bytes, little-endian 32-bit integers and fixed-capacity NUL-terminated texts.
// Encode returns a buffer from array new that the caller releases with delete[], or null when
// it cannot allocate. Decode(bytes) trusts its input to hold the packet's full size;
// Decode(bytes, size) is the form for bytes not trusted: it throws std::length_error for fewer
// bytes than the packet's size and std::invalid_argument for null with a non-zero size, leaving
// the packet unchanged. A text of the field's capacity or more characters leaves the field
// empty and throws std::invalid_argument.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"
// On Windows, for the member SetPort: see there.
#include "wire_types/support/Platform.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

// 8 bytes: error code, port.
class LMWIRE_API LogonResponsePacket {
  public:
    LogonResponsePacket();
    LogonResponsePacket(enumErrors errorCode);
    LogonResponsePacket(unsigned char* bytes);
    LogonResponsePacket(const LogonResponsePacket& other) = default;
    LogonResponsePacket& operator=(const LogonResponsePacket& other) = default;
    ~LogonResponsePacket() = default;

    enumErrors GetErrorCode() const;
    void SetErrorCode(enumErrors errorCode);
    long GetPort() const;
    void SetPort(long port);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);

  private:
    enumErrors errorCode_{};
    std::int32_t port_{};
};

// 260 bytes: packet type, gatekeeper session id (255), one pad byte. The type has no accessor;
// it is fixed by the value constructor or by Decode.
class LMWIRE_API UDPLogOnPacket {
  public:
    UDPLogOnPacket();
    UDPLogOnPacket(const std::string& gateKeeperSessionID, UDPPacketTypes type);
    UDPLogOnPacket(unsigned char* bytes);
    UDPLogOnPacket(const UDPLogOnPacket& other) = default;
    UDPLogOnPacket& operator=(const UDPLogOnPacket& other) = default;
    ~UDPLogOnPacket() = default;

    std::string GetGateKeeperSessionID() const;
    void SetGateKeeperSessionID(const std::string& gateKeeperSessionID);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);

  private:
    UDPPacketTypes packetType_{};
    char gateKeeperSessionID_[255]{};
    [[maybe_unused]] char pad_[1]{};
};

// 424 bytes: API name, API version, user id (50 each), gatekeeper session id (255), three pad
// bytes, price protocol, price level, session type, account number.
class LMWIRE_API TCPLogonReconnectPacket {
  public:
    TCPLogonReconnectPacket();
    TCPLogonReconnectPacket(const TCPLogonReconnectPacket& other) = default;
    TCPLogonReconnectPacket& operator=(const TCPLogonReconnectPacket& other) = default;
    ~TCPLogonReconnectPacket() = default;

    std::string GetApiName() const;
    void SetAPIName(const std::string& apiName);
    std::string GetApiVersion() const;
    void SetApiVersion(const std::string& apiVersion);
    std::string GetUserID() const;
    void SetUserID(const std::string& userID);
    std::string GetGateKeeperSessionID() const;
    void SetGateKeeperSessionID(const std::string& gateKeeperSessionID);
    enumPricingProtocol GetPriceProtocol() const;
    void SetPriceProtocol(enumPricingProtocol priceProtocol);
    enumPriceLevel GetPriceLevel() const;
    void SetPriceLevel(enumPriceLevel priceLevel);
    SessionType GetSessionType() const;
    void SetSessionType(SessionType sessionType);
    long GetAccountNumber() const;
    void SetAccountNumber(long accountNumber);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);

  private:
    char apiName_[50]{};
    char apiVersion_[50]{};
    char userID_[50]{};
    char gateKeeperSessionID_[255]{};
    [[maybe_unused]] char pad_[3]{};
    enumPricingProtocol priceProtocol_{};
    enumPriceLevel priceLevel_{};
    SessionType sessionType_{};
    std::int32_t accountNumber_{};
};

}  // namespace Lumera
