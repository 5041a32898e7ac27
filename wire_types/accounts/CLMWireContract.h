#pragma once

// The contract: the raw record WireContract (a 60-byte fixed block, its wire form, then two
// texts) and CLMWireContract, which owns a copy of one and the price converter of its prices.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"
#include "wire_types/support/FieldTables.h"
#include "wire_types/support/Platform.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

// The fixed block of a WireContract, which is its wire form (the flat form follows it with the
// two texts): byte offsets, little-endian. Reserved and padding bytes are carried unchanged; in
// the contract embedded in an order, the 8 reserved bytes at kReserved3 hold the order's API
// order id as a double. WireContract is laid out by these constants, and docs/wire-format.md
// shows the same ones. kFields lists the fields of the flat form: the block's, then the texts.
struct WireContractLayout {
    static constexpr std::size_t kFixedSize = 60;
    static constexpr std::size_t kMonth = 0;             // signed 16-bit
    static constexpr std::size_t kYear = 2;              // signed 16-bit
    static constexpr std::size_t kReserved1 = 4;         // 8 bytes
    static constexpr std::size_t kExchangeID = 12;       // signed 16-bit
    static constexpr std::size_t kPadding1 = 14;         // 2 bytes
    static constexpr std::size_t kContractType = 16;     // enumContractTypes, 32-bit
    static constexpr std::size_t kPriceFormatCode = 20;  // enumPriceFormatCode, 32-bit
    static constexpr std::size_t kReserved2 = 24;        // 8 bytes
    static constexpr std::size_t kReserved3 = 32;        // 8 bytes
    static constexpr std::size_t kContractID = 40;       // signed 32-bit
    static constexpr std::size_t kPadding2 = 44;         // 4 bytes
    static constexpr std::size_t kTickValue = 48;        // IEEE 754 double
    static constexpr std::size_t kCurrency = 56;         // enumCurrencies, 32-bit
    static_assert(kFixedSize == kCurrency + 4);
    static constexpr WireField kFieldList[] = {
        detail::Field("Month", kMonth, 2, FieldKind::Signed),
        detail::Field("Year", kYear, 2, FieldKind::Signed),
        detail::Field("reserved1", kReserved1, 8, FieldKind::Reserved),
        detail::Field("ExchangeID", kExchangeID, 2, FieldKind::Signed),
        detail::Field("padding1", kPadding1, 2, FieldKind::Reserved),
        detail::Int32Field("contractType", kContractType, "enumContractTypes"),
        detail::Int32Field("priceFormatCode", kPriceFormatCode, "enumPriceFormatCode"),
        detail::Field("reserved2", kReserved2, 8, FieldKind::Reserved),
        detail::Field("reserved3", kReserved3, 8, FieldKind::Reserved),
        detail::Int32Field("ContractID", kContractID),
        detail::Field("padding2", kPadding2, 4, FieldKind::Reserved),
        detail::Field("TickValue", kTickValue, 8, FieldKind::Double),
        detail::Int32Field("Currency", kCurrency, "enumCurrencies"),
        detail::FlatTextField("Symbol"),
        detail::FlatTextField("Name")};
    static constexpr FieldTable kFields = detail::Table("WireContract", kFixedSize, kFieldList);
};
static_assert(detail::Tiles(WireContractLayout::kFields));

struct LMWIRE_API WireContract {
    std::int16_t month;
    std::int16_t year;
    unsigned char reserved1[8];
    std::int16_t exchangeID;
    unsigned char padding1[2];
    enumContractTypes contractType;
    enumPriceFormatCode priceFormatCode;
    unsigned char reserved2[8];
    // Carried unchanged; an order's embedded contract keeps its API order id here, as a double.
    unsigned char reserved3[8];
    std::int32_t contractID;
    unsigned char padding2[4];
    // Aligned as the original 32-bit target aligns doubles; 32-bit x86 elsewhere aligns them to
    // 4 inside structures, which would shorten this record and those that embed it.
    alignas(8) double tickValue;
    enumCurrencies currency;
    BSTR symbol;
    BSTR name;

