#include "wire_types/accounts/CLMWireAccountContract.h"

#include <memory>
#include <stdexcept>
#include <utility>

#include "wire_types/support/detail/FlatForm.h"
#include "wire_types/support/detail/Scalars.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

CLMWireAccountContract::CLMWireAccountContract(WireAccountContract* source)
    : record_(nullptr), contract_(nullptr) {
    if (source == nullptr) {
        throw std::invalid_argument("CLMWireAccountContract: null WireAccountContract");
    }
    auto record = std::make_unique<WireAccountContract>();
    detail::CopyThroughFlatForm(*source, *record);
    contract_ = new CLMWireContract(&record->contract);
    record_ = record.release();
}

CLMWireAccountContract::CLMWireAccountContract(long contractID, short exchangeID, short month,
                                               short year, enumPriceFormatCode priceFormatCode,
                                               const std::string& symbol, const std::string& name)
    : record_(nullptr), contract_(nullptr) {
    auto record = std::make_unique<WireAccountContract>();
    WireContract& contract = record->contract;
    contract.contractID = detail::Low32(contractID);
    contract.exchangeID = exchangeID;
    contract.month = month;
    contract.year = year;
    contract.priceFormatCode = priceFormatCode;
    detail::SetWireText(contract.name, name);
    detail::SetWireText(contract.symbol, symbol);
    contract_ = new CLMWireContract(&contract);
    record_ = record.release();
}

CLMWireAccountContract::CLMWireAccountContract(const CLMWireAccountContract& other)
    : record_(nullptr), contract_(nullptr) {
    auto record = std::make_unique<WireAccountContract>(*other.record_);
    contract_ = new CLMWireContract(*other.contract_);
    record_ = record.release();
}

CLMWireAccountContract& CLMWireAccountContract::operator=(const CLMWireAccountContract& other) {
    if (this != &other) {
        CLMWireAccountContract copy(other);
        std::swap(record_, copy.record_);
        std::swap(contract_, copy.contract_);
    }
    return *this;
}

CLMWireAccountContract::~CLMWireAccountContract() {
    delete contract_;
    contract_ = nullptr;
    delete record_;
    record_ = nullptr;
}

long CLMWireAccountContract::getMaxLotSize() {
    return record_->maxLotSize;
}
void CLMWireAccountContract::setMaxLotSize(long maxLotSize) {
    record_->maxLotSize = static_cast<std::int32_t>(maxLotSize);
}
long CLMWireAccountContract::getPositionLimit() {
    return record_->positionLimit;
}
void CLMWireAccountContract::setPositionLimit(long positionLimit) {
    record_->positionLimit = static_cast<std::int32_t>(positionLimit);
}
long CLMWireAccountContract::getPosition() {
    return record_->position;
}
void CLMWireAccountContract::setPosition(long position) {
    record_->position = static_cast<std::int32_t>(position);
}
double CLMWireAccountContract::getPnl() {
    return record_->pnl;
}
void CLMWireAccountContract::setPnl(double pnl) {
    record_->pnl = pnl;
}
long CLMWireAccountContract::getPnlInTicks() {
    return record_->pnlInTicks;
}
void CLMWireAccountContract::setPnlInTicks(long pnlInTicks) {
    record_->pnlInTicks = static_cast<std::int32_t>(pnlInTicks);
}
long CLMWireAccountContract::getOvernightPosition() {
    return record_->overnightPosition;
}
void CLMWireAccountContract::setOvernightPosition(long overnightPosition) {
    record_->overnightPosition = static_cast<std::int32_t>(overnightPosition);
}
long CLMWireAccountContract::getPreviousClose() {
    return record_->previousClose;
}
void CLMWireAccountContract::setPreviousClose(long previousClose) {
    record_->previousClose = static_cast<std::int32_t>(previousClose);
}
long CLMWireAccountContract::getPreviousSettle() {
    return record_->previousSettle;
}
void CLMWireAccountContract::setPreviousSettle(long previousSettle) {
    record_->previousSettle = static_cast<std::int32_t>(previousSettle);
}
long CLMWireAccountContract::getOpenPrice() {
    return record_->openPrice;
}
void CLMWireAccountContract::setOpenPrice(long openPrice) {
    record_->openPrice = static_cast<std::int32_t>(openPrice);
}

CLMWireContract* CLMWireAccountContract::getWireContract() {
    return contract_;
}
WireAccountContract* CLMWireAccountContract::getRawWireContract() {
    return record_;
}

const WireAccountContract& CLMWireAccountContract::GetRecord() const noexcept {
    return *record_;
}

void CLMWireAccountContract::RefreshWireContract() {
    // Built aside first, then assigned (copy and swap inside): a failure leaves the old one.
    *contract_ = CLMWireContract(&record_->contract);
}

void CLMWireAccountContract::toPacket(long& offset, unsigned char* buffer) {
    detail::WriteFlatForm(*record_, offset, buffer);
}

void CLMWireAccountContract::fromPacket(long& offset, unsigned char* buffer) {
    detail::ReadFlatForm(*record_, offset, buffer);
}

void CLMWireAccountContract::fromPacket(long& offset, const unsigned char* buffer,
                                        std::size_t size) {
    detail::ReadFlatForm(*record_, offset, buffer, size, "CLMWireAccountContract");
}

long CLMWireAccountContract::GetSize() {
    return detail::FlatFormSize(*record_);
}

}  // namespace Lumera
