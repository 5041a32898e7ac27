#pragma once

// Enumerations shared with the rest of the trading system. The library stores, copies and
// compares their values as 32-bit integers; only the values written out explicitly below
// (order status, price format codes) are relied upon by the library itself.

#include <cstdint>

#include "wire_types/support/Export.h"

namespace Lumera {

enum enumErrors : std::int32_t {
    errNone = 0,
    errInvalidLogon = 1,
    errAlreadyLoggedOn = 2,
    errServerUnavailable = 3,
    errUnknown = 4,
};

enum UDPPacketTypes : std::int32_t {
    udpUnknown = 0,
    udpLogOn = 1,
    udpPrice = 2,
    udpHolePunch = 3,
};

enum enumPricingProtocol : std::int32_t {
    ppNone = 0,
    ppTcp = 1,
    ppUdp = 2,
};

enum enumPriceLevel : std::int32_t {
    plTopOfBook = 0,
    plDepth = 1,
};

enum SessionType : std::int32_t {
    stUnknown = 0,
    stTrading = 1,
    stPriceOnly = 2,
};

enum enumAccountDataTypes : std::int32_t {
    adtNone = 0,
    adtBalance = 1,
    adtMargin = 2,
    adtOpenPnl = 3,
    adtClosedPnl = 4,
    adtBuyingPower = 5,
};

enum enumPriceTypes : std::int32_t {
    ptNone = 0,
    ptTrade = 1,
    ptBid = 2,
    ptAsk = 3,
    ptSettle = 4,
};

enum enumContractTypes : std::int32_t {
    ctNone = 0,
    ctFuture = 1,
    ctOption = 2,
    ctSpread = 3,
};

enum enumCurrencies : std::int32_t {
    curNone = 0,
    curUSD = 1,
    curEUR = 2,
    curGBP = 3,
    curJPY = 4,
};

enum enumOrderStatus : std::int32_t {
    osNone = 0,
    osRemoved = 1,    // retires the order named by OriginalOrderID; never stored
    osWorking = 2,    // working; replaces OriginalOrderID when that is not 0
    osFilled = 3,     // ends the working order of the same id
    osModified = 4,   // working; always replaces OriginalOrderID
    osCancelled = 5,  // ends the working order of the same id
};

enum enumOrderTypes : std::int32_t {
    otNone = 0,
    otLimit = 1,
    otMarket = 2,
    otStop = 3,
    otStopLimit = 4,
};

enum enumOrderRestrictions : std::int32_t {
    orNone = 0,
    orDay = 1,
    orGoodTillCancelled = 2,
    orFillOrKill = 3,
    orImmediateOrCancel = 4,
};

// Codes 1 to 62 are rows of the price-format table; the library handles them by number.
enum enumPriceFormatCode : std::int32_t {
    pfcNone = 0,
    pfcFirst = 1,
    pfcLast = 62,
};

}  // namespace Lumera
