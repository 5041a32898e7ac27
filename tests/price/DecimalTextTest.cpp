#include "wire_types/price/DecimalText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>

namespace Lumera {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

struct ReadCase {
    const char* text;
    double value;
};

const ReadCase kReadCases[] = {
    {"", 0.0},
    {"   ", 0.0},
    {"abc", 0.0},
    {"12.34", 12.34},
    {"  30.85", 30.85},
    {"\t\n\v\f\r 3", 3.0},
    {"+12.5", 12.5},
    {"-0.5", -0.5},
    {".5", 0.5},
    {"5.", 5.0},
    {".", 0.0},
    {"-.", 0.0},
    {"1e3", 1000.0},
    {"1E-2", 0.01},
    {"1e", 1.0},
    {"1e+", 1.0},
    {"2e+x", 2.0},
    {"12.34abc", 12.34},
    {"1,5", 1.0},
    {"--1", 0.0},
    {"+-1", 0.0},
    {"- 1", 0.0},
    {"0x1A", 26.0},
    {"-0X1p4", -16.0},
    {"0x.8", 0.5},
    {"0x", 0.0},
    {"0xg", 0.0},
    {"0x-1", 0.0},
    {"0x1p", 1.0},
    {"inf", kInf},
    {"-Infinity", -kInf},
    {"INFx", kInf},
    {"1e400", kInf},
    {"-1e400", -kInf},
    {"1e-400", 0.0},
    {"0.000000000000000000000000000000000000001e-300", 0.0},
    {"0.00001e305", 1e300},
    {"0x1p-1080", 0.0},
    {"0x1p1100", kInf},
};

TEST(DecimalTextTest, ReadsLeadingNumberAsAtofDoes) {
    for (const ReadCase& c : kReadCases) {
        EXPECT_EQ(ReadDecimalText(c.text), c.value) << '"' << c.text << '"';
    }
    EXPECT_FALSE(std::signbit(ReadDecimalText("-x")));
    EXPECT_TRUE(std::signbit(ReadDecimalText("-0x")));
    EXPECT_TRUE(std::signbit(ReadDecimalText("-1e-400")));
    EXPECT_TRUE(std::isnan(ReadDecimalText("nan")));
    EXPECT_TRUE(std::isnan(ReadDecimalText(" -NaN(123)")));
    EXPECT_EQ(ReadDecimalText(std::string(400, '9')), kInf);
    EXPECT_EQ(ReadDecimalText("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(ReadDecimalText(std::string("7\0"
                                          "5",
                                          3)),
              7.0);
}

bool SameResult(double a, double b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// Random texts over the characters that matter to the number grammar, against strtod in the
// "C" locale (the test program never changes it outside the locale test below).
TEST(DecimalTextTest, MatchesStrtodOnRandomTexts) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    const std::string alphabet = "0123456789000.....eEeE+-xXpPaAfFiInNtTy() \t,";
    std::mt19937 random(7);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> length(0, 14);
    const char* prefixes[] = {"", "0x", "-0x", " +", "1e", "9e30", "1e-3", "0x1p-10"};
    std::uniform_int_distribution<std::size_t> prefix(0, std::size(prefixes) - 1);
    for (int i = 0; i < 100000; ++i) {
        std::string text = prefixes[prefix(random)];
        for (int n = length(random); n > 0; --n) {
            text.push_back(alphabet[pick(random)]);
        }
        const double expected = std::strtod(text.c_str(), nullptr);
        const double actual = ReadDecimalText(text);
        ASSERT_TRUE(SameResult(actual, expected))
            << '"' << text << "\": " << actual << " against " << expected;
    }
}

// A comma locale makes atof stop at the '.', the parser must not.
TEST(DecimalTextTest, IgnoresTheProcessLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
    const char* candidates[] = {"de_DE.UTF-8", "de_DE.utf8",  "fr_FR.UTF-8", "fr_FR.utf8",
                                "nl_NL.UTF-8", "ru_RU.UTF-8", "de_DE",       "fr_FR",
                                "C.UTF-8",     "C.utf8",      "POSIX"};
    bool commaLocaleFound = false;
    for (const char* name : candidates) {
        if (std::setlocale(LC_NUMERIC, name) == nullptr) {
            continue;
        }
        const bool commaLocale = std::strcmp(std::localeconv()->decimal_point, ",") == 0;
        if (commaLocale) {
            commaLocaleFound = true;
            EXPECT_EQ(std::atof("1,5"), 1.5) << name;
        }
        EXPECT_EQ(ReadDecimalText("12.34"), 12.34) << name;
        EXPECT_EQ(ReadDecimalText("1,5"), 1.0) << name;
        EXPECT_EQ(ReadDecimalText("-38.5625e0"), -38.5625) << name;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    RecordProperty("comma_locale_found", commaLocaleFound ? "yes" : "no");
}

}  // namespace
}  // namespace Lumera
