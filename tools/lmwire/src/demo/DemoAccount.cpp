// An account with three account contracts, an update of one of them over the wire, and the
// look-ups of its collection. The roll-over request "ES#" searches from the month of the demo's
// date to December of its year, so the sample contracts' expiries are placed relative to that
// date: the nearest quarterly ES month always lies in the window, whatever the month.

#include <cstdint>
#include <vector>

#include <fmt/format.h>

#include "common/Table.h"
#include "common/Text.h"
#include "demo/Demo.h"
#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/price/Price.h"

namespace lmwire {
namespace {

constexpr const char* kMonthCodes = "FGHJKMNQUVXZ";

struct Expiry {
    int year;
    int month;  // 1 for January
};

Expiry Plus(Expiry expiry, int months) {
    const int index = expiry.year * 12 + expiry.month - 1 + months;
    return {index / 12, index % 12 + 1};
}

// Root, month code and the year's last digit, as the roll-over look-up builds its candidates.
std::string ContractName(const std::string& root, Expiry expiry) {
    return fmt::format("{}{}{}", root, kMonthCodes[expiry.month - 1], expiry.year % 10);
}

struct Sample {
    long contractID;
    std::string root;
    Expiry expiry;
    Lumera::enumPriceFormatCode code;
    long position;
    double pnl;
    long previousSettle;
};

Lumera::WireAccountContract MakeRecord(const Sample& sample) {
    Lumera::CLMWireAccountContract accountContract(
        sample.contractID, 7, static_cast<short>(sample.expiry.month),
        static_cast<short>(sample.expiry.year), sample.code, sample.root,
        ContractName(sample.root, sample.expiry));
    accountContract.setPosition(sample.position);
    accountContract.setPositionLimit(50);
    accountContract.setMaxLotSize(10);
    accountContract.setPnl(sample.pnl);
    accountContract.setPreviousSettle(sample.previousSettle);
    return *accountContract.getRawWireContract();
}

std::string Describe(Lumera::CLMWireAccountContract* found) {
    if (found == nullptr) {
        return "none";
    }
    return fmt::format("{} (contract {})", found->getWireContract()->getName(),
                       found->getWireContract()->getContractID());
}

// The server sends an entry's new standing as the flat form of an account contract, with the
// contract's tick value filled in. The client reads it into the entry it holds and
// refreshes the contract object in place, so a screen holding that object sees the update.
std::string ApplyUpdate(Lumera::CLMWireAccountContract& entry) {
    Lumera::CLMWireAccountContract sent(entry);
    sent.setPosition(entry.getPosition() + 2);
    sent.setPnl(entry.getPnl() + 625);
    Lumera::WireContract& sentContract = sent.getRawWireContract()->contract;
    sentContract.tickValue = 12.5;
    std::vector<unsigned char> wire(static_cast<std::size_t>(sent.GetSize()));
    long offset = 0;
    sent.toPacket(offset, wire.data());

    Lumera::CLMWireContract* shown = entry.getWireContract();
    const std::int32_t positionBefore = entry.GetRecord().position;
    const double pnlBefore = entry.GetRecord().pnl;
    const double tickValueBefore = shown->getTickValue();
    offset = 0;
    entry.fromPacket(offset, wire.data(), wire.size());
    entry.RefreshWireContract();
    const Lumera::WireAccountContract& now = entry.GetRecord();
    return fmt::format(
        "update of {} received ({} bytes): position {} -> {}, P&L {} -> {}, tick value {} -> {}\n",
        shown->getName(), wire.size(), positionBefore, now.position, FormatDouble(pnlBefore),
        FormatDouble(now.pnl), FormatDouble(tickValueBefore), FormatDouble(shown->getTickValue()));
}

}  // namespace

std::string DemoAccount(const DemoDate& today) {
    const Expiry month{today.year, today.month};
    // The first quarterly month (March, June, September, December) from this month on.
    const Expiry quarter = Plus(month, 2 - (today.month - 1) % 3);
    const Sample samples[] = {
        {1001, "ES", quarter, static_cast<Lumera::enumPriceFormatCode>(25), 3, 1837.5, 24046},
        {1002, "ES", Plus(quarter, 3), static_cast<Lumera::enumPriceFormatCode>(25), -1, -212.5,
         24101},
        {2001, "ZN", quarter, static_cast<Lumera::enumPriceFormatCode>(9), 5, 390.625, 14075},
    };
    Lumera::WireAccount raw;
    raw.accountID = 5001;
    for (const Sample& sample : samples) {
        raw.contracts.push_back(MakeRecord(sample));
    }
    Lumera::CLMWireAccount account(&raw);
    account.setName("Demo trading account");
    Lumera::CLMWireAccountContractCollection& contracts = *account.GetAccountContractCollection();

    std::string out =
        fmt::format("account {} \"{}\", {} account contracts:\n", account.getAccountID(),
                    account.getName(), contracts.GetNumberOfContracts());
    Table table({"id", "name", "expiry", "position", "limit", "P&L", "prev settle"}, 3);
    for (int i = 0; i < contracts.GetNumberOfContracts(); ++i) {
        Lumera::CLMWireAccountContract& entry = *contracts.GetAtIndex(i);
        Lumera::CLMWireContract& contract = *entry.getWireContract();
        table.Add(
            {std::to_string(contract.getContractID()), contract.getName(),
             fmt::format("{} {}", MonthName(contract.getMonth()).substr(0, 3), contract.getYear()),
             std::to_string(entry.getPosition()), std::to_string(entry.getPositionLimit()),
             FormatDouble(entry.getPnl()),
             Lumera::price::Display(contract.getpriceFormatCode(),
                                    static_cast<std::int32_t>(entry.getPreviousSettle()))});
    }
    out += table.Render("  ");
    out += "\n";
    out += ApplyUpdate(*contracts.GetWireAccountContract(1001L));

    out += fmt::format("\nlook-ups (today is {} {} {}; a roll-over request tries {} up to {}):\n",
                       today.day, MonthName(today.month), today.year, ContractName("ES", month),
                       ContractName("ES", {today.year, 12}));
    Table lookups({}, 2);
    const std::string requests[] = {"ES#", "ZN#", "NQ#", ContractName("ES", Plus(quarter, 3))};
    for (const std::string& request : requests) {
        lookups.Add({fmt::format("\"{}\"", request),
                     fmt::format("-> {}", Describe(contracts.GetWireAccountContract(
                                              request, today.year, today.month)))});
    }
    lookups.Add(
        {"id 2001", fmt::format("-> {}", Describe(contracts.GetWireAccountContract(2001L)))});
    return out + lookups.Render("  ");
}

}  // namespace lmwire
