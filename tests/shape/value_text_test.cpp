#include "shape/value_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace varnelo {
namespace {

std::string Fixed(double value, int decimals) {
    std::array<char, 600> out{};
    const std::size_t n = FormatFixed(value, decimals, out);
    return std::string(out.data(), n);
}

TEST(FormatFixedTest, RoundsHalfAwayFromZeroOnTheDecimalValue) {
    struct Case {
        double value;
        int decimals;
        const char* text;
    };
    const Case cases[] = {
        {3.5, 6, "3.500000"},
        {0.0000005, 6, "0.000001"},  // binary value lies just below the half
        {2.5e-7, 6, "0.000000"},     // below the half
        {0.0000015, 6, "0.000002"},
        {-0.0000005, 6, "-0.000001"},
        {2.675, 2, "2.68"},  // a half-even binary print would give 2.67
        {0.125, 2, "0.13"},  // an exact binary tie goes away from zero
        {-0.125, 2, "-0.13"},
        {9.9999996, 6, "10.000000"},  // carry into a new leading digit
        {999.95, 1, "1000.0"},
        {0.0, 3, "0.000"},
        {-0.0, 3, "0.000"},
        {-2.5e-7, 6, "0.000000"},  // rounds to zero: no minus sign
        {0.04, 1, "0.0"},
        {0.05, 1, "0.1"},
        {123456789.0, 6, "123456789.000000"},
        {1e20, 1, "100000000000000000000.0"},
        {7.0, 0, "7"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fixed(c.value, c.decimals), c.text) << c.value << " at " << c.decimals;
    }
}

TEST(FormatFixedTest, ReportsTheLengthWithoutWritingWhenTheTextDoesNotFit) {
    std::array<char, 8> out{};
    out.fill('#');
    EXPECT_EQ(FormatFixed(1234567890.0, 6, out), 17u);
    EXPECT_EQ(std::string(out.data(), out.size()), "########");
    EXPECT_EQ(FormatFixed(1e300, 255, out), 301u + 1 + 255);
}

TEST(ParseTextTest, IntegersNeedSignAndDigitsWithinRange) {
    EXPECT_EQ(ParseInt32Text("42"), 42);
    EXPECT_EQ(ParseInt32Text("+7"), 7);
    EXPECT_EQ(ParseInt32Text("-0"), 0);
    EXPECT_EQ(ParseInt32Text("2147483647"), 2147483647);
    EXPECT_EQ(ParseInt32Text("-2147483648"), INT32_MIN);
    for (const char* bad : {"", "-", "+-5", "2147483648", "-2147483649", "1.5", "12a", " 1",
                            "99999999999999999999"}) {
        EXPECT_FALSE(ParseInt32Text(bad).has_value()) << bad;
    }
}

TEST(ParseTextTest, DecimalsFollowTheNumberGrammarOnly) {
    EXPECT_EQ(ParseDecimalText("1.5e2"), 150.0);
    EXPECT_EQ(ParseDecimalText(".5"), 0.5);
    EXPECT_EQ(ParseDecimalText("5."), 5.0);
    EXPECT_EQ(ParseDecimalText("-0.25"), -0.25);
    EXPECT_EQ(ParseDecimalText("+3E-1"), 0.3);
    EXPECT_EQ(ParseDecimalText("1e-400"), 0.0);
    for (const char* bad :
         {"", ".", "-.", "1e", "1e+", "1,5", "nan", "inf", "0x10", "1e400", "--1", "1.2.3", "1 "}) {
        EXPECT_FALSE(ParseDecimalText(bad).has_value()) << bad;
    }
}

TEST(ParseTextTest, BooleansArePrefixesOfFalseOrTrue) {
    EXPECT_EQ(ParseBooleanText("tr"), true);
    EXPECT_EQ(ParseBooleanText("TRUE"), true);
    EXPECT_EQ(ParseBooleanText("F"), false);
    EXPECT_EQ(ParseBooleanText("fal"), false);
    for (const char* bad : {"", "yes", "Falsey", "truee", "n"}) {
        EXPECT_FALSE(ParseBooleanText(bad).has_value()) << bad;
    }
}

TEST(ParseTextTest, DatesInShortFormOrEightDigits) {
    EXPECT_EQ(ParseDateText("2005/01/23"), (TDate{2005, 1, 23}));
    EXPECT_EQ(ParseDateText("2005/1/3"), (TDate{2005, 1, 3}));
    EXPECT_EQ(ParseDateText("20050123"), (TDate{2005, 1, 23}));
    EXPECT_EQ(ParseDateText("2004/02/29"), (TDate{2004, 2, 29}));
    for (const char* bad : {"2005/02/30", "20050230", "1900/02/29", "2005-01-23", "05/01/23",
                            "2005/001/23", "2005/01/23/", "2005/01/", "0000/01/01", "2005123",
                            "200501234", "2005/13/01", "20051301"}) {
        EXPECT_FALSE(ParseDateText(bad).has_value()) << bad;
    }
}

TEST(ParseTextTest, TrimRemovesControlBytesAndBlanksOnly) {
    EXPECT_EQ(TrimBlanks("\t 12 \r\n"), "12");
    EXPECT_EQ(TrimBlanks(" \x82\xA0 "), "\x82\xA0");
    EXPECT_EQ(TrimBlanks("   "), "");
}

}  // namespace
}  // namespace varnelo
