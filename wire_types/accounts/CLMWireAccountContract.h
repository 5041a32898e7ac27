#pragma once

// The account contract: one account's limits, position and profit and loss in one contract. The
// raw record WireAccountContract (a 48-byte block and the embedded contract) and
// CLMWireAccountContract, which owns a copy of one and a contract object built from it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/support/Export.h"
#include "wire_types/support/SharedEnums.h"

namespace Lumera {

// The account contract's own block, byte offsets, little-endian; padding is carried unchanged.
// In the flat form (toPacket) the embedded contract's fixed block follows at kFixedSize, then
// its two texts. WireAccountContract is laid out by these constants, and docs/wire-format.md
// shows the same ones. kFields lists the fields of the flat form: the block's, then the contract.
struct WireAccountContractLayout {
    static constexpr std::size_t kFixedSize = 48;
    static constexpr std::size_t kMaxLotSize = 0;          // signed 32-bit
    static constexpr std::size_t kPositionLimit = 4;       // signed 32-bit
    static constexpr std::size_t kPosition = 8;            // signed 32-bit
    static constexpr std::size_t kPadding1 = 12;           // 4 bytes
    static constexpr std::size_t kPnl = 16;                // IEEE 754 double
    static constexpr std::size_t kPnlInTicks = 24;         // signed 32-bit
    static constexpr std::size_t kOvernightPosition = 28;  // signed 32-bit
    static constexpr std::size_t kPreviousClose = 32;      // signed 32-bit ticks
    static constexpr std::size_t kPreviousSettle = 36;     // signed 32-bit ticks
    static constexpr std::size_t kOpenPrice = 40;          // signed 32-bit ticks
    static constexpr std::size_t kPadding2 = 44;           // 4 bytes
    static_assert(kFixedSize == kPadding2 + 4);
    static constexpr WireField kFieldList[] = {
        detail::Int32Field("MaxLotSize", kMaxLotSize),
        detail::Int32Field("PositionLimit", kPositionLimit),
        detail::Int32Field("Position", kPosition),
        detail::Field("padding1", kPadding1, 4, FieldKind::Reserved),
        detail::Field("Pnl", kPnl, 8, FieldKind::Double),
        detail::Int32Field("PnlInTicks", kPnlInTicks),
        detail::Int32Field("OvernightPosition", kOvernightPosition),
        detail::Int32Field("PreviousClose", kPreviousClose),
        detail::Int32Field("PreviousSettle", kPreviousSettle),
        detail::Int32Field("OpenPrice", kOpenPrice),
        detail::Field("padding2", kPadding2, 4, FieldKind::Reserved),
        detail::RecordField("WireContract", WireContractLayout::kFields)};
    static constexpr FieldTable kFields =
        detail::Table("WireAccountContract", kFixedSize, kFieldList);
};
static_assert(detail::Tiles(WireAccountContractLayout::kFields));

struct LMWIRE_API WireAccountContract {
    std::int32_t maxLotSize;
    std::int32_t positionLimit;
    std::int32_t position;
    unsigned char padding1[4];
    double pnl;
    std::int32_t pnlInTicks;
    std::int32_t overnightPosition;
    std::int32_t previousClose;
    std::int32_t previousSettle;
    std::int32_t openPrice;
    unsigned char padding2[4];
    WireContract contract;

    static constexpr std::size_t kFixedSize = WireAccountContractLayout::kFixedSize;

    // Zeroed block and a zeroed contract with empty texts.
    WireAccountContract();
    // Both fixed blocks byte for byte; texts as new strings of their own. Throws
    // _com_error(E_OUTOFMEMORY) when a text cannot be allocated; an assignment that throws leaves
    // the record as it was.
    WireAccountContract(const WireAccountContract& other);
    WireAccountContract& operator=(const WireAccountContract& other);
    ~WireAccountContract() = default;

