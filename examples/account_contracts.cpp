// An account's contracts: a CLMWireAccount holds its account contracts in a collection keyed by
// contract id, where a front end finds them by id, by exact name, or by a roll-over request
// ("ZN#": the nearest month from this one on that the account holds).
#include <cstdio>
#include <string>

#include "wire_types/LMWireTypes.h"

using namespace Lumera;

int main() {
    CLMWireAccount account(7001);
    account.setName("Desk 7");
    CLMWireAccountContractCollection* contracts = account.GetAccountContractCollection();

    // Contracts of this year's March, June and December in the same root; the collection owns
    // what is added to it.
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
    // Which month "ZN#" names depends on today's date; at the end of a year none is left.
    CLMWireAccountContract* front = contracts->GetWireAccountContract(std::string("ZN#"));
    std::printf("front month: %s\n",
                front != nullptr ? front->getWireContract()->getName().c_str() : "none");

    const bool ok = byName != nullptr && byName == byId && byName->getPosition() == -4 &&
                    contracts->GetWireAccountContract(std::string("ZNU6")) == nullptr;
    return ok ? 0 : 1;
}
