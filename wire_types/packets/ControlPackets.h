#pragma once

// Packets that steer a running connection. Like the logon packets, each object is exactly its
// wire form; Encode returns a buffer from array new (null when it cannot allocate) that the
// caller releases with delete[], Decode(bytes) trusts its input, and an over-long text leaves
// its field empty and throws std::invalid_argument. Decode(bytes, size) is the form for bytes
// not trusted: it throws std::length_error for fewer bytes than the packet's size and
// std::invalid_argument for null with a non-zero size, leaving the packet unchanged.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

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

  private:
    std::int32_t delay_{};
};

// 288 bytes: account number, file size, user id (25), log file (255); no pad. Setters only: a
// receiver reads the decoded bytes by that layout.
class LMWIRE_API StartLogFileSend {
  public:
    StartLogFileSend();
    StartLogFileSend(const std::string& userID, int accountNumber, int fileSize,
                     const std::string& logFile);
    StartLogFileSend(unsigned char* bytes);
    StartLogFileSend(const StartLogFileSend& other) = default;
    StartLogFileSend& operator=(const StartLogFileSend& other) = default;
    ~StartLogFileSend() = default;

    void SetAccountNumber(long accountNumber);
    void SetFileSize(long fileSize);
    void SetUserID(const std::string& userID);
    void SetLogFile(const std::string& logFile);

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);

  private:
    std::int32_t accountNumber_{};
    std::int32_t fileSize_{};
    char userID_[25]{};
    char logFile_[255]{};
};

// 108 bytes: two integers and a text (100). No accessors: a receiver constructs one with any
// values, calls Decode and reads the bytes by that layout.
class LMWIRE_API CLMWirePriceSubscriptionPacket {
  public:
    CLMWirePriceSubscriptionPacket(int first, int second, const std::string& text);
    CLMWirePriceSubscriptionPacket(const CLMWirePriceSubscriptionPacket& other) = default;
    CLMWirePriceSubscriptionPacket& operator=(const CLMWirePriceSubscriptionPacket& other) =
        default;
    ~CLMWirePriceSubscriptionPacket() = default;

    unsigned char* Encode(long* length) const;
    void Decode(unsigned char* bytes);
    void Decode(const unsigned char* bytes, std::size_t size);

  private:
    std::int32_t first_{};
    std::int32_t second_{};
    char text_[100]{};
};

}  // namespace Lumera
