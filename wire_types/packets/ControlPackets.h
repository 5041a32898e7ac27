#pragma once

// Packets that steer a running connection. Like the logon packets, each object is exactly its
// wire form; Encode returns a buffer from array new (null when it cannot allocate) that the
// caller releases with delete[], Decode(bytes) trusts its input, and an over-long text leaves
// its field empty and throws std::invalid_argument. Decode(bytes, size) is the form for bytes
// not trusted: it throws std::length_error for fewer bytes than the packet's size and
// std::invalid_argument for null with a non-zero size, leaving the packet unchanged;
// FromBytes(bytes, size) is the same check as a factory (from unsigned char, char or std::byte).

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"
#include "wire_types/support/FieldTables.h"
#include "wire_types/support/SharedEnums.h"
#include "wire_types/support/detail/Bytes.h"

namespace Lumera {

// Where the fields lie: byte offsets from the packet's start (32-bit fields little-endian) and
// the capacity of each text field, which holds at most capacity - 1 characters and a NUL. Fields
// lie back to back; the texts here end on multiples of 4, so there are no pad bytes. The classes
// are laid out by these constants and check them at compile time; docs/wire-format.md shows the
// same ones. Each layout's kFields lists its fields (see FieldTables.h).
struct WirePriceProtocolPacketLayout {
    static constexpr std::size_t kSize = 4;
    static constexpr std::size_t kPriceProtocol = 0;  // enumPricingProtocol, 32-bit
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("PriceProtocol", kPriceProtocol, "enumPricingProtocol")};
    static constexpr FieldTable kFields =
        detail::Table("WirePriceProtocolPacket", kSize, kFieldList);
};
static_assert(detail::Tiles(WirePriceProtocolPacketLayout::kFields));

struct WireHolePunchDelayPacketLayout {
    static constexpr std::size_t kSize = 4;
    static constexpr std::size_t kDelay = 0;  // signed 32-bit
    static constexpr WireField kFieldList[] = {detail::Int32Field("Delay", kDelay)};
    static constexpr FieldTable kFields =
        detail::Table("WireHolePunchDelayPacket", kSize, kFieldList);
};
static_assert(detail::Tiles(WireHolePunchDelayPacketLayout::kFields));

struct StartLogFileSendLayout {
    static constexpr std::size_t kSize = 288;
    static constexpr std::size_t kAccountNumber = 0;  // signed 32-bit
    static constexpr std::size_t kFileSize = 4;       // signed 32-bit
    static constexpr std::size_t kUserID = 8;
    static constexpr std::size_t kUserIDCapacity = 25;
    static constexpr std::size_t kLogFile = 33;
    static constexpr std::size_t kLogFileCapacity = 255;
    static_assert(kFileSize == kAccountNumber + 4 && kUserID == kFileSize + 4 &&
                  kLogFile == kUserID + kUserIDCapacity && kSize == kLogFile + kLogFileCapacity);
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("AccountNumber", kAccountNumber),
        detail::Int32Field("FileSize", kFileSize),
        detail::TextField("UserID", kUserID, kUserIDCapacity),
        detail::TextField("LogFile", kLogFile, kLogFileCapacity)};
    static constexpr FieldTable kFields = detail::Table("StartLogFileSend", kSize, kFieldList);
};
static_assert(detail::Tiles(StartLogFileSendLayout::kFields));

struct CLMWirePriceSubscriptionPacketLayout {
    static constexpr std::size_t kSize = 108;
    static constexpr std::size_t kFirst = 0;   // signed 32-bit
    static constexpr std::size_t kSecond = 4;  // signed 32-bit
    static constexpr std::size_t kText = 8;
    static constexpr std::size_t kTextCapacity = 100;
    static_assert(kSecond == kFirst + 4 && kText == kSecond + 4 && kSize == kText + kTextCapacity);
    static constexpr WireField kFieldList[] = {detail::Int32Field("First", kFirst),
                                               detail::Int32Field("Second", kSecond),
                                               detail::TextField("Text", kText, kTextCapacity)};
    static constexpr FieldTable kFields =
        detail::Table("CLMWirePriceSubscriptionPacket", kSize, kFieldList);
};
static_assert(detail::Tiles(CLMWirePriceSubscriptionPacketLayout::kFields));

