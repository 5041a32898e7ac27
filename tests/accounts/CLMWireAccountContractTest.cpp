#include "wire_types/accounts/CLMWireAccountContract.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "accounts/AccountsTestSupport.h"

namespace Lumera {
namespace {

using testing::FillRaw;
using testing::SameRecordOwnStrings;
using testing::StoreText;

TEST(CLMWireAccountContract, FlatFormAtAnOffsetReadsBackIntoTheRecordOnly) {
    WireAccountContract raw;
    FillRaw(raw, 42, u"");
    StoreText(raw.contract.symbol, u"ESH3");
    StoreText(raw.contract.name, u"S&P\u03A9");
    CLMWireAccountContract writer(&raw);
    ASSERT_EQ(writer.GetSize(), 108 + 5 + 5);

    std::vector<unsigned char> buffer(10 + 118 + 4, 0xCC);
    long offset = 10;
    writer.toPacket(offset, buffer.data());
    EXPECT_EQ(offset, 128);
    EXPECT_EQ(std::memcmp(buffer.data() + 10, &raw, 48), 0);
    EXPECT_EQ(std::memcmp(buffer.data() + 58, &raw.contract, 60), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 118, 10),
              std::string("ESH3\0S&P?\0", 10));
    EXPECT_EQ(buffer[9], 0xCC);
    EXPECT_EQ(buffer[128], 0xCC);

    CLMWireAccountContract reader(7, 1, 6, 2013, static_cast<enumPriceFormatCode>(6), "OLD", "");
    long readOffset = 10;
    reader.fromPacket(readOffset, buffer.data());
    EXPECT_EQ(readOffset, 128);
    EXPECT_TRUE(SameRecordOwnStrings(*reader.getRawWireContract(), *writer.getRawWireContract()));
    EXPECT_EQ(reader.getOpenPrice(), writer.getOpenPrice());
    EXPECT_EQ(reader.getWireContract()->getContractID(), 7);
    EXPECT_EQ(reader.getWireContract()->getSymbol(), "OLD");
}

TEST(CLMWireAccountContract, ConstructorFromFieldsFillsTheEmbeddedContractOnly) {
    CLMWireAccountContract accountContract(0x100000009L, 12, 3, 2013,
                                           static_cast<enumPriceFormatCode>(14), "", "NAME");
    CLMWireContract* contract = accountContract.getWireContract();
    EXPECT_EQ(contract->getContractID(), 9);
    EXPECT_EQ(contract->getExchangeID(), 12);
    EXPECT_EQ(contract->getYear(), 2013);
    EXPECT_EQ(contract->getName(), "NAME");
    EXPECT_EQ(contract->DecimalToTicks(12.34), 1234);
    EXPECT_EQ(accountContract.getPosition(), 0);
    EXPECT_EQ(accountContract.getPnl(), 0.0);

    accountContract.getRawWireContract()->contract.name[0] = u'X';
    EXPECT_EQ(contract->getName(), "NAME");
    accountContract.setPosition(0x1FFFFFFFEL);
    EXPECT_EQ(accountContract.getRawWireContract()->position, -2);

    accountContract.getRawWireContract()->contract.name[0] = 0;
    EXPECT_EQ(accountContract.GetSize(), 110);
}

TEST(CLMWireAccountContract, CopyAndAssignmentOutliveTheSource) {
    WireAccountContract raw;
    FillRaw(raw, 31, u"ABM3");
    auto source = std::make_unique<CLMWireAccountContract>(&raw);
    CLMWireAccountContract copy(*source);
    CLMWireAccountContract assigned(1, 0, 0, 0, pfcNone, "x", "y");
    assigned = *source;
    source.reset();
    for (CLMWireAccountContract* accountContract : {&copy, &assigned}) {
        EXPECT_TRUE(SameRecordOwnStrings(*accountContract->getRawWireContract(), raw));
        EXPECT_EQ(accountContract->getWireContract()->getName(), "ABM3");
    }
    EXPECT_NE(copy.getWireContract(), assigned.getWireContract());
    EXPECT_THROW(CLMWireAccountContract(static_cast<WireAccountContract*>(nullptr)),
                 std::invalid_argument);
}

}  // namespace
}  // namespace Lumera
