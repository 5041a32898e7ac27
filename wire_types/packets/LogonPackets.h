#pragma once

// The logon handshake packets. Each object is exactly its wire form: the fields in order, with
// explicit pad bytes, little-endian 32-bit integers and fixed-capacity NUL-terminated texts.
// Encode returns a buffer from array new that the caller releases with delete[], or null when
// it cannot allocate. Decode(bytes) trusts its input to hold the packet's full size;
// Decode(bytes, size) is the form for bytes not trusted: it throws std::length_error for fewer
// bytes than the packet's size and std::invalid_argument for null with a non-zero size, leaving
// the packet unchanged, and FromBytes(bytes, size) is the same check as a factory (from unsigned
// char, char or std::byte). A text of the field's capacity or more characters leaves the field
// empty and throws std::invalid_argument.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"
#include "wire_types/support/FieldTables.h"
// On Windows, for the member SetPort: see there.
#include "wire_types/support/Platform.h"
#include "wire_types/support/SharedEnums.h"
#include "wire_types/support/detail/Bytes.h"

namespace Lumera {

// Where the fields lie: byte offsets from the packet's start (32-bit fields little-endian) and
// the capacity of each text field, which holds at most capacity - 1 characters and a NUL. Fields
// lie back to back, with pad bytes up to a multiple of 4 where a text ends off one. The classes
// are laid out by these constants and check them at compile time; docs/wire-format.md shows the
// same ones. Each layout's kFields lists its fields (see FieldTables.h).
struct LogonResponsePacketLayout {
    static constexpr std::size_t kSize = 8;
    static constexpr std::size_t kErrorCode = 0;  // enumErrors, 32-bit
    static constexpr std::size_t kPort = 4;       // signed 32-bit
    static_assert(kPort == kErrorCode + 4 && kSize == kPort + 4);
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("ErrorCode", kErrorCode, "enumErrors"),
        detail::Int32Field("Port", kPort)};
    static constexpr FieldTable kFields = detail::Table("LogonResponsePacket", kSize, kFieldList);
};
static_assert(detail::Tiles(LogonResponsePacketLayout::kFields));

struct UDPLogOnPacketLayout {
    static constexpr std::size_t kSize = 260;
    static constexpr std::size_t kPacketType = 0;  // UDPPacketTypes, 32-bit
    static constexpr std::size_t kGateKeeperSessionID = 4;
    static constexpr std::size_t kGateKeeperSessionIDCapacity = 255;
    static constexpr std::size_t kPad = 259;  // up to the size, a multiple of 4
    static_assert(kGateKeeperSessionID == kPacketType + 4 &&
                  kPad == kGateKeeperSessionID + kGateKeeperSessionIDCapacity && kSize % 4 == 0 &&
                  kSize - kPad < 4);
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("PacketType", kPacketType, "UDPPacketTypes"),
        detail::TextField("GateKeeperSessionID", kGateKeeperSessionID,
                          kGateKeeperSessionIDCapacity),
        detail::Field("pad", kPad, kSize - kPad, FieldKind::Reserved)};
    static constexpr FieldTable kFields = detail::Table("UDPLogOnPacket", kSize, kFieldList);
};
static_assert(detail::Tiles(UDPLogOnPacketLayout::kFields));

