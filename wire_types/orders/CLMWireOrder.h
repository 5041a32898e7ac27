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

// The order's own fixed block, byte offsets, little-endian; OLE dates are days since
// 1899-12-30 00:00 UTC. Reserved bytes are carried unchanged. In the flat form the three texts
// follow, then the embedded contract's flat form. WireOrder is laid out by these constants, and
// docs/wire-format.md shows the same ones. kFields lists the fields of the flat form: the block's,
// the texts, then the contract.
struct WireOrderLayout {
    static constexpr std::size_t kFixedSize = 96;
    static constexpr std::size_t kOrderStatus = 0;         // enumOrderStatus, 32-bit
    static constexpr std::size_t kReserved1 = 4;           // 4 bytes
    static constexpr std::size_t kTimeCreated = 8;         // OLE date (IEEE 754 double)
    static constexpr std::size_t kOrderType = 16;          // enumOrderTypes, 32-bit
    static constexpr std::size_t kRestrictions = 20;       // enumOrderRestrictions, 32-bit
    static constexpr std::size_t kFilledQty = 24;          // signed 32-bit
    static constexpr std::size_t kFillPrice = 28;          // signed 32-bit ticks
    static constexpr std::size_t kFillTime = 32;           // OLE date
    static constexpr std::size_t kPrice = 40;              // signed 32-bit ticks
    static constexpr std::size_t kIsBuy = 44;              // signed 32-bit, 1 = buy
    static constexpr std::size_t kTimeSent = 48;           // OLE date
    static constexpr std::size_t kQty = 56;                // signed 32-bit
    static constexpr std::size_t kReserved2 = 60;          // 4 bytes
    static constexpr std::size_t kOriginalQuantity = 64;   // signed 32-bit
    static constexpr std::size_t kOrderID = 68;            // signed 32-bit
    static constexpr std::size_t kOriginalOrderID = 72;    // signed 32-bit
    static constexpr std::size_t kReserved3 = 76;          // 4 bytes
    static constexpr std::size_t kRemainingQuantity = 80;  // signed 32-bit
    static constexpr std::size_t kStopPrice = 84;          // signed 32-bit ticks
    static constexpr std::size_t kFillID = 88;             // signed 32-bit
    static constexpr std::size_t kAccountID = 92;          // signed 32-bit
    static_assert(kFixedSize == kAccountID + 4);
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("OrderStatus", kOrderStatus, "enumOrderStatus"),
        detail::Field("reserved1", kReserved1, 4, FieldKind::Reserved),
        detail::Field("TimeCreated", kTimeCreated, 8, FieldKind::OleDate),
        detail::Int32Field("OrderType", kOrderType, "enumOrderTypes"),
        detail::Int32Field("Restrictions", kRestrictions, "enumOrderRestrictions"),
        detail::Int32Field("FilledQty", kFilledQty),
        detail::Int32Field("FillPrice", kFillPrice),
        detail::Field("FillTime", kFillTime, 8, FieldKind::OleDate),
        detail::Int32Field("Price", kPrice),
        detail::Int32Field("IsBuy", kIsBuy),
        detail::Field("TimeSent", kTimeSent, 8, FieldKind::OleDate),
        detail::Int32Field("Qty", kQty),
        detail::Field("reserved2", kReserved2, 4, FieldKind::Reserved),
        detail::Int32Field("OriginalQuantity", kOriginalQuantity),
        detail::Int32Field("OrderID", kOrderID),
        detail::Int32Field("OriginalOrderID", kOriginalOrderID),
        detail::Field("reserved3", kReserved3, 4, FieldKind::Reserved),
        detail::Int32Field("RemainingQuantity", kRemainingQuantity),
        detail::Int32Field("StopPrice", kStopPrice),
        detail::Int32Field("FillID", kFillID),
        detail::Int32Field("AccountID", kAccountID),
        detail::FlatTextField("VeyID"),
        detail::FlatTextField("ExchangeOrderNumber"),
        detail::FlatTextField("reservedText"),
        detail::RecordField("Contract", WireContractLayout::kFields)};
    static constexpr FieldTable kFields = detail::Table("WireOrder", kFixedSize, kFieldList);
};
static_assert(detail::Tiles(WireOrderLayout::kFields));

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

    static constexpr std::size_t kFixedSize = WireOrderLayout::kFixedSize;

    // Status, type and restrictions 1, TimeCreated now (UTC), other numbers 0, texts empty.
    WireOrder();
    // Releases the three texts (the contract releases its own).
    ~WireOrder();
    // Fixed blocks byte for byte; texts as new strings of their own. Throws
    // _com_error(E_OUTOFMEMORY) when a text cannot be allocated; an assignment that throws leaves
    // the record as it was.
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

static_assert(offsetof(WireOrder, OrderStatus) == WireOrderLayout::kOrderStatus);
static_assert(offsetof(WireOrder, reserved1) == WireOrderLayout::kReserved1);
static_assert(offsetof(WireOrder, TimeCreated) == WireOrderLayout::kTimeCreated);
static_assert(offsetof(WireOrder, OrderType) == WireOrderLayout::kOrderType);
static_assert(offsetof(WireOrder, Restrictions) == WireOrderLayout::kRestrictions);
static_assert(offsetof(WireOrder, FilledQty) == WireOrderLayout::kFilledQty);
static_assert(offsetof(WireOrder, FillPrice) == WireOrderLayout::kFillPrice);
static_assert(offsetof(WireOrder, FillTime) == WireOrderLayout::kFillTime);
static_assert(offsetof(WireOrder, Price) == WireOrderLayout::kPrice);
static_assert(offsetof(WireOrder, IsBuy) == WireOrderLayout::kIsBuy);
static_assert(offsetof(WireOrder, TimeSent) == WireOrderLayout::kTimeSent);
static_assert(offsetof(WireOrder, Qty) == WireOrderLayout::kQty);
static_assert(offsetof(WireOrder, reserved2) == WireOrderLayout::kReserved2);
static_assert(offsetof(WireOrder, OriginalQuantity) == WireOrderLayout::kOriginalQuantity);
static_assert(offsetof(WireOrder, OrderID) == WireOrderLayout::kOrderID);
static_assert(offsetof(WireOrder, OriginalOrderID) == WireOrderLayout::kOriginalOrderID);
static_assert(offsetof(WireOrder, reserved3) == WireOrderLayout::kReserved3);
static_assert(offsetof(WireOrder, RemainingQuantity) == WireOrderLayout::kRemainingQuantity);
static_assert(offsetof(WireOrder, StopPrice) == WireOrderLayout::kStopPrice);
static_assert(offsetof(WireOrder, FillID) == WireOrderLayout::kFillID);
static_assert(offsetof(WireOrder, AccountID) == WireOrderLayout::kAccountID);
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
