#include "wire_types/orders/CLMWireOrder.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <type_traits>
#include <utility>

#include "wire_types/price/detail/ATPrice.h"
#include "wire_types/support/detail/OwnedPointers.h"
#include "wire_types/support/detail/Scalars.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

namespace {

// An order's record, its converter and the collection that holds it share one allocation: an
// order event costs one block besides its texts. The record comes first, so that the block is
// found again from the record pointer.
struct OrderBlock {
    WireOrder record;
    ATPrice converter;
    const void* holder = nullptr;

    OrderBlock() = default;
    OrderBlock(const WireOrder& source, enumPriceFormatCode code)
        : record(source), converter(code) {}
};
static_assert(std::is_standard_layout_v<OrderBlock> && offsetof(OrderBlock, record) == 0);

OrderBlock* BlockOf(WireOrder* record) {
    return reinterpret_cast<OrderBlock*>(record);
}

}  // namespace

CLMWireOrder::CLMWireOrder() : wireOrder_(nullptr), converter_(nullptr) {
    auto* block = new OrderBlock();
    wireOrder_ = &block->record;
    converter_ = &block->converter;
}

CLMWireOrder::CLMWireOrder(WireOrder* order) : wireOrder_(nullptr), converter_(nullptr) {
    if (order == nullptr) {
        throw std::invalid_argument("CLMWireOrder: null WireOrder");
    }
    // The flat-form rules (a text ends at its first NUL, a null text becomes empty, a unit
    // outside Windows-1252 becomes '?') applied to an exact copy, without the flat buffer.
    auto* block = new OrderBlock(*order, pfcNone);
    WireOrder& record = block->record;
    for (BSTR text : {record.VeyID, record.ExchangeOrderNumber, record.reservedText,
                      record.Contract.symbol, record.Contract.name}) {
        detail::KeepAnsiUnits(text);
    }
    wireOrder_ = &record;
    converter_ = &block->converter;
}

// Every price member passes the order's own code, so the converter's current code carries
// nothing worth copying; reading it would race with a price member running on the source.
CLMWireOrder::CLMWireOrder(const CLMWireOrder& other) : wireOrder_(nullptr), converter_(nullptr) {
    auto* block = new OrderBlock(*other.wireOrder_, other.wireOrder_->Contract.priceFormatCode);
    wireOrder_ = &block->record;
    converter_ = &block->converter;
}

// Values are exchanged, never the mark of the collection that holds this object: a held order
// that is assigned to stays held, and one that is not stays free.
CLMWireOrder& CLMWireOrder::operator=(const CLMWireOrder& other) {
    if (this != &other) {
        CLMWireOrder copy(other);
        BlockOf(copy.wireOrder_)->holder = BlockOf(wireOrder_)->holder;
        std::swap(wireOrder_, copy.wireOrder_);
        std::swap(converter_, copy.converter_);
    }
    return *this;
}

CLMWireOrder::~CLMWireOrder() {
    delete BlockOf(wireOrder_);
    wireOrder_ = nullptr;
    converter_ = nullptr;
}

const void* detail::HolderOf(CLMWireOrder& order) {
    return BlockOf(order.getWireOrder())->holder;
}

void detail::SetHolder(CLMWireOrder& order, const void* holder) {
    BlockOf(order.getWireOrder())->holder = holder;
}

WireOrder* CLMWireOrder::getWireOrder() {
    return wireOrder_;
}

enumOrderStatus CLMWireOrder::getOrderStatus() const {
    return wireOrder_->OrderStatus;
}
void CLMWireOrder::setOrderStatus(enumOrderStatus value) {
    wireOrder_->OrderStatus = value;
}
enumOrderTypes CLMWireOrder::getOrderType() const {
    return wireOrder_->OrderType;
}
void CLMWireOrder::setOrderType(enumOrderTypes value) {
    wireOrder_->OrderType = value;
}
enumOrderRestrictions CLMWireOrder::getRestrictions() const {
    return wireOrder_->Restrictions;
}
void CLMWireOrder::setRestrictions(enumOrderRestrictions value) {
    wireOrder_->Restrictions = value;
}

