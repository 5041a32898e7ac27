#pragma once

// Runs the built lmwire program with arguments and standard input, and collects its output and
// exit status.

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace lmwire_test {

using Json = nlohmann::ordered_json;
using Bytes = std::vector<unsigned char>;

struct Result {
    int status = -1;  // the exit status, or 128 + signal when the program was killed
    std::string out;
    std::string err;
};

Result RunTool(const std::vector<std::string>& args, const std::string& input = "");

// A directory of its own for each test, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string Path(const std::string& name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

std::string ToHex(const Bytes& bytes);
Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
std::vector<std::string> Lines(const std::string& text);

template <class Packet>
Bytes Encoded(const Packet& packet) {
    long length = 0;
    unsigned char* buffer = packet.Encode(&length);
    Bytes bytes(buffer, buffer + length);
    delete[] buffer;
    return bytes;
}

}  // namespace lmwire_test