// 4 bytes: price protocol.
class LMWIRE_API WirePriceProtocolPacket {
  public:
    WirePriceProtocolPacket();
    WirePriceProtocolPacket(enumPricingProtocol protocol);
    WirePriceProtocolPacket(unsigned char* bytes);
    WirePriceProtocolPacket(const WirePriceProtocolPacket& other) = default;
    WirePriceProtocolPacket& operator=(const WirePriceProtocolPacket& other) = default;
    ~WirePriceProtocolPacket() = default;

    enumPricingProtocol GetPriceProtocol() const;
    void SetPriceProtocol(enumPricingProtocol protocol);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);
    [[nodiscard]] static WirePriceProtocolPacket FromBytes(const unsigned char* bytes,
                                                           std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static WirePriceProtocolPacket FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    enumPricingProtocol priceProtocol_{};
};

// 4 bytes: hole-punch delay.
class LMWIRE_API WireHolePunchDelayPacket {
  public:
    WireHolePunchDelayPacket();
    WireHolePunchDelayPacket(long delay);
    WireHolePunchDelayPacket(unsigned char* bytes);
    WireHolePunchDelayPacket(const WireHolePunchDelayPacket& other) = default;
    WireHolePunchDelayPacket& operator=(const WireHolePunchDelayPacket& other) = default;
    ~WireHolePunchDelayPacket() = default;

    long GetDelay() const;
    void SetDelay(long delay);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);
    [[nodiscard]] static WireHolePunchDelayPacket FromBytes(const unsigned char* bytes,
                                                            std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static WireHolePunchDelayPacket FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    std::int32_t delay_{};
};

// 288 bytes: account number, file size, user id (25), log file (255); no pad.
class LMWIRE_API StartLogFileSend {
  public:
    StartLogFileSend();
    StartLogFileSend(const std::string& userID, int accountNumber, int fileSize,
                     const std::string& logFile);
    StartLogFileSend(unsigned char* bytes);
    StartLogFileSend(const StartLogFileSend& other) = default;
    StartLogFileSend& operator=(const StartLogFileSend& other) = default;
    ~StartLogFileSend() = default;

    long GetAccountNumber() const noexcept;
    void SetAccountNumber(long accountNumber);
    long GetFileSize() const noexcept;
    void SetFileSize(long fileSize);
    std::string GetUserID() const;
    void SetUserID(const std::string& userID);
    std::string GetLogFile() const;
    void SetLogFile(const std::string& logFile);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);
    [[nodiscard]] static StartLogFileSend FromBytes(const unsigned char* bytes, std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static StartLogFileSend FromBytes(const Byte* bytes, std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    std::int32_t accountNumber_{};
    std::int32_t fileSize_{};
    char userID_[StartLogFileSendLayout::kUserIDCapacity]{};
    char logFile_[StartLogFileSendLayout::kLogFileCapacity]{};
};

// 108 bytes: two integers and a text (100). The fields have getters only: they are set by the
// constructor, by Decode or by FromBytes.
class LMWIRE_API CLMWirePriceSubscriptionPacket {
  public:
    CLMWirePriceSubscriptionPacket(int first, int second, const std::string& text);
    CLMWirePriceSubscriptionPacket(const CLMWirePriceSubscriptionPacket& other) = default;
    CLMWirePriceSubscriptionPacket& operator=(const CLMWirePriceSubscriptionPacket& other) =
        default;
    ~CLMWirePriceSubscriptionPacket() = default;

    int GetFirst() const noexcept;
    int GetSecond() const noexcept;
    std::string GetText() const;

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);
    [[nodiscard]] static CLMWirePriceSubscriptionPacket FromBytes(const unsigned char* bytes,
                                                                  std::size_t size);
    template <class Byte, detail::IfOtherByte<Byte> = 0>
    [[nodiscard]] static CLMWirePriceSubscriptionPacket FromBytes(const Byte* bytes,
                                                                  std::size_t size) {
        return FromBytes(detail::AsUnsignedBytes(bytes), size);
    }

  private:
    std::int32_t first_{};
    std::int32_t second_{};
    char text_[CLMWirePriceSubscriptionPacketLayout::kTextCapacity]{};
};

}  // namespace Lumera
