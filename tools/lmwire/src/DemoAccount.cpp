// An account with three account contracts, and the look-ups of its collection. The roll-over
// request "ES#" searches from the current month to December of the current year, so the sample
// contracts' expiries are placed relative to today: the nearest quarterly ES month always lies in
// that window, whatever the month.

#include <ctime>
#include <memory>

#include "Demo.h"
#include "Table.h"
#include "Text.h"
#include "wire_types/accounts/CLMWireAccount.h"

namespace lmwire {
namespace {

constexpr const char* kMonthCodes = "FGHJKMNQUVXZ";
constexpr const char* kMonthNames[] = {"January",   "February", "March",    "April",
                                       "May",       "June",     "July",     "August",
                                       "September", "October",  "November", "December"};

struct Expiry {
    int year;
    int month;  // 0 for January
};

Expiry Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon};
}

Expiry Plus(Expiry expiry, int months) {
    const int index = expiry.year * 12 + expiry.month + months;
    return {index / 12, index % 12};
}

// Root, month code and the year's last digit, as the roll-over look-up builds its candidates.
std::string ContractName(const std::string& root, Expiry expiry) {
    return root + kMonthCodes[expiry.month] + std::to_string(expiry.year % 10);
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
        sample.contractID, 7, static_cast<short>(sample.expiry.month + 1),
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
    return found->getWireContract()->getName() + " (contract " +
           std::to_string(found->getWireContract()->getContractID()) + ")";
}

}  // namespace

std::string DemoAccount() {
    const Expiry today = Today();
    // The first quarterly month (March, June, September, December) from this month on.
    const Expiry quarter = Plus(today, 2 - today.month % 3);
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

    std::string out = "account " + std::to_string(account.getAccountID()) + " \"" +
                      account.getName() + "\", " +
                      std::to_string(contracts.GetNumberOfContracts()) + " account contracts:\n";
    Table table({"id", "name", "expiry", "position", "limit", "P&L", "prev settle"}, 3);
    for (int i = 0; i < contracts.GetNumberOfContracts(); ++i) {
        Lumera::CLMWireAccountContract& entry = *contracts.GetAtIndex(i);
        Lumera::CLMWireContract& contract = *entry.getWireContract();
        table.Add({std::to_string(contract.getContractID()), contract.getName(),
                   std::string(kMonthNames[contract.getMonth() - 1]).substr(0, 3) + " " +
                       std::to_string(contract.getYear()),
                   std::to_string(entry.getPosition()), std::to_string(entry.getPositionLimit()),
                   FormatDouble(entry.getPnl()),
                   contract.PriceFromTicks(entry.getPreviousSettle())});
    }
    out += table.Render("  ");

    out += "\nlook-ups (today is " + std::string(kMonthNames[today.month]) + " " +
           std::to_string(today.year) + "; a roll-over request tries " + ContractName("ES", today) +
           " up to " + ContractName("ES", {today.year, 11}) + "):\n";
    Table lookups({}, 2);
    const std::string requests[] = {"ES#", "ZN#", "NQ#", ContractName("ES", Plus(quarter, 3))};
    for (const std::string& request : requests) {
        lookups.Add(
            {'"' + request + '"', "-> " + Describe(contracts.GetWireAccountContract(request))});
    }
    lookups.Add({"id 2001", "-> " + Describe(contracts.GetWireAccountContract(2001L))});
    return out + lookups.Render("  ");
}

}  // namespace lmwire
