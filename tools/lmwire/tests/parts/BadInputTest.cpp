// Every kind of bad input is refused before any output, with one line that names what is wrong.

#include <gtest/gtest.h>

#include <tuple>

#include "Parts.h"
#include "wire_types/price/Price.h"

namespace lmwire_test {
namespace {

struct BadCase {
    std::string command;  // its words, split at blanks
    std::string message;  // part of the one line on standard error
    std::string input = "";
    std::vector<std::string> args = {};  // instead of the command, for words holding blanks
};

// `bytes` zero bytes as hex.
std::string Hex(std::size_t bytes) {
    return std::string(2 * bytes, '0');
}

std::string TextHex(const std::string& text) {
    return ToHex(Bytes(text.begin(), text.end()));
}

std::vector<BadCase> MakeCases() {
    const std::string json = "encode price-record Bids=[{\"P";
    std::vector<BadCase> cases = {
        // Wrong length for a fixed packet; account data whose count does not fit the bytes.
        {"decode logon-response", "logon-response takes 8 bytes, got 3", "000000"},
        {"decode tcp-logon-reconnect", "takes 424 bytes, got 425", Hex(425)},
        {"decode price-subscription", "takes 108 bytes, got 0"},
        {"decode hole-punch-delay --binary", "hole-punch-delay takes 4 bytes, got 3", "abc"},
        {"decode account-data", "count 2 needs 32 bytes, got 20", "2a00000002000000" + Hex(12)},
        {"decode account-data", "count 2147483647 needs 25769803772 bytes", "2a000000ffffff7f"},
        {"decode account-data", "count 0 needs 8 bytes, got 9", "2a0000000000000000"},
        {"decode account-data", "at least 8 bytes", "2a000000ff"},
        {"decode account-data", "negative entry count -2", "2a000000feffffff"},
        // Flat account contracts that are cut short or run on; captures not of whole records.
        {"decode account-contract", "symbol has no terminating zero", Hex(108) + TextHex("ES")},
        {"decode account-contract", "name has no terminating zero", Hex(109) + TextHex("ESZ6")},
        {"decode account-contract", "2 bytes follow the flat form (110 bytes)", Hex(110) + "ffff"},
        {"decode account-contract", "at least 110 bytes", Hex(100)},
        {"decode price-record", "85 bytes is not a whole number of 86-byte records", Hex(85)},
        {"decode logon-response", "not hex: 'g' at offset 7", "0102030g"},
        {"decode logon-response", "odd number of hex digits (17)", "0102030405060708 9"},
        // Unknown kinds, fields and codes.
        {"decode logon", "unknown kind 'logon' (kinds: logon-response, udp-logon"},
        {"encode price", "unknown kind 'price'"},
        {"encode logon-response port=1",
         "unknown field 'port' for logon-response (fields: ErrorCode, Port)"},
        {json + "rice\":1,\"Qty\":2}]", "Bids[0]: unknown field 'Qty'"},
        {"price 63 1", "unknown price format code 63 (codes are 1 to 62)"},
        {"price 0 1", "unknown price format code 0"},
        // Values out of their field's range or reach; too many levels.
        {"encode logon-response Port=2147483648",
         "Port: 2147483648 is out of range -2147483648..2147483647"},
        {"encode price-record LastSize=65536", "LastSize: 65536 is out of range 0..65535"},
        {"encode price-record PriceFormatCode=-1", "PriceFormatCode: -1 is out of range 0..255"},
        {"encode account-contract Month=40000", "Month: 40000 is out of range -32768..32767"},
        {"encode price-record Asks=1:65536", "Asks[0].Size: 65536 is out of range 0..65535"},
        {"encode price-record PriceType=1e21", "PriceType: 1e21 is out of range 0..255"},
        {"encode price-record Asks=1:-1e999", "Asks[0].Size: -1e999 is out of range 0..65535"},
        {"encode price-record LastPrice=1000 Bids=1200:1",
         "Bids[0].Price 1200 is out of reach of LastPrice 1000"},
        {"encode price-record LastPrice=1000 Asks=1000:1,1128:1",
         "Asks[1].Price 1128 is out of reach"},
        // Levels are checked depth by depth, the bid before the ask.
        {"encode price-record Bids=0:1,0:1,500:1 Asks=0:1,500:1",
         "Asks[1].Price 500 is out of reach of LastPrice 0: asks lie within -128..+127 ticks"},
        {"encode price-record Bids=0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0,0:0",
         "Bids: at most 10 levels, got 11"},
        {"price 9 2147483648", "ticks: 2147483648 is out of range"},
        {"synth prices -5 out.bin", "record count: -5 is out of range"},
        // Texts over their field's capacity, or not expressible on the wire.
        {"encode tcp-logon-reconnect UserID=" + std::string(50, 'u'),
         "UserID: 50 characters, at most 49 fit"},
        {"encode udp-logon GateKeeperSessionID=" + std::string(255, 'g'), "at most 254 fit"},
        {"encode price-subscription Text=\u65E5\u672C",
         "Text: text holds a character that Windows-1252 cannot express"},
        // Malformed assignments and values.
        {"encode logon-response Port", "expected NAME=VALUE, got 'Port'"},
        {"encode logon-response Port=12a", "Port: '12a' is not an integer"},
        {"encode logon-response Port=", "Port: '' is not an integer"},
        {"encode account-contract Pnl=+-1.5", "Pnl: '+-1.5' is not a number"},
        {"encode logon-response Port=1 Port=2", "Port is given twice"},
        {"encode account-data NumEntries=1", "NumEntries of account-data follows from the other"},
        {"encode account-data AccountInfo=1:2,1:3", "AccountInfo: kind 1 is given twice"},
        {"encode price-record Bids=1233", "Bids[0]: expected 2 values separated by ':'"},
        {"encode price-record Bids=[1]", "Bids[0]: expected an object"},
        {"encode price-record Bids=[{", "Bids: not a valid JSON array"},
        {json + "rice\":1.5}]", "Bids[0].Price: expected an integer"},
        {"price 9 abc", "ticks: 'abc' is not an integer"},
        {"ticks 9 9.2x", "price text '9.2x' is not a display text of code 9"},
        {"ticks --as-decimal 9 9.2x", "price text '9.2x': '9.2x' is not a number"},
        {"decode logon-response /", "/ is a directory"},
        // Numbers lie within their type, in JSON too.
        {"encode account-data AccountInfo=[{\"Kind\":1,\"Value\":1e999}]",
         "AccountInfo: a number in the JSON array is out of range"},
        {"encode account-data AccountInfo=1:1e999",
         "AccountInfo[0].Value: '1e999' is out of the range of a double"},
        // Text from the user is escaped onto the one line.
        {"encode logon-response Port=1\n2", "Port: '1\\n2' is not an integer"},
        {"encode logon-response Port=1\r\t2\x1b[31m", "Port: '1\\r\\t2\\x1b[31m' is not an"},
        {"encode logon-response Port=\\", "Port: '\\\\' is not an integer"},
        {"encode logon-response Port=\xFF\xC2\x9B"
         "1",
         "Port: '\\xff\\u009b1' is not an"},
        {"encode logon-response Port=\xC3\xA9", "Port: '\xC3\xA9' is not an integer"},
        {"encode logon-response Po\nrt=1", "unknown field 'Po\\nrt' for logon-response"},
        {"encode logon-response Port\x7F", "expected NAME=VALUE, got 'Port\\x7f'"},
        {json + "\\u0007\":1}]", "Bids[0]: unknown field 'P\\x07'"},
        {"encode price-record Bids=1\n2", "got '1\\n2'"},
        {"ticks 9 9\n2", "price text '9\\n2' is not a display text"},
        {"ticks --as-decimal 9 9\n2", "price text '9\\n2': '9\\n2' is not a number"},
        {"decode log\non", "unknown kind 'log\\non'"},
        {"decode logon-response /nonexistent/a\nb", "cannot open /nonexistent/a\\nb"},
    };
    // Signs are taken once.
    for (const std::string value : {"+-5", "++5", "-+5", "--5", "+"}) {
        cases.push_back({"encode logon-response Port=" + value, "'" + value + "' is not an"});
    }
    // Only the shortest UTF-8 form of a character is text: "A" and NUL in two bytes, "A" and
    // U+07FF in three, "A" and U+FFFF in four; the surrogates' ends; beyond U+10FFFF; cut short.
    for (const std::string malformed :
         {"\xC1\x81", "\xC0\x80", "\xE0\x81\x81", "\xE0\x9F\xBF", "\xF0\x80\x81\x81",
          "\xF0\x8F\xBF\xBF", "\xED\xA0\x80", "\xED\xBF\xBF", "\xF4\x90\x80\x80",
          "\xF7\xBF\xBF\xBF", "\xC3", "\xFF"}) {
        cases.push_back(
            {"encode price-subscription Text=a" + malformed, "text is not valid UTF-8"});
    }
    // The shortest forms at each length's lower edge are characters, refused only for
    // Windows-1252's sake.
    for (const std::string edge :
         {"\xC2\x80", "\xE0\xA0\x80", "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"}) {
        cases.push_back({"encode price-subscription Text=" + edge, "Windows-1252 cannot express"});
    }
    // A text that is no display of the code, or with --as-decimal no number within the tick range,
    // after a good one (after "--", so that "-inf" is not taken for an option). Code 17 counts
    // whole units, so the tick range shows directly in the texts.
    const std::tuple<bool, int, std::string> texts[] = {
        {false, 9, "9.209"},      {false, 14, "-0"},         {false, 14, ""},
        {false, 14, "-12.-34"},   {false, 6, "38.5625"},     {false, 14, "21474836.48"},
        {true, 14, "3000000000"}, {true, 14, "inf"},         {true, 14, "-inf"},
        {true, 14, "nan"},        {true, 14, "-1e300"},      {true, 14, "1e309"},
        {true, 17, "2147483648"}, {true, 17, "-2147483649"}, {true, 17, " 2147483648"},
        {true, 6, "-67108864.5"}};
    for (const auto& [asDecimal, code, text] : texts) {
        const std::string c = std::to_string(code);
        std::vector<std::string> args = {"ticks", c, "--", Lumera::price::Display(code, 0), text};
        if (asDecimal) {
            args.insert(args.begin() + 1, "--as-decimal");
        }
        const std::string quoted = "price text '" + text + "'";
        cases.push_back(
            {c, asDecimal ? quoted : quoted + " is not a display text of code " + c, "", args});
    }
    return cases;
}

TEST(BadInput, EachCaseIsRefusedOnOneLineNamingTheFault) {
    for (const BadCase& c : MakeCases()) {
        SCOPED_TRACE(c.command.substr(0, 80));
        const Outcome result = Tool(c.args.empty() ? Words(c.command) : c.args, c.input);
        EXPECT_EQ(result.status, 2) << result.out;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err.find('\n'), std::string::npos) << result.err;
        EXPECT_NE(result.err.find(c.message), std::string::npos) << result.err;
    }
    // Taken rather than refused: one plus is a sign, U+00A0 a character of Windows-1252.
    EXPECT_EQ(Tool({"encode", "logon-response", "Port=+5"}).out, "00 00 00 00 05 00 00 00\n");
    EXPECT_EQ(Tool({"encode", "price-subscription", "Text=\xC2\xA0"}).status, 0);
}

}  // namespace
}  // namespace lmwire_test
