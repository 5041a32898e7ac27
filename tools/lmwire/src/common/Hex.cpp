#include "common/Hex.h"

#include <cctype>

#include <fmt/format.h>

#include "common/Errors.h"

namespace lmwire {
namespace {

int DigitValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

std::string Describe(char c) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isprint(byte)) {
        return std::string("'") + c + "'";
    }
    static const char* const kDigits = "0123456789abcdef";
    return std::string("byte 0x") + kDigits[byte >> 4] + kDigits[byte & 15];
}

}  // namespace

void HexDecoder::Feed(std::string_view text, Bytes& out) {
    for (const char c : text) {
        const std::uint64_t at = offset_++;
        if (std::isspace(static_cast<unsigned char>(c))) {
            continue;
        }
        const int value = DigitValue(c);
        if (value < 0) {
            throw BadInput(fmt::format("not hex: {} at offset {} of the input", Describe(c), at));
        }
        ++digits_;
        if (high_ < 0) {
            high_ = value;
        } else {
            out.push_back(static_cast<unsigned char>(high_ << 4 | value));
            high_ = -1;
        }
    }
}

void HexDecoder::Finish() const {
    if (high_ >= 0) {
        throw BadInput(fmt::format("odd number of hex digits ({}): every byte takes two", digits_));
    }
}

Bytes ParseHex(std::string_view text) {
    Bytes bytes;
    bytes.reserve(text.size() / 2);
    HexDecoder decoder;
    decoder.Feed(text, bytes);
    decoder.Finish();
    return bytes;
}

std::string FormatHex(const unsigned char* bytes, std::size_t size) {
    static const char* const kDigits = "0123456789abcdef";
    std::string out;
    out.reserve(size * 3 + 1);
    for (std::size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 15];
        out += (i % 16 == 15 || i + 1 == size) ? '\n' : ' ';
    }
    return out;
}

}  // namespace lmwire
