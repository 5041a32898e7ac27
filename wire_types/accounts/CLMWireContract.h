#pragma once

// The contract: the raw record WireContract (a 60-byte fixed block, its wire form, then two
// texts) and CLMWireContract, which owns a copy of one and the price converter of its prices.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/support/Export.h"
#include "wire_types/support/Platform.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

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

    static constexpr std::size_t kFixedSize = 60;

    // Zeroed fixed block, both texts new empty strings.
    WireContract();
    // Releases both texts.
    ~WireContract();
    // Fixed block byte for byte; texts as new strings of their own.
    WireContract(const WireContract& other);
    WireContract& operator=(const WireContract& other);

    template <class Visitor>
    void VisitFlatForm(Visitor& visitor) {
        visitor.Block(this, kFixedSize);
        visitor.Text(symbol);
        visitor.Text(name);
    }
};

static_assert(offsetof(WireContract, month) == 0);
static_assert(offsetof(WireContract, year) == 2);
static_assert(offsetof(WireContract, reserved1) == 4);
static_assert(offsetof(WireContract, exchangeID) == 12);
static_assert(offsetof(WireContract, contractType) == 16);
static_assert(offsetof(WireContract, priceFormatCode) == 20);
static_assert(offsetof(WireContract, reserved2) == 24);
static_assert(offsetof(WireContract, reserved3) == 32);
static_assert(offsetof(WireContract, contractID) == 40);
static_assert(offsetof(WireContract, tickValue) == 48);
static_assert(offsetof(WireContract, currency) == 56);
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
