// SPDX-License-Identifier: MIT
#include "shape/value_text.hpp"

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

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

// The integer shortcut of FormatFixed must give the bytes the shortest-digits definition
// gives: over random values of every size, the decimal texts a .mid holds, and values right
// at and next to the rounding midpoints, where the two ways of rounding could part.
TEST(FormatFixedTest, TakesTheShortcutOnlyWhereItGivesTheDefinedText) {
    std::mt19937_64 random(12345);
    std::vector<double> values = {0.0000005, 1.0000005,          2.5e-7,      1.005,
                                  0.125,     4503599627370495.5, 1e-300,      5e-324,
                                  1e17,      123456.0000005,     -751850.9975};
    for (int i = 0; i < 40000; ++i) {
        const double magnitude = std::pow(10.0, std::uniform_real_distribution<>(-9, 12)(random));
        values.push_back(random() % 2 ? magnitude : -magnitude);
        // A decimal text of up to nine places, as parsed, and its neighbours.
        const auto units =
            static_cast<std::int64_t>(random() % 2'000'000'000'000) - 1'000'000'000'000;
        const double parsed = static_cast<double>(units) / 1e9;
        values.push_back(parsed);
        values.push_back(std::nextafter(parsed, 1e300));
        values.push_back(std::nextafter(parsed, -1e300));
        // Midpoints of six-decimal rounding.
        values.push_back((static_cast<double>(units / 1000) + 0.5) / 1e6);
    }
    std::array<char, 600> fast{};
    std::array<char, 600> reference{};
    for (const double value : values) {
        for (const int decimals : {0, 1, 2, 6, 9, 17, 20}) {
            const std::size_t n = FormatFixed(value, decimals, fast);
            const std::size_t m = FormatFixedFromShortestDigits(value, decimals, reference);
            ASSERT_EQ(std::string_view(fast.data(), n), std::string_view(reference.data(), m))
                << std::hexfloat << value << " at " << decimals;
        }
    }
}

// Rounding a text's own digits must agree with formatting the double the text reads as,
// including texts whose dropped digits are exactly a half, which decide the direction.
TEST(FormatFixedTest, TextDigitsGiveTheTextOfTheValueTheyReadAs) {
    std::mt19937_64 random(4242);
    std::vector<std::string> texts = {"0.0000005",  "-0.0000005",     "2.5",        "0.125",   "-0",
                                      "-0.0000004", "999999.9999995", "12.3450000", "00012.5", "7"};
    for (int i = 0; i < 40000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int intDigits = 1 + static_cast<int>(random() % 9);
        const int fracDigits = static_cast<int>(random() % 10);
        for (int k = 0; k < intDigits; ++k) {
            text += static_cast<char>('0' + random() % 10);
        }
        if (fracDigits > 0) {
            text += '.';
            for (int k = 0; k < fracDigits; ++k) {
                // Plenty of fives and zeros, so that exact halves come up often.
                text += "0123455559"[random() % 10];
            }
        }
        texts.push_back(text);
    }
    std::array<char, 64> fromText{};
    std::array<char, 600> fromValue{};
    for (const std::string& text : texts) {
        const double value = *ParseDecimalText(text);
        for (const int decimals : {0, 1, 2, 6, 9, 17}) {
            const auto n = FormatFixedFromText(text, decimals, fromText);
            // Stored in a number field: the same text behind blanks, or nothing at all.
            std::array<char, 20> field{};
            field.fill('#');
            const bool stored = StoreFixedFromText(text, decimals, field);
            ASSERT_EQ(stored, n && *n <= field.size()) << text << " at " << decimals;
            const std::string_view fieldText(field.data(), field.size());
            ASSERT_EQ(fieldText, !stored ? std::string(field.size(), '#')
                                         : std::string(field.size() - *n, ' ') +
                                               std::string(fromText.data(), *n))
                << text << " at " << decimals;
            if (!n) {
                continue;  // beyond 15 significant digits: left to FormatFixed
            }
            const std::size_t m = FormatFixed(value, decimals, fromValue);
            ASSERT_EQ(std::string_view(fromText.data(), *n), std::string_view(fromValue.data(), m))
                << text << " at " << decimals;
        }
    }
    EXPECT_FALSE(FormatFixedFromText("1234567890.123456", 6, fromText).has_value());
    EXPECT_FALSE(FormatFixedFromText("1e5", 6, fromText).has_value());
    // No plain decimal, short or long.
    for (const char* text :
         {"", "-", ".5", "-.5", "5.", "1.2.3", "1a", "--5", "1 2", "12345678.9\x80",
          "1234567890123456.", "-123456789.12345x", "12345678.12345678"}) {
        EXPECT_FALSE(FormatFixedFromText(text, 9, fromText).has_value()) << text;
    }
    EXPECT_EQ(FormatFixedFromText("751850.997", 6, fromText), 13u);
    EXPECT_EQ(std::string_view(fromText.data(), 13), "751850.997000");
}

