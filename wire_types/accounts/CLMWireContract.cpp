#include "wire_types/accounts/CLMWireContract.h"

#include <cstring>
#include <memory>
#include <stdexcept>
#include <utility>

#include "wire_types/price/detail/ATPrice.h"
#include "wire_types/price/detail/PriceMembers.h"
#include "wire_types/support/detail/FlatForm.h"
#include "wire_types/support/detail/Scalars.h"
#include "wire_types/support/detail/WireStrings.h"

namespace Lumera {

namespace {

// A default-constructed contract holds null texts; a copy of it keeps them null.
std::unique_ptr<WireContract> CopyRecord(const WireContract& source) {
    auto copy = std::make_unique<WireContract>(source);
    if (source.symbol == nullptr) {
        detail::FreeWireText(copy->symbol);
    }
    if (source.name == nullptr) {
        detail::FreeWireText(copy->name);
    }
    return copy;
}

}  // namespace

CLMWireContract::CLMWireContract() : converter_(nullptr), record_(nullptr) {
    auto converter = std::make_unique<ATPrice>();
    auto record = std::make_unique<WireContract>();
    detail::FreeWireText(record->symbol);
    detail::FreeWireText(record->name);
    converter_ = converter.release();
    record_ = record.release();
}

CLMWireContract::CLMWireContract(WireContract* source) : converter_(nullptr), record_(nullptr) {
    if (source == nullptr) {
        throw std::invalid_argument("CLMWireContract: null WireContract");
    }
    auto record = std::make_unique<WireContract>();
    detail::CopyThroughFlatForm(*source, *record);
    converter_ = new ATPrice(record->priceFormatCode);
    record_ = record.release();
}

CLMWireContract::CLMWireContract(const CLMWireContract& other)
    : converter_(nullptr), record_(nullptr) {
    auto record = CopyRecord(*other.record_);
    converter_ = new ATPrice(other.converter_->GetPriceFormatCode());
    record_ = record.release();
}

CLMWireContract& CLMWireContract::operator=(const CLMWireContract& other) {
    if (this != &other) {
        CLMWireContract copy(other);
        std::swap(converter_, copy.converter_);
        std::swap(record_, copy.record_);
    }
    return *this;
}

CLMWireContract::~CLMWireContract() {
    delete record_;
    record_ = nullptr;
    delete converter_;
    converter_ = nullptr;
}

short CLMWireContract::getMonth() {
    return record_->month;
}
void CLMWireContract::setMonth(short month) {
    record_->month = month;
}
short CLMWireContract::getYear() {
    return record_->year;
}
void CLMWireContract::setYear(short year) {
    record_->year = year;
}
short CLMWireContract::getExchangeID() {
    return record_->exchangeID;
}
void CLMWireContract::setExchangeID(short exchangeID) {
    record_->exchangeID = exchangeID;
}

enumContractTypes CLMWireContract::getcontractType() {
    return record_->contractType;
}
void CLMWireContract::setContractType(enumContractTypes contractType) {
    record_->contractType = contractType;
}

enumPriceFormatCode CLMWireContract::getpriceFormatCode() {
    return record_->priceFormatCode;
}
void CLMWireContract::setpriceFormatCode(enumPriceFormatCode priceFormatCode) {
    record_->priceFormatCode = priceFormatCode;
}

long CLMWireContract::getContractID() {
    return record_->contractID;
}
void CLMWireContract::setContractID(long contractID) {
    record_->contractID = detail::Low32(contractID);
}

double CLMWireContract::getTickValue() {
    return record_->tickValue;
}
double CLMWireContract::setTickValue(double tickValue) {
    record_->tickValue = tickValue;
    return tickValue;
}

enumCurrencies CLMWireContract::getCurrency() {
    return record_->currency;
}
void CLMWireContract::setCurrency(enumCurrencies currency) {
    record_->currency = currency;
}

std::string CLMWireContract::getSymbol() {
    return detail::GetWireText(record_->symbol);
}
void CLMWireContract::setSymbol(const std::string& symbol) {
    detail::SetWireText(record_->symbol, symbol);
}
std::string CLMWireContract::getName() {
    return detail::GetWireText(record_->name);
}
void CLMWireContract::setName(const std::string& name) {
    detail::SetWireText(record_->name, name);
}

WireContract* CLMWireContract::getWireContract() {
    return record_;
}

std::string CLMWireContract::PriceFromTicks(long ticks) {
    return detail::PriceMembers::PriceFromTicks(*converter_, record_->priceFormatCode, ticks);
}

long CLMWireContract::GetPriceFormatCodeDivisor() {
    return detail::PriceMembers::Divisor(*converter_, record_->priceFormatCode);
}

double CLMWireContract::TicksToDecimal(long ticks) {
    return detail::PriceMembers::TicksToDecimal(*converter_, record_->priceFormatCode, ticks);
}

long CLMWireContract::DecimalToTicks(double value) {
    return detail::PriceMembers::DecimalToTicks(*converter_, converter_->GetPriceFormatCode(),
                                                value);
}

long CLMWireContract::DisplayToTicks(const std::string& text) {
    return detail::PriceMembers::DisplayToTicks(*converter_, converter_->GetPriceFormatCode(),
                                                text);
}

int CLMWireContract::GetNumberOfDecimalPlaces() {
    return detail::PriceMembers::DecimalPlaces(*converter_, record_->priceFormatCode);
}

}  // namespace Lumera
