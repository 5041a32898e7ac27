#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lmwire {

using Bytes = std::vector<unsigned char>;

// Hex text decoded piece by piece as it is read: hex digits with any white space between them,
// BadInput at the first character that is anything else, so that an input that is not hex is
// refused at once however long it is.
class HexDecoder {
  public:
    // Appends the bytes that `text`, the next piece of the input, completes.
    void Feed(std::string_view text, Bytes& out);
    // At the end of the input: BadInput when a digit is left without its pair.
    void Finish() const;

  private:
    int high_ = -1;
    std::uint64_t offset_ = 0;
    std::uint64_t digits_ = 0;
};

// A whole hex text at once, as HexDecoder reads it.
Bytes ParseHex(std::string_view text);
// Lower-case, bytes separated by spaces, 16 to a line, ending with a newline.
std::string FormatHex(const unsigned char* bytes, std::size_t size);

}  // namespace lmwire
