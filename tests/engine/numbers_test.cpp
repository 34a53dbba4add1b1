// SPDX-License-Identifier: MIT
#include "engine/numbers.hpp"

#include <gtest/gtest.h>

#include <string>

#include "shape/errors.hpp"

namespace varnelo {
namespace {

std::string ConvertMessage(double (*convert)(std::string_view), std::string_view text) {
    try {
        convert(text);
    } catch (const EConvertError& error) {
        return error.what();
    }
    return "(no error)";
}

std::string IntMessage(std::string_view text) {
    try {
        StrToInt32(text);
    } catch (const EConvertError& error) {
        return error.what();
    }
    return "(no error)";
}

TEST(StrToDouble, ReadsDecimalTextWithAFullStop) {
    EXPECT_EQ(StrToDouble("12"), 12.0);
    EXPECT_EQ(StrToDouble("-3.5"), -3.5);
    EXPECT_EQ(StrToDouble("+4.25"), 4.25);
    EXPECT_EQ(StrToDouble("1e3"), 1000.0);
    EXPECT_EQ(StrToDouble("1.5E-2"), 0.015);
    EXPECT_EQ(StrToDouble(".5"), 0.5);
    EXPECT_EQ(StrToDouble("139.6917"), 139.6917);
}

TEST(StrToDouble, RejectsAnythingElseQuotingTheText) {
    EXPECT_EQ(ConvertMessage(StrToDouble, "12a"), "\"12a\" は有効な数値ではありません");
    EXPECT_EQ(ConvertMessage(StrToDouble, ""), "\"\" は有効な数値ではありません");
    for (const char* bad :
         {" 1", "1 ", "1 2", "+-1", "++1", "+", "-", "inf", "nan", "0x10", "1,5", "1e"}) {
        EXPECT_FALSE(TryStrToDouble(bad).has_value()) << bad;
        EXPECT_THROW(StrToDouble(bad), EConvertError) << bad;
    }
    EXPECT_EQ(ConvertMessage(StrToDouble, "1e400"), "\"1e400\" は数値の範囲外です");
}

TEST(StrToInt32, ReadsSigned32BitIntegers) {
    EXPECT_EQ(StrToInt32("01"), 1);
    EXPECT_EQ(StrToInt32("+7"), 7);
    EXPECT_EQ(StrToInt32("-2147483648"), -2147483648LL);
    EXPECT_EQ(StrToInt32("2147483647"), 2147483647);
    EXPECT_EQ(IntMessage("1.0"), "\"1.0\" は有効な整数ではありません");
    EXPECT_EQ(IntMessage("2147483648"), "\"2147483648\" は整数の範囲外です");
    EXPECT_FALSE(TryStrToInt32("1e3").has_value());
    EXPECT_FALSE(TryStrToInt32("").has_value());
    EXPECT_EQ(TryStrToInt32("-20"), -20);
}

TEST(QuoteForMessage, CapsLongTextOnACharacterBoundary) {
    const std::string message = IntMessage(std::string(100000, 'x'));
    EXPECT_EQ(message, "\"" + std::string(64, 'x') + "...\" は有効な整数ではありません");
    // A two-byte character that would straddle the cap is left out whole.
    EXPECT_EQ(QuoteForMessage(std::string(63, 'a') + "\x83\x65" + "zz"),
              "\"" + std::string(63, 'a') + "...\"");
    // A zero byte would end the message; line ends would split it.
    EXPECT_EQ(QuoteForMessage(std::string("1\0"
                                          "5\r\n",
                                          5)),
              "\"1?5??\"");
}

}  // namespace
}  // namespace varnelo
