#pragma once

// The parts of the Wireshark dissector that the library describes, written as Lua: the record's
// layout, its fields with their filter names, and the price formats. Each block is named by the
// marker that stands for it in the dissector's template.

#include <map>
#include <string>

namespace lmwire_dissector {

// The blocks by marker ("@FIELDS@", ...). Throws std::logic_error where the library holds
// something that the template's Lua cannot show (a field kind or a display format it does not
// know), so that a change there stops the generator instead of producing a wrong dissector.
std::map<std::string, std::string> LuaBlocks();

}  // namespace lmwire_dissector
