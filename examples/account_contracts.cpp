// An account's contracts: a CLMWireAccount holds its account contracts in a collection keyed by
// contract id, where a front end finds them by id, by exact name, or by a roll-over request
// ("ZN#": the nearest month from a given one on, in that year, that the account holds). An
// update received as a flat account contract is read into the entry the collection holds.
#include <cstdio>
#include <string>
#include <vector>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

static std::string NameOf(CLMWireAccountContract* found) {
    return found != nullptr ? found->getWireContract()->getName() : "none";
}

int main() {
    CLMWireAccount account(7001);
    account.setName("Desk 7");
    CLMWireAccountContractCollection* contracts = account.GetAccountContractCollection();

    // Contracts of March, June and December 2026 in the same root; the collection owns what is
    // added to it.
    const char* const names[] = {"ZNH6", "ZNM6", "ZNZ6"};
    const short months[] = {3, 6, 12};
    for (int i = 0; i < 3; ++i) {
        auto* held = new CLMWireAccountContract(300 + i, 2, months[i], 2026, enumPriceFormatCode(6),
                                                names[i], names[i]);
        held->setPositionLimit(50);
        held->setPosition(i == 1 ? -4 : 0);
        contracts->AddAccountContract(held);
    }

    std::printf("%s (%ld): %d contracts\n", account.getName().c_str(), account.getAccountID(),
                contracts->GetNumberOfContracts());
    for (int index = 0; index < contracts->GetNumberOfContracts(); ++index) {
        CLMWireAccountContract* entry = contracts->GetAtIndex(index);
        CLMWireContract* contract = entry->getWireContract();
        std::printf("  %ld %-5s position %3ld of %ld, tick %s\n", contract->getContractID(),
                    contract->getName().c_str(), entry->getPosition(), entry->getPositionLimit(),
                    contract->PriceFromTicks(1).c_str());
    }

    CLMWireAccountContract* byName = contracts->GetWireAccountContract(std::string("ZNM6"));
    CLMWireAccountContract* byId = contracts->GetWireAccountContract(301L);
    // The roll-over request on a given date: in April 2026 March has passed, so June is next;
    // in December only December is tried.
    CLMWireAccountContract* inApril = contracts->GetWireAccountContract("ZN#", 2026, 4);
    CLMWireAccountContract* inDecember = contracts->GetWireAccountContract("ZN#", 2026, 12);
    std::printf("front month in April 2026: %s, in December 2026: %s\n", NameOf(inApril).c_str(),
                NameOf(inDecember).c_str());
    // Without a date the request is answered at the local date; at the end of a year none is
    // left.
    CLMWireAccountContract* front = contracts->GetWireAccountContract(std::string("ZN#"));
    std::printf("front month today: %s\n", NameOf(front).c_str());

    // The server sends June's new standing as a flat account contract, with the tick value it
    // knows. Read into the held entry, the record changes; RefreshWireContract then rebuilds the
    // contract object in place, so `shown` (what a screen keeps) sees the new tick value too.
    CLMWireAccountContract update(*byId);
    update.setPosition(-6);
    update.getRawWireContract()->contract.tickValue = 15.625;
    std::vector<unsigned char> wire(static_cast<std::size_t>(update.GetSize()));
    long offset = 0;
    update.toPacket(offset, wire.data());

    CLMWireContract* shown = byId->getWireContract();
    offset = 0;
    byId->fromPacket(offset, wire.data(), wire.size());
    byId->RefreshWireContract();
    const WireAccountContract& record = byId->GetRecord();
    std::printf("update of %s (%zu bytes): position %d, tick value %g\n", shown->getName().c_str(),
                wire.size(), static_cast<int>(record.position), shown->getTickValue());

    const bool ok = byName != nullptr && byName == byId && inApril == byName &&
                    inDecember == contracts->GetWireAccountContract(302L) &&
                    contracts->GetWireAccountContract("ZN#", 2027, 1) == nullptr &&
                    contracts->GetWireAccountContract(std::string("ZNU6")) == nullptr &&
                    byId->getPosition() == -6 && shown == byId->getWireContract() &&
                    shown->getTickValue() == 15.625;
    return ok ? 0 : 1;
}
