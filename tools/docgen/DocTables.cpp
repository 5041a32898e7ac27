#include "DocTables.h"

#include <cctype>
#include <stdexcept>

#include "wire_types/accounts/CLMWireAccount.h"
#include "wire_types/accounts/CLMWireAccountContract.h"
#include "wire_types/accounts/CLMWireContract.h"
#include "wire_types/orders/CLMWireOrder.h"
#include "wire_types/packets/ControlPackets.h"
#include "wire_types/packets/LogonPackets.h"
#include "wire_types/packets/WireAccountDataPacket.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/support/FieldTables.h"

namespace Lumera::docgen {
namespace {

// How the document presents a layout's offsets: a packet by its class's getters (`GetPort`), the
// price record by its view's (`LastPrice`), a raw record's block by its struct's members. A
// record whose block is a single field shows only its flat form.
enum class Style { Packet, View, Block, FlatOnly };

struct Documented {
    const FieldTable& table;
    Style style;
    bool lowerMembers;  // the struct's members start with a small letter (`month` for `Month`)
};

const Documented kDocumented[] = {
    {LogonResponsePacketLayout::kFields, Style::Packet, false},
    {UDPLogOnPacketLayout::kFields, Style::Packet, false},
    {TCPLogonReconnectPacketLayout::kFields, Style::Packet, false},
    {WirePriceProtocolPacketLayout::kFields, Style::Packet, false},
    {WireHolePunchDelayPacketLayout::kFields, Style::Packet, false},
    {StartLogFileSendLayout::kFields, Style::Packet, false},
    {CLMWirePriceSubscriptionPacketLayout::kFields, Style::Packet, false},
    {WireAccountDataPacketLayout::kHeaderFields, Style::Packet, false},
    {WireAccountDataPacketLayout::kEntryFields, Style::Packet, false},
    {PriceRecordLayout::kFields, Style::View, false},
    {WireContractLayout::kFields, Style::Block, true},
    {WireAccountContractLayout::kFields, Style::Block, true},
    {WireAccountLayout::kFields, Style::FlatOnly, true},
    {WireOrderLayout::kFields, Style::Block, false},
};

bool Variable(const WireField& field) {
    return field.offset == WireField::kFollows;
}

bool HasFlatForm(const FieldTable& table) {
    for (const WireField& field : table) {
        if (Variable(field)) {
            return true;
        }
    }
    return false;
}

const Documented& Find(const std::string& name) {
    for (const Documented& documented : kDocumented) {
        if (name == documented.table.name) {
            return documented;
        }
    }
    throw std::runtime_error("no field table is named " + name);
}

std::string Code(const std::string& text) {
    return "`" + text + "`";
}

// The canonical name as words: `GateKeeperSessionID` is "gate keeper session id", `reserved1`
// "reserved".
std::string Words(const char* name) {
    std::string words = Spell(name, Spelling::Snake);
    while (!words.empty() && std::isdigit(static_cast<unsigned char>(words.back()))) {
        words.pop_back();
    }
    for (char& c : words) {
        c = c == '_' ? ' ' : c;
    }
    return words;
}

std::string Member(const char* name, bool lower) {
    std::string member = name;
    if (lower) {
        member[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(member[0])));
    }
    return member;
}

std::string Bits(std::size_t size) {
    return std::to_string(8 * size) + "-bit";
}

std::string Type(const WireField& field) {
    const std::string levels = std::to_string(field.count) + " x ";
    switch (field.kind) {
        case FieldKind::Signed:
            return field.type != nullptr ? Code(field.type) + ", " + Bits(field.size)
                                         : "signed " + Bits(field.size);
        case FieldKind::Unsigned:
            return field.type != nullptr ? Code(field.type) + ", " + Bits(field.size)
                                         : "unsigned " + Bits(field.size);
        case FieldKind::Double:
            return "IEEE 754 double";
        case FieldKind::OleDate:
            return "OLE date";
        case FieldKind::Text:
            return "text, capacity " + std::to_string(field.size) + " (at most " +
                   std::to_string(field.size - 1) + " characters)";
        case FieldKind::Reserved:
            return "bytes";
        case FieldKind::DepthPrice:
            return levels + "signed 8-bit";
        case FieldKind::DepthSize:
            return levels + "unsigned 16-bit";
        case FieldKind::FlatText:
        case FieldKind::Record:
        case FieldKind::Records:
            break;
    }
    throw std::logic_error(std::string(field.name) + " has no offset");
}

// A depth side is two rows of one name: its offsets, then its sizes.
std::string Key(const WireField& field) {
    const char* part = field.kind == FieldKind::DepthPrice  ? "Price"
                       : field.kind == FieldKind::DepthSize ? "Size"
                                                            : "";
    return field.name + std::string(part);
}

std::string FieldWords(const WireField& field) {
    const std::string levels = ", levels 0 to " + std::to_string(field.count - 1);
    if (field.kind == FieldKind::DepthPrice) {
        return Words(field.name) + " offsets" + levels + ", counted " +
               (field.direction < 0 ? "down" : "up") + " from the last price";
    }
    if (field.kind == FieldKind::DepthSize) {
        return Words(field.name) + " sizes" + levels;
    }
    return Words(field.name);
}

std::string Getter(const WireField& field, Style style) {
    if (field.kind == FieldKind::Reserved) {
        return "none";
    }
    if (field.kind == FieldKind::DepthPrice || field.kind == FieldKind::DepthSize) {
        return Code(field.name + std::string(field.kind == FieldKind::DepthPrice ? "(level).price"
                                                                                 : "(level).size"));
    }
    return Code((style == Style::Packet ? "Get" : "") + std::string(field.name));
}

DocTable Offsets(const Documented& documented) {
    DocTable table;
    const bool block = documented.style == Style::Block;
    table.heads = block ? std::vector<std::string>{"Offset", "Size", "Type", "Meaning", "Member"}
                        : std::vector<std::string>{
                              "Offset", "Size", "Field", "Type",
                              documented.style == Style::View ? "View getter" : "Getter"};
    table.rightAligned = {true, true, false, false, false};
    for (const WireField& field : documented.table) {
        if (Variable(field)) {
            continue;
        }
        const std::string offset = std::to_string(field.offset);
        const std::string size = std::to_string(field.size);
        if (block) {
            const std::string meaning =
                field.kind == FieldKind::Reserved
                    ? Words(field.name)
                    : Words(field.name) + " (" + Code("get" + std::string(field.name)) + ")";
            table.rows.push_back({Key(field),
                                  {offset, size, Type(field), meaning,
                                   Code(Member(field.name, documented.lowerMembers))}});
        } else {
            table.rows.push_back(
                {Key(field),
                 {offset, size, FieldWords(field), Type(field), Getter(field, documented.style)}});
        }
    }
    return table;
}

// The parts of a flat form in order: the fixed block, then each text and record that follows
// it, a record's own parts spelled out where it is embedded once and named where it repeats.
void FlatParts(const FieldTable& table, bool lowerMembers, const std::string& within,
               DocTable& out) {
    const std::string embedded = within.empty() ? "" : " of the embedded " + Code(table.name);
    out.rows.push_back(
        {within.empty() ? "block" : within,
         {std::to_string(table.fixedSize),
          within.empty() ? "the fixed block below"
                         : "the fixed block" + embedded + " (see " + table.name + ")"}});
    const std::string prefix = within.empty() ? "" : within + ".";
    for (const WireField& field : table) {
        const std::string member = Code(Member(field.name, lowerMembers));
        switch (field.kind) {
            case FieldKind::FlatText:
                out.rows.push_back(
                    {prefix + field.name,
                     {"text", within.empty()
                                  ? member + " (" + Code("get" + std::string(field.name)) + ")"
                                  : member + embedded}});
                break;
            case FieldKind::Record:
                FlatParts(*field.nested, Find(field.nested->name).lowerMembers, prefix + field.name,
                          out);
                break;
            case FieldKind::Records:
                out.rows.push_back({prefix + field.name,
                                    {"array", "a signed 32-bit count N, then N flat forms of " +
                                                  Code(field.nested->name)}});
                break;
            default:
                break;
        }
    }
}

DocTable FlatForm(const Documented& documented) {
    DocTable table;
    table.heads = {"Size", "Content"};
    table.rightAligned = {false, false};
    FlatParts(documented.table, documented.lowerMembers, "", table);
    return table;
}

}  // namespace

