#pragma once

// An order event: the raw record WireOrder as the trading server sends it (a 96-byte fixed
// block, three texts and the order's contract) and CLMWireOrder, which owns a deep copy of one
// and the price converter of its prices.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/support/Export.h"
#include "wire_types/support/Platform.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

class ATPrice;

struct LMWIRE_API WireOrder {
    enumOrderStatus OrderStatus;
    unsigned char reserved1[4];
    double TimeCreated;
    enumOrderTypes OrderType;
    enumOrderRestrictions Restrictions;
    std::int32_t FilledQty;
    std::int32_t FillPrice;
    double FillTime;
    std::int32_t Price;
    std::int32_t IsBuy;
    double TimeSent;
    std::int32_t Qty;
    unsigned char reserved2[4];
    std::int32_t OriginalQuantity;
    std::int32_t OrderID;
    std::int32_t OriginalOrderID;
    unsigned char reserved3[4];
    std::int32_t RemainingQuantity;
    std::int32_t StopPrice;
    std::int32_t FillID;
    std::int32_t AccountID;
    BSTR VeyID;
    BSTR ExchangeOrderNumber;
    BSTR reservedText;
    // APIOrderID is the double held in Contract.reserved3.
    WireContract Contract;

    static constexpr std::size_t kFixedSize = 96;

    // Status, type and restrictions 1, TimeCreated now (UTC), other numbers 0, texts empty.
    WireOrder();
    // Releases the three texts (the contract releases its own).
    ~WireOrder();
    // Fixed blocks byte for byte; texts as new strings of their own.
    WireOrder(const WireOrder& other);
    WireOrder& operator=(const WireOrder& other);

    template <class Visitor>
    void VisitFlatForm(Visitor& visitor) {
        visitor.Block(this, kFixedSize);
        visitor.Text(VeyID);
        visitor.Text(ExchangeOrderNumber);
        visitor.Text(reservedText);
        Contract.VisitFlatForm(visitor);
    }
};

static_assert(offsetof(WireOrder, OrderStatus) == 0);
static_assert(offsetof(WireOrder, reserved1) == 4);
static_assert(offsetof(WireOrder, TimeCreated) == 8);
static_assert(offsetof(WireOrder, OrderType) == 16);
static_assert(offsetof(WireOrder, Restrictions) == 20);
static_assert(offsetof(WireOrder, FilledQty) == 24);
static_assert(offsetof(WireOrder, FillPrice) == 28);
static_assert(offsetof(WireOrder, FillTime) == 32);
static_assert(offsetof(WireOrder, Price) == 40);
static_assert(offsetof(WireOrder, IsBuy) == 44);
static_assert(offsetof(WireOrder, TimeSent) == 48);
static_assert(offsetof(WireOrder, Qty) == 56);
static_assert(offsetof(WireOrder, reserved2) == 60);
static_assert(offsetof(WireOrder, OriginalQuantity) == 64);
static_assert(offsetof(WireOrder, OrderID) == 68);
static_assert(offsetof(WireOrder, OriginalOrderID) == 72);
static_assert(offsetof(WireOrder, reserved3) == 76);
static_assert(offsetof(WireOrder, RemainingQuantity) == 80);
static_assert(offsetof(WireOrder, StopPrice) == 84);
static_assert(offsetof(WireOrder, FillID) == 88);
static_assert(offsetof(WireOrder, AccountID) == 92);
static_assert(offsetof(WireOrder, VeyID) == WireOrder::kFixedSize);
// In memory on a 32-bit target, as callers that pass a WireOrder* there expect.
static_assert(sizeof(void*) != 4 || sizeof(long) != 4 || sizeof(WireOrder) == 184);

class LMWIRE_API CLMWireOrder {
  public:
    CLMWireOrder();
    // Deep copy of *order, which stays the caller's. Throws std::invalid_argument for null.
    CLMWireOrder(WireOrder* order);
    // Deep copy with a converter of its own at the same current code.
    CLMWireOrder(const CLMWireOrder& other);
    CLMWireOrder& operator=(const CLMWireOrder& other);
    ~CLMWireOrder();

    // The order's own record (not a copy); valid as long as the order lives.
    WireOrder* getWireOrder();

    enumOrderStatus getOrderStatus() const;
    void setOrderStatus(enumOrderStatus value);
    enumOrderTypes getOrderType() const;
    void setOrderType(enumOrderTypes value);
    enumOrderRestrictions getRestrictions() const;
    void setRestrictions(enumOrderRestrictions value);
    long getFilledQty() const;
    void setFillQty(long value);
    long getFillPrice() const;
    void setFillPrice(long value);
    long getPrice() const;
    void setPrice(long value);
    // True only when the field holds 1.
    bool getIsBuy() const;
    void setIsBuy(bool value);
    long getQty() const;
    void setQty(long value);
    long getOriginalQuantity() const;
    void setOriginalQuantity(long value);
    long getOrderID() const;
    void setOrderID(long value);
    long getOriginalOrderID() const;
    void setOriginalOrderID(long value);
    long getRemainingQuantity() const;
    void setRemainingQuantity(long value);
    long getStopPrice() const;
    void setStopPrice(long value);
    long getFillID() const;
    void setFillID(long value);
    int getAccountID() const;
    void setAccountID(int value);

    // Fields of the embedded contract.
    int getExchangeID() const;
    void setExchangeID(int value);
    enumPriceFormatCode getPriceFormatCode() const;
    void setPriceFormatCode(enumPriceFormatCode value);
    // Truncated toward zero; NaN gives 0 and values beyond int saturate at its limits.
    int getAPIOrderID() const;
    void setAPIOrderID(int value);
    int getContractID() const;
    void setContractID(int value);

    std::string getVeyID() const;
    void setVeyID(const std::string& value);
    std::string getExchangeOrderNumber() const;
    void setExchangeOrderNumber(const std::string& value);
    // The contract's full name.
    std::string getSymbol() const;
    void setSymbol(const std::string& value);

    // Seconds since 1970-01-01 00:00:00 UTC.
    long getFillTime() const;
    long getTimeSent() const;

    std::string ToString();

    // Every member reads the order's PriceFormatCode at the time of the call.
    std::string PriceFromTicks(long ticks);
    long GetPriceFormatCodeDivisor();
    double TicksToDecimal(long ticks);
    long DecimalToTicks(double value);
    long DisplayToTicks(const std::string& text);

  private:
    WireOrder* wireOrder_;
    ATPrice* converter_;
};

}  // namespace Lumera
