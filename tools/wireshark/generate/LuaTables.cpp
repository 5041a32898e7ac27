#include "LuaTables.h"

#include <cstddef>
#include <cstdio>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "wire_types/price/Price.h"
#include "wire_types/price/PriceRecord.h"
#include "wire_types/price/detail/DisplayPlan.h"
#include "wire_types/price/detail/PriceFormat.h"
#include "wire_types/support/FieldTables.h"

namespace lmwire_dissector {
namespace {

using Lumera::FieldKind;
using Lumera::PriceRecordLayout;
using Lumera::Spell;
using Lumera::Spelling;
using Lumera::WireField;

std::string Quoted(const std::string& text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + '"';
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// The ProtoField constructor of an integer of the field's width and sign.
std::string IntegerType(const WireField& field) {
    const std::string bits = std::to_string(8 * field.size);
    if (field.kind == FieldKind::Unsigned) {
        return "uint" + bits;
    }
    if (field.kind == FieldKind::Signed) {
        return "int" + bits;
    }
    throw std::logic_error(std::string("the dissector shows no field of the kind of ") +
                           field.name);
}

// A depth level's size: one of `count` unsigned integers.
std::string LevelType(const WireField& sizes) {
    return "uint" + std::to_string(8 * sizes.size / static_cast<std::size_t>(sizes.count));
}

// What the template makes a ProtoField of: {filter name, label, ProtoField constructor}.
std::string ProtoFieldLine(const std::string& filter, const std::string& label,
                           const std::string& type) {
    return "{" + Quoted(filter) + ", " + Quoted(label) + ", " + Quoted(type) + "}";
}

std::string RecordBlock() {
    return "local RECORD = " + std::to_string(PriceRecordLayout::kSize) +
           "\nlocal LEVELS = " + std::to_string(PriceRecordLayout::kLevels) +
           "\nlocal FORMAT_CODE_AT = " + std::to_string(PriceRecordLayout::kPriceFormatCode) +
           "\nlocal LUMERA_ID_AT = " + std::to_string(PriceRecordLayout::kLumeraID) +
           "\nlocal LAST_PRICE_AT = " + std::to_string(PriceRecordLayout::kLastPrice) + "\n";
}

const WireField& Find(FieldKind kind, const char* name) {
    for (const WireField& field : PriceRecordLayout::kFields) {
        if (field.kind == kind && std::string(field.name) == name) {
            return field;
        }
    }
    throw std::logic_error(std::string("the price record has no field ") + name);
}

// A depth price is a price as the last price is, computed from it.
std::string PriceType() {
    return IntegerType(Find(FieldKind::Signed, "LastPrice"));
}

std::string SideBlock(const WireField& prices, const WireField& sizes) {
    const std::string name = prices.name;
    std::string block = "    {\n        name = " + Quoted(name) +
                        ", offsets = " + std::to_string(prices.offset) +
                        ", sizes = " + std::to_string(sizes.offset) +
                        ", direction = " + std::to_string(prices.direction) + ",\n";
    block += "        price = " +
             ProtoFieldLine(Spell(prices, Spelling::Wireshark), name + " price (any level)",
                            PriceType()) +
             ",\n";
    block += "        size = " +
             ProtoFieldLine(Spell(sizes, Spelling::Wireshark), name + " size (any level)",
                            LevelType(sizes)) +
             ",\n";
    for (const WireField* field : {&prices, &sizes}) {
        const bool price = field == &prices;
        block += price ? "        level_prices = {\n" : "        level_sizes = {\n";
        for (int level = 0; level < field->count; ++level) {
            block += "            " +
                     ProtoFieldLine(Spell(*field, Spelling::Wireshark, level),
                                    Spell(*field, Spelling::Json, level),
                                    price ? PriceType() : LevelType(sizes)) +
                     ",\n";
        }
        block += "        },\n";
    }
    return block + "    },\n";
}

std::string FieldsBlock() {
    std::string scalars = "local SCALARS = {\n";
    std::string sides = "local SIDES = {\n";
    for (const WireField& field : PriceRecordLayout::kFields) {
        if (field.kind == FieldKind::DepthPrice) {
            sides += SideBlock(field, Find(FieldKind::DepthSize, field.name));
        } else if (field.kind != FieldKind::DepthSize) {
            const std::string line =
                ProtoFieldLine(Spell(field, Spelling::Wireshark), field.name, IntegerType(field));
            scalars += "    {" + line.substr(1, line.size() - 2) + ", " +
                       std::to_string(field.offset) + ", " + std::to_string(field.size) + "},\n";
        }
    }
    return scalars + "}\nlocal LAST_PRICE_TEXT = " +
           ProtoFieldLine(Spell("LastPriceText", Spelling::Wireshark), "LastPriceText", "string") +
           "\n" + sides + "}\n";
}

// The template's display writer hands the row's format to string.format with a "%c" as "%s" of
// the selected character, or of nothing where the character is the terminator: that is printf's
// text only where the "%c" ends the format.
void CheckFormat(int code, const char* format) {
    const Lumera::detail::DisplayPlan plan = Lumera::detail::PlanOf(format);
    for (int i = 0; i < plan.count; ++i) {
        const bool last = i == plan.count - 1;
        if (plan.conversions[i].character && (!last || plan.tailLength != 0)) {
            throw std::logic_error("the display format of code " + std::to_string(code) +
                                   " has a %c before its end");
        }
    }
}

std::string FormatsBlock() {
    std::string block =
        "local SHIFTED_REMAINDER = " + std::to_string(Lumera::detail::kShiftedRemainderCode) +
        "\nlocal FORMATS = {\n";
    for (const Lumera::price::FormatInfo* info = Lumera::price::begin();
         info != Lumera::price::end(); ++info) {
        const Lumera::PriceFormat& row =
            Lumera::kPriceFormatTable[static_cast<std::size_t>(info->code - 1)];
        CheckFormat(info->code, row.sprintfFormat);
        block += "    [" + std::to_string(info->code) + "] = {" +
                 std::to_string(row.primaryFraction) + ", " +
                 std::to_string(row.secondaryFraction) + ", " +
                 (row.lastDigitString != nullptr ? Quoted(row.lastDigitString) : "false") + ", " +
                 Quoted(row.sprintfFormat) + ", " + Number(row.primaryFractionMultiplier) + "},\n";
    }
    return block + "}\n";
}

}  // namespace

std::map<std::string, std::string> LuaBlocks() {
    return {
        {"@RECORD@", RecordBlock()}, {"@FIELDS@", FieldsBlock()}, {"@FORMATS@", FormatsBlock()}};
}

}  // namespace lmwire_dissector