std::vector<Placeholder> Placeholders() {
    std::vector<Placeholder> all;
    for (const Documented& documented : kDocumented) {
        if (documented.style != Style::FlatOnly) {
            all.push_back({Form::Offsets, documented.table.name});
        }
        if (HasFlatForm(documented.table)) {
            all.push_back({Form::FlatForm, documented.table.name});
        }
    }
    return all;
}

DocTable Derive(const Placeholder& placeholder) {
    const Documented& documented = Find(placeholder.name);
    if (placeholder.form == Form::FlatForm) {
        if (!HasFlatForm(documented.table)) {
            throw std::runtime_error(placeholder.name + " has no flat form");
        }
        return FlatForm(documented);
    }
    if (documented.style == Style::FlatOnly) {
        throw std::runtime_error(placeholder.name + " is shown by its flat form only");
    }
    return Offsets(documented);
}

bool Notable(const std::string& head) {
    return head != "Offset" && head != "Size" && head != "Type";
}

std::string Markdown(const DocTable& table) {
    std::string text = "|";
    std::string rule = "|";
    for (std::size_t i = 0; i < table.heads.size(); ++i) {
        text += " " + table.heads[i] + " |";
        rule += table.rightAligned[i] ? "---:|" : "---|";
    }
    text += "\n" + rule + "\n";
    for (const DocRow& row : table.rows) {
        text += "|";
        for (const std::string& cell : row.cells) {
            text += " " + cell + " |";
        }
        text += "\n";
    }
    return text;
}

}  // namespace Lumera::docgen
