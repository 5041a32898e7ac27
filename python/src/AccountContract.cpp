// The flat form of an account contract (what toPacket writes) read into a dict, so that a
// Python reader can walk a buffer of them: each read returns the offset after the one it read.

#include <string>

#include "Bindings.h"
#include "Values.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/accounts/CLMWireContract.h"

namespace lmwire::binding {
namespace {

py::tuple ReadAccountContract(const py::buffer& source, long long start) {
    const Bytes bytes(source);
    if (start < 0) {
        throw py::value_error("offset " + std::to_string(start) + " is negative");
    }
    long offset = static_cast<long>(start);
    Lumera::CLMWireAccountContract received(0, 0, 0, 0, static_cast<Lumera::enumPriceFormatCode>(0),
                                            "", "");
    // Checked: a flat form that does not fit raises std::length_error, ValueError here.
    received.fromPacket(offset, bytes.data(), bytes.size());
    // fromPacket fills the record only; the received contract is read through an object of its
    // own.
    Lumera::CLMWireContract contract(&received.getRawWireContract()->contract);
    py::dict fields;
    fields["max_lot_size"] = received.getMaxLotSize();
    fields["position_limit"] = received.getPositionLimit();
    fields["position"] = received.getPosition();
    fields["pnl"] = received.getPnl();
    fields["pnl_in_ticks"] = received.getPnlInTicks();
    fields["overnight_position"] = received.getOvernightPosition();
    fields["previous_close"] = received.getPreviousClose();
    fields["previous_settle"] = received.getPreviousSettle();
    fields["open_price"] = received.getOpenPrice();
    fields["month"] = contract.getMonth();
    fields["year"] = contract.getYear();
    fields["exchange_id"] = contract.getExchangeID();
    fields["contract_type"] = static_cast<long long>(contract.getcontractType());
    fields["price_format_code"] = static_cast<long long>(contract.getpriceFormatCode());
    fields["contract_id"] = contract.getContractID();
    fields["tick_value"] = contract.getTickValue();
    fields["currency"] = static_cast<long long>(contract.getCurrency());
    fields["symbol"] = WideText(contract.getSymbol());
    fields["name"] = WideText(contract.getName());
    return py::make_tuple(fields, offset);
}

}  // namespace

void BindAccountContract(py::module_& module) {
    module.def("read_account_contract", &ReadAccountContract, py::arg("data"),
               py::arg("offset") = 0,
               "(fields, new offset): the flat form of an account contract at offset in data.");
}

}  // namespace lmwire::binding
