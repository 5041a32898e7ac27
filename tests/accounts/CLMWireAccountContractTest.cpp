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

using testing::FillPattern;
using testing::FillRawAccountContract;
using testing::SameBlock;
using testing::StoreText;
using testing::Units;

constexpr std::size_t kContractBlock = WireContract::kFixedSize;
constexpr std::size_t kOwnBlock = WireAccountContract::kFixedSize;

bool SameRecord(const WireAccountContract& a, const WireAccountContract& b) {
    return SameBlock(&a, &b, kOwnBlock) && SameBlock(&a.contract, &b.contract, kContractBlock) &&
           Units(a.contract.symbol) == Units(b.contract.symbol) &&
           Units(a.contract.name) == Units(b.contract.name);
}

TEST(CLMWireAccountContract, FlatFormAtAnOffsetIsTheBlocksThenTheTexts) {
    WireAccountContract raw;
    FillPattern(&raw, kOwnBlock, 11);
    FillPattern(&raw.contract, kContractBlock, 101);
    StoreText(raw.contract.symbol, u"ESH3");
    StoreText(raw.contract.name, u"S&P\u03A9");
    CLMWireAccountContract accountContract(&raw);
    ASSERT_EQ(accountContract.GetSize(), 108 + 5 + 5);

    std::vector<unsigned char> buffer(10 + 118 + 4, 0xCC);
    long offset = 10;
    accountContract.toPacket(offset, buffer.data());
    EXPECT_EQ(offset, 10 + accountContract.GetSize());

    EXPECT_TRUE(SameBlock(buffer.data() + 10, &raw, kOwnBlock));
    EXPECT_TRUE(SameBlock(buffer.data() + 58, &raw.contract, kContractBlock));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer.data()) + 118, 10),
              std::string("ESH3\0S&P?\0", 10));
    for (std::size_t i : {0u, 9u, 128u, 131u}) {
        EXPECT_EQ(buffer[i], 0xCC) << "byte " << i;
    }
}

TEST(CLMWireAccountContract, FlatFormReadsBackIntoTheRecordOnly) {
    WireAccountContract raw;
    FillRawAccountContract(raw, 4242, u"ABH3");
    CLMWireAccountContract writer(&raw);
    std::vector<unsigned char> buffer(10 + writer.GetSize());
    long writeOffset = 10;
    writer.toPacket(writeOffset, buffer.data());

    CLMWireAccountContract reader(7, 1, 6, 2013, static_cast<enumPriceFormatCode>(6), "OLD",
                                  "Old name");
    long readOffset = 10;
    reader.fromPacket(readOffset, buffer.data());

    EXPECT_EQ(readOffset, writeOffset);
    EXPECT_TRUE(SameRecord(*reader.getRawWireContract(), raw));
    EXPECT_EQ(reader.getPosition(), writer.getPosition());
    EXPECT_EQ(reader.getPnl(), writer.getPnl());
    EXPECT_EQ(reader.getOpenPrice(), writer.getOpenPrice());
    EXPECT_EQ(reader.GetSize(), writer.GetSize());
    EXPECT_NE(reader.getRawWireContract()->contract.name, raw.contract.name);

    EXPECT_EQ(reader.getWireContract()->getContractID(), 7);
    EXPECT_EQ(reader.getWireContract()->getName(), "Old name");
    EXPECT_EQ(reader.getWireContract()->getSymbol(), "OLD");
}

TEST(CLMWireAccountContract, EmptyTextsTakeOneZeroByteEach) {
    CLMWireAccountContract accountContract(1, 0, 0, 0, pfcNone, "", "");
    ASSERT_EQ(accountContract.GetSize(), 110);
    std::vector<unsigned char> buffer(110, 0xFF);
    long offset = 0;
    accountContract.toPacket(offset, buffer.data());
    EXPECT_EQ(offset, 110);
    EXPECT_EQ(buffer[108], 0);
    EXPECT_EQ(buffer[109], 0);
}

TEST(CLMWireAccountContract, ConstructorFromFieldsFillsTheEmbeddedContractOnly) {
    CLMWireAccountContract accountContract(0x100000009L, 12, 3, 2013,
                                           static_cast<enumPriceFormatCode>(14), "SYM", "NAME");
    CLMWireContract* contract = accountContract.getWireContract();
    EXPECT_EQ(contract->getContractID(), 9);
    EXPECT_EQ(contract->getExchangeID(), 12);
    EXPECT_EQ(contract->getMonth(), 3);
    EXPECT_EQ(contract->getYear(), 2013);
    EXPECT_EQ(contract->getpriceFormatCode(), 14);
    EXPECT_EQ(contract->getSymbol(), "SYM");
    EXPECT_EQ(contract->getName(), "NAME");
    EXPECT_EQ(contract->DecimalToTicks(12.34), 1234);

    const WireAccountContract& raw = *accountContract.getRawWireContract();
    EXPECT_EQ(Units(raw.contract.name), u"NAME");
    EXPECT_NE(raw.contract.name, contract->getWireContract()->name);
    const std::vector<unsigned char> zeros(kOwnBlock, 0);
    EXPECT_TRUE(SameBlock(&raw, zeros.data(), kOwnBlock));
    EXPECT_EQ(raw.contract.tickValue, 0.0);
    EXPECT_EQ(raw.contract.contractType, 0);
    EXPECT_EQ(raw.contract.currency, 0);
}

