// The variable-length records: account figures and the flat form of an account contract, read
// and written by their layouts' field tables, with the library's classes between the bytes given
// and the bytes read or written.

#include <memory>

#include <fmt/format.h>

#include "common/Errors.h"
#include "records/Kinds.h"
#include "records/TableFields.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/support/FieldValues.h"

namespace lmwire {
namespace {

using DataLayout = Lumera::WireAccountDataPacketLayout;
constexpr const Lumera::FieldTable& kHeader = DataLayout::kHeaderFields;
constexpr const Lumera::FieldTable& kEntry = DataLayout::kEntryFields;
// The header's count of entries, which follows from the list.
constexpr const char* kNumEntries = "NumEntries";

const Lumera::WireField& CountRow() {
    for (const Lumera::WireField& row : kHeader) {
        if (std::string_view(row.name) == kNumEntries) {
            return row;
        }
    }
    throw std::logic_error("the account data header has no entry count");
}

Bytes EncodeData(const Lumera::WireAccountDataPacket& packet) {
    const std::unique_ptr<unsigned char[]> wire(packet.Encode());
    return Bytes(wire.get(), wire.get() + kHeader.fixedSize +
                                 kEntry.fixedSize * static_cast<std::size_t>(packet.NumEntries()));
}

// The packet keeps one entry per kind, the entry's first field: the first one given again.
[[noreturn]] void ThrowRepeatedEntry(const Field& list, const Json& entries) {
    const std::string key = list.element.front().name;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (entries[j].at(key) == entries[i].at(key)) {
                throw BadInput(list.name + ": " +
                               Lumera::Spell(key.c_str(), Lumera::Spelling::Snake) + " " +
                               entries[i].at(key).dump() + " is given twice");
            }
        }
    }
    throw std::logic_error("the account data packet dropped an entry");
}

Kind AccountData() {
    Kind kind{"account-data",
              "an account's figures: account, then count and (kind, double) entries",
              std::nullopt,
              FieldsOf(kHeader),
              {},
              {}};
    FieldNamed(kind.fields, kNumEntries).derived = true;
    kind.fields.push_back(ListOf(kEntry));
    kind.decode = [](const Bytes& bytes) {
        if (bytes.size() < kHeader.fixedSize) {
            throw BadInput(
                fmt::format("account-data takes at least {} bytes (account and count), got {}",
                            kHeader.fixedSize, bytes.size()));
        }
        // The library accepts trailing bytes; a record given alone must end with its entries.
        const std::int64_t count = Lumera::ReadInteger(CountRow(), bytes.data());
        if (count < 0) {
            throw BadInput(fmt::format("account-data: negative entry count {}", count));
        }
        const std::uint64_t needed =
            kHeader.fixedSize + kEntry.fixedSize * static_cast<std::uint64_t>(count);
        if (bytes.size() != needed) {
            throw BadInput(fmt::format("account-data: count {} needs {} bytes, got {}", count,
                                       needed, bytes.size()));
        }
        const Bytes wire =
            EncodeData(Lumera::WireAccountDataPacket::FromBytes(bytes.data(), bytes.size()));
        Json values = Json::object();
        ReadFixed(kHeader, wire.data(), values);
        Json entries = Json::array();
        for (std::size_t at = kHeader.fixedSize; at < wire.size(); at += kEntry.fixedSize) {
            Json entry = Json::object();
            ReadFixed(kEntry, &wire[at], entry);
            entries.push_back(std::move(entry));
        }
        values[kEntry.name] = std::move(entries);
        return values;
    };
    kind.encode = [list = kind.fields.back()](const Json& values) {
        const Json& entries = values.at(list.name);
        Json header = values;
        header[kNumEntries] = entries.size();
        Bytes wire(kHeader.fixedSize + kEntry.fixedSize * entries.size());
        WriteFixed(kHeader, wire.data(), header);
        for (std::size_t i = 0; i < entries.size(); ++i) {
            WriteFixed(kEntry, &wire[kHeader.fixedSize + i * kEntry.fixedSize], entries[i]);
        }
        const auto packet = Lumera::WireAccountDataPacket::FromBytes(wire.data(), wire.size());
        if (static_cast<std::size_t>(packet.NumEntries()) != entries.size()) {
            ThrowRepeatedEntry(list, entries);
        }
        return EncodeData(packet);
    };
    return kind;
}

constexpr const Lumera::FieldTable& kContract = Lumera::WireAccountContractLayout::kFields;

// The flat form as the library writes it back after reading it.
Bytes ThroughLibrary(const Bytes& flat) {
    Lumera::CLMWireAccountContract received(0, 0, 0, 0, Lumera::pfcNone, "", "");
    long offset = 0;
    received.fromPacket(offset, flat.data(), flat.size());
    Bytes wire(static_cast<std::size_t>(received.GetSize()));
    offset = 0;
    received.toPacket(offset, wire.data());
    return wire;
}

Kind AccountContract() {
    Kind kind{"account-contract",
              "flat form of an account contract: 48-byte block, 60-byte contract, symbol, name",
              std::nullopt,
              FieldsOf(kContract),
              {},
              {}};
    kind.decode = [](const Bytes& bytes) {
        const std::size_t minimum = FlatMinimum(kContract);
        if (bytes.size() < minimum) {
            throw BadInput(
                fmt::format("account-contract takes at least {} bytes (two blocks and two "
                            "terminated texts), got {}",
                            minimum, bytes.size()));
        }
        const char* unterminated = nullptr;
        const std::size_t end = FlatEnd(kContract, bytes, 0, unterminated);
        if (end == 0) {
            throw BadInput("account-contract: the " +
                           Lumera::Spell(unterminated, Lumera::Spelling::Snake) +
                           " has no terminating zero byte");
        }
        if (end != bytes.size()) {
            throw BadInput(fmt::format("account-contract: {} bytes follow the flat form ({} bytes)",
                                       bytes.size() - end, end));
        }
        Json values = Json::object();
        ReadFlat(kContract, ThroughLibrary(bytes), 0, values);
        return values;
    };
    kind.encode = [](const Json& values) {
        Bytes flat;
        AppendFlat(kContract, values, flat);
        return ThroughLibrary(flat);
    };
    return kind;
}

}  // namespace

void AddAccountKinds(std::vector<Kind>& kinds) {
    kinds.push_back(AccountData());
    kinds.push_back(AccountContract());
}

}  // namespace lmwire
