#pragma once

// What both test programs of the tool need to look at bytes and text, written once.

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace lmwire_test {

using Json = nlohmann::ordered_json;
using Bytes = std::vector<unsigned char>;

inline std::string ToHex(const Bytes& bytes) {
    static const char* const kDigits = "0123456789abcdef";
    std::string text;
    for (const unsigned char byte : bytes) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

// The lines of a text, or its parts between separators when each part ends with one.
inline std::vector<std::string> Lines(const std::string& text, char separator = '\n') {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, separator);) {
        lines.push_back(line);
    }
    return lines;
}

inline std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace lmwire_test
