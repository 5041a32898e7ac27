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
    return std::isprint(byte) ? fmt::format("'{}'", c) : fmt::format("byte 0x{:02x}", byte);
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
    std::string out;
    out.reserve(size * 3 + 1);
    for (std::size_t i = 0; i < size; ++i) {
        fmt::format_to(std::back_inserter(out), "{:02x}{}", bytes[i],
                       i % 16 == 15 || i + 1 == size ? '\n' : ' ');
    }
    return out;
}

}  // namespace lmwire