TEST(ParseTextTest, ShortDecimalsReadAsTheGeneralParserReadsThem) {
    std::mt19937_64 random(777);
    for (int i = 0; i < 200000; ++i) {
        std::string text = random() % 4 == 0 ? "-" : "";
        const int intDigits = 1 + static_cast<int>(random() % 12);
        const int fracDigits = static_cast<int>(random() % 10);
        for (int k = 0; k < intDigits; ++k) {
            text += static_cast<char>('0' + random() % 10);
        }
        if (fracDigits > 0) {
            text += '.';
            for (int k = 0; k < fracDigits; ++k) {
                text += static_cast<char>('0' + random() % 10);
            }
        }
        const auto fast = ParseShortDecimal(text);
        if (!fast) {
            // Only digit strings beyond 2^53 are left to the general parser.
            ASSERT_GT(intDigits + fracDigits, 15) << text;
            continue;
        }
        const double expected = std::strtod(text.c_str(), nullptr);
        ASSERT_EQ(std::bit_cast<std::uint64_t>(*fast), std::bit_cast<std::uint64_t>(expected))
            << text;
        // In a long text (the reader's buffer) the number is read by the quick path; what
        // follows it must not change the value or the length.
        const std::string inBuffer = text + " 35.393525\r\n139.694494 35.393525\r\n";
        double scanned = 0.0;
        ASSERT_EQ(ScanShortDecimal(inBuffer, scanned), text.size()) << text;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(scanned), std::bit_cast<std::uint64_t>(expected))
            << text;
    }
    // At the start of a longer text the number ends where its grammar ends.
    double value = 0.0;
    EXPECT_EQ(ScanShortDecimal("139.694494 35.393525", value), 10u);
    EXPECT_EQ(value, 139.694494);
    EXPECT_EQ(ScanShortDecimal("1.5e3", value), 3u);
    EXPECT_EQ(value, 1.5);
    EXPECT_EQ(ScanShortDecimal("12345678.1234567,x", value), 16u);
    EXPECT_EQ(value, 12345678.1234567);
    for (const std::string none : {"1. 5", "-.5", " 1", "x1", "", "-", "."}) {
        EXPECT_EQ(ScanShortDecimal(none, value), 0u) << none;
        EXPECT_EQ(ScanShortDecimal(none + "                         1", value), 0u) << none;
    }
    EXPECT_EQ(std::bit_cast<std::uint64_t>(*ParseShortDecimal("-0")),
              std::bit_cast<std::uint64_t>(-0.0));
    EXPECT_EQ(ParseShortDecimal("9007199254740992"), 9007199254740992.0);
    // Left to the general parsers: too many digits, exponents, signs and bare points.
    for (const char* other : {"9007199254740993", "12345678901234567890", "1e5", "+1", ".5", "5.",
                              "", "-", "1.2.3", " 1", "0x1"}) {
        EXPECT_FALSE(ParseShortDecimal(other).has_value()) << other;
    }
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
    // Out of range: too small reads as zero, too large fails, whatever the digits' places.
    for (const char* tiny : {"1e-400", "0.0001e-320", "-123e-99999999999999999999"}) {
        EXPECT_EQ(ParseDecimalText(tiny), 0.0) << tiny;
    }
    for (const char* huge : {"1.5e400", "0.01e311", "12345e99999999999999999999", "-9e308"}) {
        EXPECT_FALSE(ParseDecimalText(huge).has_value()) << huge;
    }
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

TEST(ParseTextTest, DatesWithTheYearLastInTheOrderGiven) {
    constexpr auto dmy = TDateOrder::DayMonthYear;
    constexpr auto mdy = TDateOrder::MonthDayYear;
    EXPECT_EQ(ParseYearLastDateText("05/03/2002", dmy), (TDate{2002, 3, 5}));
    EXPECT_EQ(ParseYearLastDateText("05/03/2002", mdy), (TDate{2002, 5, 3}));
    EXPECT_EQ(ParseYearLastDateText("5-3-2002", dmy), (TDate{2002, 3, 5}));
    EXPECT_EQ(ParseYearLastDateText("12.31.1999", mdy), (TDate{1999, 12, 31}));
    for (const char* bad : {"31/12/2001x", "31/12/01", "12/31/2001", "05/03-2002", "005/03/2002",
                            "/03/2002", "2002/03/05", "05 03 2002", "29/02/2001", ""}) {
        EXPECT_FALSE(ParseYearLastDateText(bad, dmy).has_value()) << bad;
    }
}

TEST(ParseTextTest, TrimRemovesControlBytesAndBlanksOnly) {
    EXPECT_EQ(TrimBlanks("\t 12 \r\n"), "12");
    EXPECT_EQ(TrimBlanks(" \x82\xA0 "), "\x82\xA0");
    EXPECT_EQ(TrimBlanks("   "), "");
}

}  // namespace
}  // namespace varnelo