    static constexpr std::size_t kFixedSize = WireContractLayout::kFixedSize;

    // Zeroed fixed block, both texts new empty strings.
    WireContract();
    // Releases both texts.
    ~WireContract();
    // Fixed block byte for byte; texts as new strings of their own. Throws
    // _com_error(E_OUTOFMEMORY) when a text cannot be allocated; an assignment that throws leaves
    // the record as it was.
    WireContract(const WireContract& other);
    WireContract& operator=(const WireContract& other);

    template <class Visitor>
    void VisitFlatForm(Visitor& visitor) {
        visitor.Block(this, kFixedSize);
        visitor.Text(symbol);
        visitor.Text(name);
    }
};

static_assert(offsetof(WireContract, month) == WireContractLayout::kMonth);
static_assert(offsetof(WireContract, year) == WireContractLayout::kYear);
static_assert(offsetof(WireContract, reserved1) == WireContractLayout::kReserved1);
static_assert(offsetof(WireContract, exchangeID) == WireContractLayout::kExchangeID);
static_assert(offsetof(WireContract, padding1) == WireContractLayout::kPadding1);
static_assert(offsetof(WireContract, contractType) == WireContractLayout::kContractType);
static_assert(offsetof(WireContract, priceFormatCode) == WireContractLayout::kPriceFormatCode);
static_assert(offsetof(WireContract, reserved2) == WireContractLayout::kReserved2);
static_assert(offsetof(WireContract, reserved3) == WireContractLayout::kReserved3);
static_assert(offsetof(WireContract, contractID) == WireContractLayout::kContractID);
static_assert(offsetof(WireContract, padding2) == WireContractLayout::kPadding2);
static_assert(offsetof(WireContract, tickValue) == WireContractLayout::kTickValue);
static_assert(offsetof(WireContract, currency) == WireContractLayout::kCurrency);
static_assert(offsetof(WireContract, symbol) >= WireContract::kFixedSize);
// In memory on a 32-bit target, as callers that pass a WireContract* there expect.
static_assert(sizeof(void*) != 4 || sizeof(long) != 4 || sizeof(WireContract) == 72);

class ATPrice;

class LMWIRE_API CLMWireContract {
  public:
    // Zeroed record with null texts and a converter without a code.
    CLMWireContract();
    // Copies source (never kept nor changed); the converter starts at the copy's price format
    // code. Throws std::invalid_argument for a null source.
    CLMWireContract(WireContract* source);
    // Deep: a record, strings and converter (at the same current code) of its own.
    CLMWireContract(const CLMWireContract& other);
    CLMWireContract& operator=(const CLMWireContract& other);
    virtual ~CLMWireContract();

    short getMonth();
    void setMonth(short month);
    short getYear();
    void setYear(short year);
    short getExchangeID();
    void setExchangeID(short exchangeID);
    enumContractTypes getcontractType();
    void setContractType(enumContractTypes contractType);
    enumPriceFormatCode getpriceFormatCode();
    // Changes the record only; see DecimalToTicks for when the converter follows.
    void setpriceFormatCode(enumPriceFormatCode priceFormatCode);
    long getContractID();
    void setContractID(long contractID);
    double getTickValue();
    double setTickValue(double tickValue);
    enumCurrencies getCurrency();
    void setCurrency(enumCurrencies currency);
    std::string getSymbol();
    void setSymbol(const std::string& symbol);
    std::string getName();
    void setName(const std::string& name);
    // The owned record itself.
    WireContract* getWireContract();

    std::string PriceFromTicks(long ticks);
    long GetPriceFormatCodeDivisor();
    double TicksToDecimal(long ticks);
    // These two use the converter's current code, which follows the record's code only once
    // one of the other price members has run.
    long DecimalToTicks(double value);
    long DisplayToTicks(const std::string& text);
    int GetNumberOfDecimalPlaces();

  private:
    ATPrice* converter_;
    WireContract* record_;
};

}  // namespace Lumera
