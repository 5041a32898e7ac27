#include "common/Text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "wire_types/support/CodePage.h"

#include "common/Errors.h"

namespace lmwire {
namespace {

void AppendEscape(std::string& out, char kind, unsigned value, int digits) {
    fmt::format_to(std::back_inserter(out), "\\{}{:0{}x}", kind, value, digits);
}

// Valid UTF-8 with its controls escaped. Every control is a byte of its own but the C1 controls,
// which UTF-8 writes as C2 80 to C2 9F (some terminals act on them: 0x9B starts a sequence).
void AppendValid(std::string& out, std::string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\\') {
            out += "\\\\";
        } else if (byte == '\n') {
            out += "\\n";
        } else if (byte == '\t') {
            out += "\\t";
        } else if (byte == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            AppendEscape(out, 'x', byte, 2);
        } else if (byte == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            AppendEscape(out, 'u', static_cast<unsigned char>(text[++i]), 4);
        } else {
            out += text[i];
        }
    }
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view narrow) {
    return Lumera::cp1252::ToUtf8(narrow);
}

// The code page's judgement of UTF-8 splits the text: what it takes is valid, a malformed
// sequence is escaped byte by byte, and a character it lacks is still valid UTF-8.
std::string Escaped(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::optional<Lumera::cp1252::Refused> refused = Lumera::cp1252::FindRefused(text);
        const std::size_t valid = refused ? refused->offset : text.size();
        AppendValid(out, text.substr(0, valid));
        text.remove_prefix(valid);
        if (!refused) {
            break;
        }
        const auto lead = static_cast<unsigned char>(text.front());
        if (refused->reason == Lumera::cp1252::Refusal::Malformed) {
            AppendEscape(out, 'x', lead, 2);
            text.remove_prefix(1);
        } else {
            // Never ASCII, which the code page holds whole; the lead byte tells the length.
            const std::size_t length = lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
            AppendValid(out, text.substr(0, length));
            text.remove_prefix(length);
        }
    }
    return out;
}

std::string Quoted(std::string_view text) {
    // Built by appending: GCC 12 warns falsely about "literal" + std::string&& (its bug 105329).
    std::string quoted = "'";
    quoted += Escaped(text);
    quoted += '\'';
    return quoted;
}

std::string Utf8ToCp1252(std::string_view utf8, const std::string& what) {
    const std::optional<Lumera::cp1252::Refused> refused = Lumera::cp1252::FindRefused(utf8);
    // The code page has a byte for NUL, which a C string of the wire cannot carry; the first fault
    // in the text is the one named. A zero byte is NUL wherever it stands in valid UTF-8.
    const std::size_t nul = utf8.find('\0');
    if (nul != std::string_view::npos && (!refused || nul < refused->offset)) {
        throw BadInput(what + ": text holds a NUL character");
    }
    if (refused) {
        throw BadInput(what + (refused->reason == Lumera::cp1252::Refusal::Malformed
                                   ? ": text is not valid UTF-8"
                                   : ": text holds a character that Windows-1252 cannot express"));
    }
    return *Lumera::cp1252::FromUtf8(utf8);
}

namespace {

// from_chars takes a '-' but no '+'; a leading '+' is allowed here, once, and only before a
// digit or a point, so that "+-5" is not read as -5.
std::string_view WithoutPlus(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
            return {};
        }
    }
    return text;
}

}  // namespace

std::int64_t ParseInteger(std::string_view text, std::int64_t min, std::int64_t max,
                          const std::string& what) {
    const std::string_view digits = WithoutPlus(text);
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || end != digits.data() + digits.size() ||
        ec == std::errc::invalid_argument) {
        throw BadInput(what + ": " + Quoted(text) + " is not an integer");
    }
    if (ec == std::errc::result_out_of_range || value < min || value > max) {
        throw BadInput(fmt::format("{}: {} is out of range {}..{}", what, text, min, max));
    }
    return value;
}

double ParseDouble(std::string_view text, const std::string& what) {
    const std::string_view digits = WithoutPlus(text);
    double value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || end != digits.data() + digits.size() ||
        ec == std::errc::invalid_argument) {
        throw BadInput(what + ": " + Quoted(text) + " is not a number");
    }
    if (ec != std::errc()) {
        throw BadInput(what + ": " + Quoted(text) + " is out of the range of a double");
    }
    return value;
}

std::string FormatDouble(double value) {
    std::array<char, 64> buffer{};
    const auto [end, ec] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    return ec == std::errc() ? std::string(buffer.data(), end) : std::string("?");
}

}  // namespace lmwire
