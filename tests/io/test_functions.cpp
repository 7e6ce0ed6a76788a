#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "pwnet_functions.h"
#include "pwnet_types.h"
#include "temp_dir.h"

using namespace pwnet;

struct FloatCase {
    double value;
    const char* text;
};

class FloatToStrDotCases : public ::testing::TestWithParam<FloatCase> {};

TEST_P(FloatToStrDotCases, GeneralFormat) {
    EXPECT_EQ(FloatToStrDot(GetParam().value), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Values, FloatToStrDotCases,
    ::testing::Values(FloatCase{6180000, "6180000"}, FloatCase{0.1, "0.1"},
                      FloatCase{1e15, "1E15"}, FloatCase{999999999999999.0, "999999999999999"},
                      FloatCase{0.00001, "1E-5"}, FloatCase{0.0001, "0.0001"},
                      FloatCase{-2.5, "-2.5"}, FloatCase{0, "0"}, FloatCase{4321000, "4321000"},
                      FloatCase{0.5, "0.5"}, FloatCase{-12.25, "-12.25"},
                      FloatCase{1.5e-7, "1.5E-7"}, FloatCase{440000.0, "440000"},
                      FloatCase{6049999.999999999, "6050000"}, FloatCase{1.0 / 3, "0.333333333333333"},
                      FloatCase{2.0 / 3 * 1e6, "666666.666666667"}, FloatCase{123456.789, "123456.789"},
                      FloatCase{-1e20, "-1E20"}, FloatCase{999999999999999.9, "1E15"},
                      FloatCase{12.345678901234567, "12.3456789012346"}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(FloatToStrDot, IndependentOfTheProcessLocale) {
    // Qt sets the process locale from the environment; a Danish one has a decimal comma.
    testutil::TempDir dir;
    std::string cmd = "localedef -i da_DK -f UTF-8 " + (dir / "da_DK.UTF-8") + " 2>/dev/null";
    if (std::system(cmd.c_str()) != 0) GTEST_SKIP() << "localedef cannot build da_DK";
    setenv("LOCPATH", dir.path().c_str(), 1);
    ASSERT_NE(std::setlocale(LC_ALL, "da_DK.UTF-8"), nullptr);
    ASSERT_STREQ(std::localeconv()->decimal_point, ",");
    std::string text = FloatToStrDot(-12.25);
    uint8_t buf[8];
    FormatFixed(buf, 8, 2, 3.5);
    std::setlocale(LC_ALL, "C");
    unsetenv("LOCPATH");
    EXPECT_EQ(text, "-12.25");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buf), 8), "    3.50");
}

struct FixedCase {
    int width;
    int decimals;
    double value;
    const char* stored;
};

class FormatFixedCases : public ::testing::TestWithParam<FixedCase> {};

TEST_P(FormatFixedCases, StoresTheFirstWidthCharacters) {
    const auto& c = GetParam();
    std::string dest(16, '#');
    FormatFixed(reinterpret_cast<uint8_t*>(dest.data()), c.width, c.decimals, c.value);
    std::string expected = std::string(c.stored) + std::string(16 - std::string(c.stored).size(), '#');
    EXPECT_EQ(dest, expected) << "nothing may be written past Width";
}

INSTANTIATE_TEST_SUITE_P(Values, FormatFixedCases,
                         ::testing::Values(FixedCase{10, 3, 12.5, "    12.500"},
                                           FixedCase{5, 2, 1234.5, "1234."},
                                           FixedCase{4, 0, -7, "  -7"},
                                           FixedCase{0, 2, 1, ""},
                                           FixedCase{-3, 2, 1, ""},
                                           FixedCase{11, 0, 6200000, "    6200000"},
                                           FixedCase{3, 0, 123456, "123"},
                                           FixedCase{6, 2, -0.5, " -0.50"}),
                         [](const auto& info) { return "case" + std::to_string(info.index); });

// The digits of whole numbers are those of std::to_chars: at the edges of every
// digit count and of the word of eight digits, and for a spread of other values.
TEST(PutDecimal, WritesWhatToCharsWrites) {
    std::vector<int64_t> values = {0, 1, 9, 10, 99, 100, 999, 1000, 9999, 10000, 99999,
                                   100000, 999999, 1000000, 6040100, 9999999, 10000000,
                                   99999999, 100000000, 999999999, 1000000000, 4294967295,
                                   4294967296, INT64_MAX, INT64_MIN, -1, -6040100, -99999999};
    std::mt19937_64 random(20261211);
    for (int i = 0; i < 20000; ++i)
        values.push_back(static_cast<int64_t>(random() >> (random() % 64)) * (i % 2 ? 1 : -1));
    for (const int64_t v : values) {
        char want[24], got[24 + 8];
        const std::string text(want, std::to_chars(want, want + sizeof want, v).ptr);
        EXPECT_EQ(std::string(got, PutDecimal(got, v)), text) << v;
        if (v >= 0 && v < 100000000) {
            int n = 0;
            const uint64_t word = DecimalWord(static_cast<uint32_t>(v), n);
            std::memcpy(got, &word, 8);
            EXPECT_EQ(std::string(got, static_cast<size_t>(n)), text) << v;
        }
    }
}