TEST(CLMWireAccountContract, LongFieldsKeepTheirLow32Bits) {
    using Getter = long (CLMWireAccountContract::*)();
    using Setter = void (CLMWireAccountContract::*)(long);
    struct Field {
        const char* name;
        Getter get;
        Setter set;
        std::size_t offset;
    };
    const std::vector<Field> fields = {
        {"maxLotSize", &CLMWireAccountContract::getMaxLotSize,
         &CLMWireAccountContract::setMaxLotSize, 0},
        {"positionLimit", &CLMWireAccountContract::getPositionLimit,
         &CLMWireAccountContract::setPositionLimit, 4},
        {"position", &CLMWireAccountContract::getPosition, &CLMWireAccountContract::setPosition, 8},
        {"pnlInTicks", &CLMWireAccountContract::getPnlInTicks,
         &CLMWireAccountContract::setPnlInTicks, 24},
        {"overnightPosition", &CLMWireAccountContract::getOvernightPosition,
         &CLMWireAccountContract::setOvernightPosition, 28},
        {"previousClose", &CLMWireAccountContract::getPreviousClose,
         &CLMWireAccountContract::setPreviousClose, 32},
        {"previousSettle", &CLMWireAccountContract::getPreviousSettle,
         &CLMWireAccountContract::setPreviousSettle, 36},
        {"openPrice", &CLMWireAccountContract::getOpenPrice, &CLMWireAccountContract::setOpenPrice,
         40},
    };
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        CLMWireAccountContract accountContract(1, 0, 0, 0, pfcNone, "", "");
        (accountContract.*field.set)(-5);
        EXPECT_EQ((accountContract.*field.get)(), -5);
        (accountContract.*field.set)(0x1FFFFFFFEL);
        EXPECT_EQ((accountContract.*field.get)(), -2);
        std::int32_t stored = 0;
        std::memcpy(
            &stored,
            reinterpret_cast<unsigned char*>(accountContract.getRawWireContract()) + field.offset,
            sizeof stored);
        EXPECT_EQ(stored, -2);
    }
    CLMWireAccountContract accountContract(1, 0, 0, 0, pfcNone, "", "");
    accountContract.setPnl(-12.75);
    EXPECT_EQ(accountContract.getPnl(), -12.75);
}

TEST(CLMWireAccountContract, CopyOutlivesItsSource) {
    WireAccountContract raw;
    FillRawAccountContract(raw, 31, u"ABM3");
    auto source = std::make_unique<CLMWireAccountContract>(&raw);
    CLMWireAccountContract copy(*source);
    EXPECT_NE(copy.getRawWireContract(), source->getRawWireContract());
    EXPECT_NE(copy.getWireContract(), source->getWireContract());
    source.reset();

    EXPECT_TRUE(SameRecord(*copy.getRawWireContract(), raw));
    EXPECT_EQ(copy.getWireContract()->getName(), "ABM3");
    EXPECT_EQ(copy.getWireContract()->getContractID(), 31);
}

TEST(CLMWireAccountContract, AssignmentReplacesWithAnIndependentCopy) {
    WireAccountContract raw;
    FillRawAccountContract(raw, 31, u"ABM3");
    CLMWireAccountContract target(1, 0, 0, 0, pfcNone, "x", "y");
    auto source = std::make_unique<CLMWireAccountContract>(&raw);
    target = *source;
    source->getWireContract()->setName("changed");
    source.reset();
    EXPECT_TRUE(SameRecord(*target.getRawWireContract(), raw));
    EXPECT_EQ(target.getWireContract()->getName(), "ABM3");

    CLMWireAccountContract& self = target;
    target = self;
    EXPECT_EQ(target.getWireContract()->getName(), "ABM3");
}

TEST(CLMWireAccountContract, NullRecordIsRefused) {
    EXPECT_THROW(CLMWireAccountContract(static_cast<WireAccountContract*>(nullptr)),
                 std::invalid_argument);
}

}  // namespace
}  // namespace Lumera
