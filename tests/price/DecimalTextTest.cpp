#include "wire_types/price/detail/DecimalText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "SampleCount.h"

namespace Lumera::detail {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// Mostly what random texts rarely produce: out-of-range magnitudes, long digit runs, a NUL.
TEST(DecimalTextTest, ReadsLeadingNumberAsAtofDoes) {
    const std::pair<const char*, double> cases[] = {
        {"\t\n\v\f\r 3", 3.0},  {"12.34abc", 12.34}, {"2e+x", 2.0},
        {"-0X1p4", -16.0},      {"0x.8", 0.5},       {"0x-1", 0.0},
        {"-Infinity", -kInf},   {"1e400", kInf},     {"1e-400", 0.0},
        {"0.00001e305", 1e300}, {"0x1p-1080", 0.0},  {"0x1p1100", kInf},
        {"1,5", 1.0},           {"+-1", 0.0},        {"", 0.0},
        {"0x1ap+-222", 26.0},   {"0x1p-+2", 1.0},    {"0x1.8p", 1.5},
    };
    for (const auto& [text, value] : cases) {
        EXPECT_EQ(ReadDecimalText(text), value) << '"' << text << '"';
    }
    EXPECT_EQ(ReadDecimalText(std::string(400, '9')), kInf);
    EXPECT_EQ(ReadDecimalText("0." + std::string(400, '0') + "1"), 0.0);
    EXPECT_EQ(ReadDecimalText(std::string{'7', '\0', '5'}), 7.0);
    EXPECT_FALSE(std::signbit(ReadDecimalText("-x")));
    EXPECT_TRUE(std::signbit(ReadDecimalText("-0x")));
    EXPECT_TRUE(std::signbit(ReadDecimalText("-1e-400")));
    EXPECT_TRUE(std::isnan(ReadDecimalText(" -NaN(123)")));
}

// Random texts over the characters of the number grammar, against strtod in the "C" locale.
TEST(DecimalTextTest, MatchesStrtodOnRandomTexts) {
    ASSERT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");
    const std::string alphabet = "0123456789000.....eEeE+-xXpPaAfFiInNtTy() \t,";
    const char* prefixes[] = {"", "0x", "-0x", " +", "1e", "9e30", "1e-3", "0x1p-10", "0x1p"};
    std::mt19937 random(7);
    const int samples = lmwire_test::SampleCount(100000);
    for (int i = 0; i < samples; ++i) {
        std::string text = prefixes[random() % std::size(prefixes)];
        for (auto n = random() % 15; n > 0; --n) {
            text.push_back(alphabet[random() % alphabet.size()]);
        }
        char* end = nullptr;
        double expected = std::strtod(text.c_str(), &end);
        // No number reads as 0 (Windows' strtod gives -0 after a minus sign).
        if (end == text.c_str()) {
            expected = 0.0;
        }
        const double actual = ReadDecimalText(text);
        ASSERT_TRUE((std::isnan(actual) && std::isnan(expected)) ||
                    std::memcmp(&actual, &expected, sizeof actual) == 0)
            << '"' << text << "\": " << actual << " against " << expected;
    }
}

// In a comma locale atof stops at the '.'; the parser must not. A comma locale the build made
// (LMWIRE_COMMA_LOCALE in LMWIRE_COMMA_LOCALE_DIR) must be used.
TEST(DecimalTextTest, IgnoresTheProcessLocale) {
    const std::string saved = std::setlocale(LC_NUMERIC, nullptr);
#if defined(LMWIRE_COMMA_LOCALE_DIR)
    setenv("LOCPATH", LMWIRE_COMMA_LOCALE_DIR, 1);
#endif
#if defined(LMWIRE_COMMA_LOCALE)
    const char* provided = LMWIRE_COMMA_LOCALE;
#else
    const char* provided = nullptr;
#endif
    bool usedCommaLocale = false;
    for (const char* name : {provided != nullptr ? provided : "de_DE.UTF-8", "de_DE.utf8",
                             "fr_FR.UTF-8", "ru_RU.UTF-8", "C.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name) == nullptr) {
            continue;
        }
        if (std::strcmp(std::localeconv()->decimal_point, ",") == 0) {
            EXPECT_EQ(std::atof("1,5"), 1.5) << name;
            usedCommaLocale = true;
        }
        EXPECT_EQ(ReadDecimalText("12.34"), 12.34) << name;
        EXPECT_EQ(ReadDecimalText("1,5"), 1.0) << name;
    }
    std::setlocale(LC_NUMERIC, saved.c_str());
    EXPECT_TRUE(usedCommaLocale || provided == nullptr);
}

}  // namespace
}  // namespace Lumera::detail