long CLMWireOrder::getFilledQty() const {
    return wireOrder_->FilledQty;
}
void CLMWireOrder::setFillQty(long value) {
    wireOrder_->FilledQty = detail::Low32(value);
}
long CLMWireOrder::getFillPrice() const {
    return wireOrder_->FillPrice;
}
void CLMWireOrder::setFillPrice(long value) {
    wireOrder_->FillPrice = detail::Low32(value);
}
long CLMWireOrder::getPrice() const {
    return wireOrder_->Price;
}
void CLMWireOrder::setPrice(long value) {
    wireOrder_->Price = detail::Low32(value);
}
bool CLMWireOrder::getIsBuy() const {
    return wireOrder_->IsBuy == 1;
}
void CLMWireOrder::setIsBuy(bool value) {
    wireOrder_->IsBuy = value ? 1 : 0;
}
long CLMWireOrder::getQty() const {
    return wireOrder_->Qty;
}
void CLMWireOrder::setQty(long value) {
    wireOrder_->Qty = detail::Low32(value);
}
long CLMWireOrder::getOriginalQuantity() const {
    return wireOrder_->OriginalQuantity;
}
void CLMWireOrder::setOriginalQuantity(long value) {
    wireOrder_->OriginalQuantity = detail::Low32(value);
}
long CLMWireOrder::getOrderID() const {
    return wireOrder_->OrderID;
}
void CLMWireOrder::setOrderID(long value) {
    wireOrder_->OrderID = detail::Low32(value);
}
long CLMWireOrder::getOriginalOrderID() const {
    return wireOrder_->OriginalOrderID;
}
void CLMWireOrder::setOriginalOrderID(long value) {
    wireOrder_->OriginalOrderID = detail::Low32(value);
}
long CLMWireOrder::getRemainingQuantity() const {
    return wireOrder_->RemainingQuantity;
}
void CLMWireOrder::setRemainingQuantity(long value) {
    wireOrder_->RemainingQuantity = detail::Low32(value);
}
long CLMWireOrder::getStopPrice() const {
    return wireOrder_->StopPrice;
}
void CLMWireOrder::setStopPrice(long value) {
    wireOrder_->StopPrice = detail::Low32(value);
}
long CLMWireOrder::getFillID() const {
    return wireOrder_->FillID;
}
void CLMWireOrder::setFillID(long value) {
    wireOrder_->FillID = detail::Low32(value);
}
int CLMWireOrder::getAccountID() const {
    return wireOrder_->AccountID;
}
void CLMWireOrder::setAccountID(int value) {
    wireOrder_->AccountID = value;
}

int CLMWireOrder::getExchangeID() const {
    return wireOrder_->Contract.exchangeID;
}
void CLMWireOrder::setExchangeID(int value) {
    wireOrder_->Contract.exchangeID = static_cast<std::int16_t>(value);
}
enumPriceFormatCode CLMWireOrder::getPriceFormatCode() const {
    return wireOrder_->Contract.priceFormatCode;
}
void CLMWireOrder::setPriceFormatCode(enumPriceFormatCode value) {
    wireOrder_->Contract.priceFormatCode = value;
}

int CLMWireOrder::getAPIOrderID() const {
    double value = 0.0;
    static_assert(sizeof value == sizeof wireOrder_->Contract.reserved3);
    std::memcpy(&value, wireOrder_->Contract.reserved3, sizeof value);
    if (std::isnan(value)) {
        return 0;
    }
    constexpr double kLowest = std::numeric_limits<int>::min();
    constexpr double kHighest = std::numeric_limits<int>::max();
    if (value <= kLowest) {
        return std::numeric_limits<int>::min();
    }
    if (value >= kHighest) {
        return std::numeric_limits<int>::max();
    }
    return static_cast<int>(value);
}
void CLMWireOrder::setAPIOrderID(int value) {
    const double stored = value;
    std::memcpy(wireOrder_->Contract.reserved3, &stored, sizeof stored);
}

int CLMWireOrder::getContractID() const {
    return wireOrder_->Contract.contractID;
}
void CLMWireOrder::setContractID(int value) {
    wireOrder_->Contract.contractID = value;
}

std::string CLMWireOrder::getVeyID() const {
    return detail::GetWireText(wireOrder_->VeyID);
}
void CLMWireOrder::setVeyID(const std::string& value) {
    detail::SetWireText(wireOrder_->VeyID, value);
}
std::string CLMWireOrder::getExchangeOrderNumber() const {
    return detail::GetWireText(wireOrder_->ExchangeOrderNumber);
}
void CLMWireOrder::setExchangeOrderNumber(const std::string& value) {
    detail::SetWireText(wireOrder_->ExchangeOrderNumber, value);
}
std::string CLMWireOrder::getSymbol() const {
    return detail::GetWireText(wireOrder_->Contract.name);
}
void CLMWireOrder::setSymbol(const std::string& value) {
    detail::SetWireText(wireOrder_->Contract.name, value);
}

long CLMWireOrder::getFillTime() const {
    return detail::OleDateToUnixTime(wireOrder_->FillTime);
}
long CLMWireOrder::getTimeSent() const {
    return detail::OleDateToUnixTime(wireOrder_->TimeSent);
}

std::string CLMWireOrder::ToString() {
    return std::string();
}

}  // namespace Lumera
