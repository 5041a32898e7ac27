#pragma once

// The tool's commands called in this process, by their command-line words: standard output
// collected, and a BadInput turned into the status and message that the program gives it. What
// the program itself adds (parsing, exit codes, the "lmwire:" line) is tested by running it.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "../TestText.h"

namespace lmwire_test {

struct Outcome {
    int status = 0;  // 0, or 2 for bad input
    std::string out;
    std::string err;  // standard error, then the refusal
};

Outcome Call(const std::function<void()>& command);
// decode, encode, price, ticks, formats, synth prices; `input` is decode's and encode's
// --from-* file when none is named.
Outcome Tool(const std::vector<std::string>& args, const std::string& input = "");
// The words of a command line split at its blanks.
std::vector<std::string> Words(const std::string& line);

// The decoded JSON as NAME=VALUE arguments to encode again, leaving out what encode cannot set:
// what encode writes.
std::string Encode(const std::string& kind, const Json& decoded, bool binary);

// A file of its own under the test's temporary directory, holding `content`: its path.
std::string TempFile(const std::string& name, const std::string& content = "");

template <class Packet>
Bytes Encoded(const Packet& packet) {
    long length = 0;
    unsigned char* buffer = packet.Encode(&length);
    Bytes bytes(buffer, buffer + length);
    delete[] buffer;
    return bytes;
}

}  // namespace lmwire_test
