// SPDX-License-Identifier: MIT
#include "shape/character_set.hpp"

#include <gtest/gtest.h>

#include <string_view>

namespace varnelo {
namespace {

TEST(CharBoundaryAtMost, KeepsEveryCharacterOfItsSetWhole) {
    using enum TCharacterSet;
    struct TCase {
        TCharacterSet Set;
        std::string_view Text;
        std::size_t Limit;
        std::size_t Kept;
    };
    const TCase cases[] = {
        // "Поле_Длина": two-byte letters; the cut falls inside the sixth letter.
        {Utf8, "\xD0\x9F\xD0\xBE\xD0\xBB\xD0\xB5_\xD0\x94\xD0\xBB", 10, 9},
        {Utf8, "\xD0\x9F\xD0\xBE\xD0\xBB\xD0\xB5_\xD0\x94\xD0\xBB", 11, 11},
        {Utf8, "AB\xE6\x9D\xB1\xE4\xBA\xAC", 4, 2},  // 東 of three bytes
        {Utf8, "AB\xE6\x9D\xB1\xE4\xBA\xAC", 5, 5},  // right after it
        {Utf8,
         "A\xF0\x9F\x97\xBE"
         "B",
         4, 1},  // a four-byte character
        {Utf8,
         "A\xF0\x9F\x97\xBE"
         "B",
         5, 5},
        {Utf8, "AB\x80\x80\x80\x80\x80", 4, 4},  // broken text: cut at the limit
        {Utf8, "short", 10, 5},
        // Code page 932 reads 0xD0 as a character of its own, GBK as a lead byte.
        {ShiftJis, "\x93\x8c\xD0\xB1", 3, 3},
        {EastAsianDoubleByte, "\x93\x8c\xD0\xB1", 3, 2},
        {ShiftJis, "A\x93\x8c", 2, 1},
        {SingleByte, "Caf\xE9s", 4, 4},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(CharBoundaryAtMost(c.Set, c.Text, c.Limit), c.Kept)
            << static_cast<int>(c.Set) << " " << c.Text << " at " << c.Limit;
    }
}

}  // namespace
}  // namespace varnelo