    template <class Visitor>
    void VisitFlatForm(Visitor& visitor) {
        visitor.Block(this, kFixedSize);
        contract.VisitFlatForm(visitor);
    }
};

static_assert(offsetof(WireAccountContract, maxLotSize) == WireAccountContractLayout::kMaxLotSize);
static_assert(offsetof(WireAccountContract, positionLimit) ==
              WireAccountContractLayout::kPositionLimit);
static_assert(offsetof(WireAccountContract, position) == WireAccountContractLayout::kPosition);
static_assert(offsetof(WireAccountContract, padding1) == WireAccountContractLayout::kPadding1);
static_assert(offsetof(WireAccountContract, pnl) == WireAccountContractLayout::kPnl);
static_assert(offsetof(WireAccountContract, pnlInTicks) == WireAccountContractLayout::kPnlInTicks);
static_assert(offsetof(WireAccountContract, overnightPosition) ==
              WireAccountContractLayout::kOvernightPosition);
static_assert(offsetof(WireAccountContract, previousClose) ==
              WireAccountContractLayout::kPreviousClose);
static_assert(offsetof(WireAccountContract, previousSettle) ==
              WireAccountContractLayout::kPreviousSettle);
static_assert(offsetof(WireAccountContract, openPrice) == WireAccountContractLayout::kOpenPrice);
static_assert(offsetof(WireAccountContract, padding2) == WireAccountContractLayout::kPadding2);
static_assert(offsetof(WireAccountContract, contract) == WireAccountContract::kFixedSize);
// In memory on a 32-bit target: arrays of the record have this stride there.
static_assert(sizeof(void*) != 4 || sizeof(long) != 4 || sizeof(WireAccountContract) == 120);

class LMWIRE_API CLMWireAccountContract {
  public:
    // Copies source (never kept nor changed). Throws std::invalid_argument for a null source.
    CLMWireAccountContract(WireAccountContract* source);
    // Every account field 0; the embedded contract gets the given fields and texts.
    CLMWireAccountContract(long contractID, short exchangeID, short month, short year,
                           enumPriceFormatCode priceFormatCode, const std::string& symbol,
                           const std::string& name);
    // Deep: a record and a contract object of its own.
    CLMWireAccountContract(const CLMWireAccountContract& other);
    CLMWireAccountContract& operator=(const CLMWireAccountContract& other);
    ~CLMWireAccountContract();

    long getMaxLotSize();
    void setMaxLotSize(long maxLotSize);
    long getPositionLimit();
    void setPositionLimit(long positionLimit);
    long getPosition();
    void setPosition(long position);
    double getPnl();
    void setPnl(double pnl);
    long getPnlInTicks();
    void setPnlInTicks(long pnlInTicks);
    long getOvernightPosition();
    void setOvernightPosition(long overnightPosition);
    long getPreviousClose();
    void setPreviousClose(long previousClose);
    long getPreviousSettle();
    void setPreviousSettle(long previousSettle);
    long getOpenPrice();
    void setOpenPrice(long openPrice);

    // The contract object, built from the embedded contract at construction and independent of
    // it afterwards (fromPacket does not touch it). Owned by the account contract.
    CLMWireContract* getWireContract();
    // The owned record, whose embedded contract is what toPacket, fromPacket and GetSize use.
    WireAccountContract* getRawWireContract();
    // The owned record, read-only: every account field and the embedded contract as fromPacket
    // last left them.
    const WireAccountContract& GetRecord() const noexcept;
    // Rebuilds the contract object from the record's embedded contract, as the constructors
    // build it (a copy of the record with its own converter at the record's price format code),
    // so that getWireContract shows what fromPacket received. The object stays at the same
    // address: pointers and references to it that callers hold stay valid and see the new
    // values. A collection holding this account contract is not re-keyed: it keeps the entry
    // under the contract ID the entry was added with, whatever ID the rebuilt contract carries.
    // On an exception (allocation, text conversion) the contract object is unchanged.
    void RefreshWireContract();

    // The flat form: 48-byte block, 60-byte contract block, symbol, name. Neither checks the
    // buffer; the caller provides GetSize() bytes after offset, or a complete flat form.
    void toPacket(long& offset, unsigned char* buffer);
    void fromPacket(long& offset, unsigned char* buffer);
    // Checked: the offset must lie inside the `size` bytes at buffer, and the whole flat form
    // after it, both texts with their zero bytes. Otherwise throws std::length_error
    // (std::invalid_argument for null with a non-zero size); record and offset are unchanged.
    void fromPacket(long& offset, const unsigned char* buffer, std::size_t size);
    long GetSize();

  private:
    WireAccountContract* record_;
    CLMWireContract* contract_;
};

}  // namespace Lumera
