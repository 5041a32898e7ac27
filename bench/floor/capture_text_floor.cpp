// The floor of `lmwire decode price-record --binary FILE`: the same text lines from the same
// records with the least work that writes them. No library, no option, no check: the file is
// read in large blocks, each field is written with std::to_chars into one large buffer, and the
// display text is worked out for the four price formats of `lmwire synth prices` only (a capture
// from synth, every price >= 0). Used to time the tool against:
//
//   capture_text_floor FILE > /dev/null

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

template <class T>
T Load(const unsigned char* bytes) {
    T value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

struct Format {
    int code;
    std::int32_t primary;    // steps in a unit
    std::int32_t secondary;  // ticks in a step
    int multiplier;          // of the primary part
    int width;               // digits of the primary part
    const char* last;        // the character of each secondary remainder, or null
};
constexpr Format kFormats[] = {{9, 32, 4, 1, 2, "0257"},
                               {14, 100, 1, 1, 2, nullptr},
                               {25, 4, 1, 25, 2, nullptr},
                               {37, 10000, 1, 1, 4, nullptr}};

char* Int(char* at, std::int64_t value) {
    return std::to_chars(at, at + 24, value).ptr;
}

char* Text(char* at, const char* text, std::size_t length) {
    std::memcpy(at, text, length);
    return at + length;
}

template <std::size_t N>
char* Text(char* at, const char (&text)[N]) {
    return Text(at, text, N - 1);
}

char* Display(char* at, int code, std::int32_t ticks) {
    for (const Format& format : kFormats) {
        if (format.code != code) {
            continue;
        }
        const std::int32_t remainder = ticks % format.secondary;
        const std::int32_t steps = ticks / format.secondary;
        at = Int(at, steps / format.primary);
        *at++ = '.';
        std::int32_t part = steps % format.primary * format.multiplier;
        char digits[8];
        for (int i = format.width - 1; i >= 0; --i) {
            digits[i] = static_cast<char>('0' + part % 10);
            part /= 10;
        }
        at = Text(at, digits, static_cast<std::size_t>(format.width));
        if (format.last != nullptr) {
            *at++ = format.last[remainder];
        }
    }
    return at;
}

char* Depth(char* at, const unsigned char* record, std::int32_t last, int offsets, int sizes,
            int direction) {
    for (int level = 0; level < 10; ++level) {
        const auto offset = static_cast<std::int8_t>(record[offsets + level]);
        at = Int(at, static_cast<std::int32_t>(static_cast<std::uint32_t>(last) +
                                               static_cast<std::uint32_t>(direction * offset)));
        *at++ = ':';
        at = Int(at, Load<std::uint16_t>(record + sizes + 2 * level));
        *at++ = level < 9 ? ',' : ' ';
    }
    return at;
}

char* Line(char* at, const unsigned char* r) {
    const auto last = Load<std::int32_t>(r + 6);
    at = Int(Text(at, "PriceType="), r[0]);
    at = Int(Text(at, " PriceFormatCode="), r[1]);
    at = Int(Text(at, " LastSize="), Load<std::uint16_t>(r + 2));
    at = Int(Text(at, " LumeraID="), Load<std::uint16_t>(r + 4));
    at = Int(Text(at, " LastPrice="), last);
    at = Int(Text(at, " TotalVolume="), Load<std::int32_t>(r + 10));
    at = Int(Text(at, " TimeStamp="), Load<std::int32_t>(r + 14));
    at = Int(Text(at, " High="), Load<std::int32_t>(r + 18));
    at = Int(Text(at, " Low="), Load<std::int32_t>(r + 22));
    at = Depth(Text(at, " Bids="), r, last, 26, 36, -1);
    at = Depth(Text(at, "Asks="), r, last, 56, 66, 1);
    at = Display(Text(at, "LastPriceText=\""), r[1], last);
    return Text(at, "\"\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: capture_text_floor FILE > OUT\n");
        return 2;
    }
    std::FILE* in = std::fopen(argv[1], "rb");
    if (in == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    constexpr std::size_t kRecords = 4096;
    std::vector<unsigned char> records(86 * kRecords);
    std::vector<char> out(kRecords * 1024);
    for (;;) {
        const std::size_t got = std::fread(records.data(), 86, kRecords, in);
        char* at = out.data();
        for (std::size_t i = 0; i < got; ++i) {
            at = Line(at, records.data() + 86 * i);
        }
        const auto length = static_cast<std::size_t>(at - out.data());
        if (std::fwrite(out.data(), 1, length, stdout) != length) {
            return 1;
        }
        if (got < kRecords) {
            break;
        }
    }
    std::fclose(in);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
