#pragma once

// The converter between tick prices and display texts, divisors and decimal places. It holds
// only its current price format code and a reference to the shared, read-only format table.

#include <atomic>
#include <string>

#include "wire_types/price/detail/PriceFormat.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

class ATPrice {
  public:
    ATPrice();  // current code 0
    explicit ATPrice(enumPriceFormatCode priceFormatCode);
    ~ATPrice();

    // Binds the converter to the table; the constructors call it.
    void Init();

    // Each of these three stores `formatcode` as the current code first, also for a code that
    // has no row (which yields "", 0 and 0).
    std::string getDisplayString(long price, enumPriceFormatCode formatcode);
    long GetPriceFormatCodeDivisor(enumPriceFormatCode formatcode);
    int GetDecimalPlaces(enumPriceFormatCode formatcode);

    enumPriceFormatCode GetPriceFormatCode();

    // The row of `code`, or null when it has none.
    const PriceFormat* FindFormat(enumPriceFormatCode code) const;

  private:
    // Price members write it on every call, also on an object that other threads read (an order
    // of a shared book): relaxed atomic, which costs a plain load or store.
    std::atomic<enumPriceFormatCode> currentCode_;
    const PriceFormatTable* table_;
};

}  // namespace Lumera