TEST(XMLEscape, EscapesTheFiveCharactersOnce) {
    EXPECT_EQ(XMLEscape("a<b&c''d\"\"e"), "a&lt;b&amp;c&apos;&apos;d&quot;&quot;e");
    EXPECT_EQ(XMLEscape("x>y"), "x&gt;y");
    EXPECT_EQ(XMLEscape("&amp;"), "&amp;amp;");
    EXPECT_EQ(XMLEscape(""), "");
    EXPECT_EQ(XMLEscape("R\xC3\xB8nne"), "R\xC3\xB8nne");
}

TEST(CodePages, NamesAndLanguageDrivers) {
    struct {
        uint16_t cp;
        const char* name;
        uint8_t driver;
    } cases[] = {{1252, "WindowsLatin1", 0x03}, {65001, "UTF-8", 0},
                 {1257, "Unknown CodePage", 0}, {437, "CodePage437", 0x01},
                 {850, "CodePage850", 0x02},    {1250, "WindowsLatin2", 0x9B},
                 {1251, "WindowsCyrillic", 0xC9}, {932, "WindowsJapanese", 0x13},
                 {28591, "ISO8859_1", 0},       {0, "Unknown CodePage", 0},
                 {10000, "Unknown CodePage", 0x04}};
    for (const auto& c : cases) {
        EXPECT_EQ(CodePageName(c.cp), c.name) << c.cp;
        EXPECT_EQ(CodePageToLanguageDriver(c.cp), c.driver) << c.cp;
    }
    EXPECT_EQ(LanguageDriverCodePages[0xC8], 1250);
    EXPECT_EQ(LanguageDriverCodePages[0x05], 0);
    EXPECT_EQ(GetSystemAnsiCodePage(), 1252);
}

TEST(CodePages, UnicodeToCodePageAndBack) {
    EXPECT_EQ(UnicodeToCodePage("\xC3\xA6\xC3\xB8\xC3\xA5\xC3\x86\xC3\x98\xC3\x85", 1252),
              "\xE6\xF8\xE5\xC6\xD8\xC5");
    EXPECT_EQ(UnicodeToCodePage("\xCE\xB1\xCE\xB2", 1252), "??");
    EXPECT_EQ(UnicodeToCodePage("\xCE\xB1", 1253), "\xE1");
    EXPECT_EQ(UnicodeToCodePage("caf\xC3\xA9", 65001), "caf\xC3\xA9");
    EXPECT_EQ(UnicodeToCodePage("plain", 1252), "plain");
    EXPECT_EQ(CodePageToUnicode("\xE6\xF8\xE5", 1252), "\xC3\xA6\xC3\xB8\xC3\xA5");
    TCodePageEncoder enc(1252);
    std::string out = "x";
    enc.EncodeTo("\xC3\x98ster", out);
    EXPECT_EQ(out, "x\xD8ster");
}

TEST(CodePages, Utf8LengthCountsCodePoints) {
    EXPECT_EQ(Utf8Length(""), 0u);
    EXPECT_EQ(Utf8Length("R\xC3\xB8nne"), 5u);
    EXPECT_EQ(Utf8Length("\xE2\x82\xAC"), 1u);
}

TEST(GreatCircleAngle, KnownAngles) {
    EXPECT_DOUBLE_EQ(GreatCircleAngle({0, 0}, {90, 0}), std::numbers::pi / 2);
    EXPECT_EQ(GreatCircleAngle({12.5, 55.7}, {12.5, 55.7}), 0.0);
    EXPECT_DOUBLE_EQ(GreatCircleAngle({0, 90}, {0, -90}), std::numbers::pi);
    EXPECT_NEAR(GreatCircleAngle({0, 0}, {1, 0}) * EarthRadiusKm, 111.3194, 1e-3);
}

TEST(FloatPoint, ExactEquality) {
    EXPECT_TRUE((TFloatPoint{1, 2} == TFloatPoint{1, 2}));
    EXPECT_TRUE((TFloatPoint{1, 2} != TFloatPoint{1, 2.0000001}));
    double nan = std::numeric_limits<double>::quiet_NaN();
    TFloatPoint p{nan, 0};
    EXPECT_FALSE(p == p);
    EXPECT_TRUE(p != p);
}

TEST(Constants, SharedDefaults) {
    EXPECT_EQ(static_cast<double>(UnsetCoordinate), 9.99999968e37f);
    EXPECT_FLOAT_EQ(static_cast<float>(static_cast<double>(UnsetCoordinate)), 1.0e38f);
    EXPECT_EQ(DefaultPRJ.size(), 143u);
    EXPECT_EQ(DefaultEPSG, 4326);
    EXPECT_EQ(EarthRadiusKm, 6378.13);
}
