// The variable-length records: account figures and the flat form of an account contract.

#include <cstring>
#include <memory>

#include "common/Errors.h"
#include "common/Text.h"
#include "records/Kinds.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/packets/WireAccountDataPacket.h"

namespace lmwire {
namespace {

using DataLayout = Lumera::WireAccountDataPacketLayout;

std::int32_t Int(const Json& values, const char* name) {
    return static_cast<std::int32_t>(values.at(name).get<std::int64_t>());
}

Kind AccountData() {
    Kind kind{"account-data",
              "an account's figures: account, then count and (kind, double) entries",
              std::nullopt,
              {Int32("Account"), Derived(Int32("NumEntries")),
               List("AccountInfo", {Int32("Kind"), Number("Value")})},
              {},
              {}};
    kind.decode = [](const Bytes& bytes) {
        if (bytes.size() < DataLayout::kHeaderSize) {
            throw BadInput("account-data takes at least " +
                           std::to_string(DataLayout::kHeaderSize) +
                           " bytes (account and count), got " + std::to_string(bytes.size()));
        }
        // The library accepts trailing bytes; a record given alone must end with its entries.
        const std::int64_t count = ReadInt32(&bytes[DataLayout::kCount]);
        if (count < 0) {
            throw BadInput("account-data: negative entry count " + std::to_string(count));
        }
        const std::uint64_t needed =
            DataLayout::kHeaderSize + DataLayout::kEntrySize * static_cast<std::uint64_t>(count);
        if (bytes.size() != needed) {
            throw BadInput("account-data: count " + std::to_string(count) + " needs " +
                           std::to_string(needed) + " bytes, got " + std::to_string(bytes.size()));
        }
        const auto packet = Lumera::WireAccountDataPacket::FromBytes(bytes.data(), bytes.size());
        Json entries = Json::array();
        for (const auto& [entryKind, value] : packet.GetEntries()) {
            entries.push_back({{"Kind", entryKind}, {"Value", value}});
        }
        return Json{{"Account", packet.GetAccount()},
                    {"NumEntries", packet.NumEntries()},
                    {"AccountInfo", std::move(entries)}};
    };
    kind.encode = [](const Json& values) {
        Lumera::WireAccountDataPacket packet(Int(values, "Account"));
        for (const Json& entry : values.at("AccountInfo")) {
            const auto entryKind =
                static_cast<Lumera::enumAccountDataTypes>(entry.at("Kind").get<std::int64_t>());
            if (!packet.AddInfo(entryKind, entry.at("Value").get<double>())) {
                throw BadInput("AccountInfo: kind " + std::to_string(entryKind) +
                               " is given twice");
            }
        }
        const std::unique_ptr<unsigned char[]> wire(packet.Encode());
        return Bytes(wire.get(),
                     wire.get() + DataLayout::kHeaderSize +
                         DataLayout::kEntrySize * static_cast<std::size_t>(packet.NumEntries()));
    };
    return kind;
}

// Offset of the byte after the NUL that ends a text starting at `from`, or 0 when it has none.
std::size_t AfterText(const Bytes& bytes, std::size_t from) {
    if (from >= bytes.size()) {
        return 0;
    }
    const void* nul = std::memchr(&bytes[from], 0, bytes.size() - from);
    return nul == nullptr ? 0 : static_cast<const unsigned char*>(nul) - bytes.data() + 1;
}

constexpr std::size_t kFlatBlocks = 48 + 60;

Json Describe(Lumera::CLMWireAccountContract& accountContract) {
    Lumera::CLMWireContract& contract = *accountContract.getWireContract();
    return Json{{"MaxLotSize", accountContract.getMaxLotSize()},
                {"PositionLimit", accountContract.getPositionLimit()},
                {"Position", accountContract.getPosition()},
                {"Pnl", accountContract.getPnl()},
                {"PnlInTicks", accountContract.getPnlInTicks()},
                {"OvernightPosition", accountContract.getOvernightPosition()},
                {"PreviousClose", accountContract.getPreviousClose()},
                {"PreviousSettle", accountContract.getPreviousSettle()},
                {"OpenPrice", accountContract.getOpenPrice()},
                {"Month", contract.getMonth()},
                {"Year", contract.getYear()},
                {"ExchangeID", contract.getExchangeID()},
                {"contractType", contract.getcontractType()},
                {"priceFormatCode", contract.getpriceFormatCode()},
                {"ContractID", contract.getContractID()},
                {"TickValue", contract.getTickValue()},
                {"Currency", contract.getCurrency()},
                {"Symbol", Cp1252ToUtf8(contract.getSymbol())},
                {"Name", Cp1252ToUtf8(contract.getName())}};
}

Kind AccountContract() {
    Kind kind{
        "account-contract",
        "flat form of an account contract: 48-byte block, 60-byte contract, symbol, name",
        std::nullopt,
        {Int32("MaxLotSize"), Int32("PositionLimit"), Int32("Position"), Number("Pnl"),
         Int32("PnlInTicks"), Int32("OvernightPosition"), Int32("PreviousClose"),
         Int32("PreviousSettle"), Int32("OpenPrice"), Int16("Month"), Int16("Year"),
         Int16("ExchangeID"), Int32("contractType"), Int32("priceFormatCode"), Int32("ContractID"),
         Number("TickValue"), Int32("Currency"), Text("Symbol", 0), Text("Name", 0)},
        {},
        {}};
    kind.decode = [](const Bytes& bytes) {
        if (bytes.size() < kFlatBlocks + 2) {
            throw BadInput("account-contract takes at least " + std::to_string(kFlatBlocks + 2) +
                           " bytes (two blocks and two terminated texts), got " +
                           std::to_string(bytes.size()));
        }
        const std::size_t afterSymbol = AfterText(bytes, kFlatBlocks);
        const std::size_t afterName = afterSymbol == 0 ? 0 : AfterText(bytes, afterSymbol);
        if (afterName == 0) {
            throw BadInput(std::string("account-contract: the ") +
                           (afterSymbol == 0 ? "symbol" : "name") +
                           " has no terminating zero byte");
        }
        if (afterName != bytes.size()) {
            throw BadInput("account-contract: " + std::to_string(bytes.size() - afterName) +
                           " bytes follow the flat form (" + std::to_string(afterName) + " bytes)");
        }
        Lumera::CLMWireAccountContract received(0, 0, 0, 0, Lumera::pfcNone, "", "");
        long offset = 0;
        received.fromPacket(offset, bytes.data(), bytes.size());
        // fromPacket fills the record; the contract object follows it only when refreshed.
        received.RefreshWireContract();
        return Describe(received);
    };
    kind.encode = [](const Json& values) {
        Lumera::CLMWireAccountContract accountContract(
            Int(values, "ContractID"), static_cast<short>(Int(values, "ExchangeID")),
            static_cast<short>(Int(values, "Month")), static_cast<short>(Int(values, "Year")),
            static_cast<Lumera::enumPriceFormatCode>(Int(values, "priceFormatCode")),
            NarrowText(values, "Symbol"), NarrowText(values, "Name"));
        accountContract.setMaxLotSize(Int(values, "MaxLotSize"));
        accountContract.setPositionLimit(Int(values, "PositionLimit"));
        accountContract.setPosition(Int(values, "Position"));
        accountContract.setPnl(values.at("Pnl").get<double>());
        accountContract.setPnlInTicks(Int(values, "PnlInTicks"));
        accountContract.setOvernightPosition(Int(values, "OvernightPosition"));
        accountContract.setPreviousClose(Int(values, "PreviousClose"));
        accountContract.setPreviousSettle(Int(values, "PreviousSettle"));
        accountContract.setOpenPrice(Int(values, "OpenPrice"));
        // The flat form is written from the embedded raw contract, which the account contract
        // offers no setters for beyond the constructor's fields.
        Lumera::WireContract& raw = accountContract.getRawWireContract()->contract;
        raw.contractType = static_cast<Lumera::enumContractTypes>(Int(values, "contractType"));
        raw.tickValue = values.at("TickValue").get<double>();
        raw.currency = static_cast<Lumera::enumCurrencies>(Int(values, "Currency"));
        Bytes wire(static_cast<std::size_t>(accountContract.GetSize()));
        long offset = 0;
        accountContract.toPacket(offset, wire.data());
        return wire;
    };
    return kind;
}

}  // namespace

void AddAccountKinds(std::vector<Kind>& kinds) {
    kinds.push_back(AccountData());
    kinds.push_back(AccountContract());
}

}  // namespace lmwire