struct TCPLogonReconnectPacketLayout {
    static constexpr std::size_t kSize = 424;
    static constexpr std::size_t kApiName = 0;
    static constexpr std::size_t kApiNameCapacity = 50;
    static constexpr std::size_t kApiVersion = 50;
    static constexpr std::size_t kApiVersionCapacity = 50;
    static constexpr std::size_t kUserID = 100;
    static constexpr std::size_t kUserIDCapacity = 50;
    static constexpr std::size_t kGateKeeperSessionID = 150;
    static constexpr std::size_t kGateKeeperSessionIDCapacity = 255;
    static constexpr std::size_t kPad = 405;            // up to the next multiple of 4
    static constexpr std::size_t kPriceProtocol = 408;  // enumPricingProtocol, 32-bit
    static constexpr std::size_t kPriceLevel = 412;     // enumPriceLevel, 32-bit
    static constexpr std::size_t kSessionType = 416;    // SessionType, 32-bit
    static constexpr std::size_t kAccountNumber = 420;  // signed 32-bit
    static_assert(kApiVersion == kApiName + kApiNameCapacity &&
                  kUserID == kApiVersion + kApiVersionCapacity &&
                  kGateKeeperSessionID == kUserID + kUserIDCapacity &&
                  kPad == kGateKeeperSessionID + kGateKeeperSessionIDCapacity &&
                  kPriceProtocol % 4 == 0 && kPriceProtocol - kPad < 4 &&
                  kPriceLevel == kPriceProtocol + 4 && kSessionType == kPriceLevel + 4 &&
                  kAccountNumber == kSessionType + 4 && kSize == kAccountNumber + 4);
    static constexpr WireField kFieldList[] = {
        detail::TextField("ApiName", kApiName, kApiNameCapacity),
        detail::TextField("ApiVersion", kApiVersion, kApiVersionCapacity),
        detail::TextField("UserID", kUserID, kUserIDCapacity),
        detail::TextField("GateKeeperSessionID", kGateKeeperSessionID,
                          kGateKeeperSessionIDCapacity),
        detail::Field("pad", kPad, kPriceProtocol - kPad, FieldKind::Reserved),
        detail::Int32Field("PriceProtocol", kPriceProtocol, "enumPricingProtocol"),
        detail::Int32Field("PriceLevel", kPriceLevel, "enumPriceLevel"),
        detail::Int32Field("SessionType", kSessionType, "SessionType"),
        detail::Int32Field("AccountNumber", kAccountNumber)};
    static constexpr FieldTable kFields =
        detail::Table("TCPLogonReconnectPacket", kSize, kFieldList);
};
static_assert(detail::Tiles(TCPLogonReconnectPacketLayout::kFields));

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
    [[nodiscard]] static LogonResponsePacket FromBytes(const unsigned char* bytes,
                                                       std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static LogonResponsePacket FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    enumErrors errorCode_{};
    std::int32_t port_{};
};

// 260 bytes: packet type, gatekeeper session id (255), one pad byte. The type has a getter only:
// it is fixed by the value constructor or by Decode.
class LMWIRE_API UDPLogOnPacket {
  public:
    UDPLogOnPacket();
    UDPLogOnPacket(const std::string& gateKeeperSessionID, UDPPacketTypes type);
    UDPLogOnPacket(unsigned char* bytes);
    UDPLogOnPacket(const UDPLogOnPacket& other) = default;
    UDPLogOnPacket& operator=(const UDPLogOnPacket& other) = default;
    ~UDPLogOnPacket() = default;

    UDPPacketTypes GetPacketType() const noexcept;
    std::string GetGateKeeperSessionID() const;
    void SetGateKeeperSessionID(const std::string& gateKeeperSessionID);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);
    [[nodiscard]] static UDPLogOnPacket FromBytes(const unsigned char* bytes, std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static UDPLogOnPacket FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    UDPPacketTypes packetType_{};
    char gateKeeperSessionID_[UDPLogOnPacketLayout::kGateKeeperSessionIDCapacity]{};
    [[maybe_unused]] char pad_[UDPLogOnPacketLayout::kSize - UDPLogOnPacketLayout::kPad]{};
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
    [[nodiscard]] static TCPLogonReconnectPacket FromBytes(const unsigned char* bytes,
                                                           std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static TCPLogonReconnectPacket FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    using Layout = TCPLogonReconnectPacketLayout;
    char apiName_[Layout::kApiNameCapacity]{};
    char apiVersion_[Layout::kApiVersionCapacity]{};
    char userID_[Layout::kUserIDCapacity]{};
    char gateKeeperSessionID_[Layout::kGateKeeperSessionIDCapacity]{};
    [[maybe_unused]] char pad_[Layout::kPriceProtocol - Layout::kPad]{};
    enumPricingProtocol priceProtocol_{};
    enumPriceLevel priceLevel_{};
    SessionType sessionType_{};
    std::int32_t accountNumber_{};
};

}  // namespace Lumera
