#pragma once

// Every public header of the library.

#include "wire_types/Version.h"
#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/accounts/CLMWireAccountContractCollection.h"
#include "wire_types/accounts/CLMWireAccounts.h"
#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/accounts/WireArray.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/orders/CLMWireOrderCollection.h"
#include "wire_types/orders/CLMWireOrderCompletedCollection.h"
#include "wire_types/orders/Filed.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/price/CWirePrice.h"
#include "wire_types/price/Price.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/support/Platform.h"
#include "wire_types/support/SharedEnums.h"
#include "wire_types/support/VeyException.h"
