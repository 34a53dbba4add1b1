// SPDX-License-Identifier: MIT
#include "shape/text_words.hpp"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

namespace varnelo::text_words {
namespace {

// The word moves switch at 4, 8, 16 and 32 bytes: every length around them must write
// exactly the bytes the library's copy and fill write, and nothing beside them.
TEST(TextWordsTest, ShortMovesWriteWhatTheLibraryWrites) {
    std::array<char, 48> source{};
    for (std::size_t i = 0; i < source.size(); ++i) {
        source[i] = static_cast<char>('A' + i);
    }
    for (std::size_t n = 0; n <= 40; ++n) {
        std::array<char, 48> expected{};
        std::array<char, 48> moved{};
        expected.fill('#');
        moved.fill('#');
        std::memcpy(expected.data() + 3, source.data(), n);
        CopyShort(moved.data() + 3, source.data(), n);
        EXPECT_EQ(moved, expected) << "copy of " << n;

        expected.fill('#');
        moved.fill('#');
        std::memset(expected.data() + 3, ' ', n);
        FillShort(moved.data() + 3, ' ', n);
        EXPECT_EQ(moved, expected) << "fill of " << n;
    }
}

// Runs of digits are counted up to the end of the text only, wherever they start.
TEST(TextWordsTest, DigitRunsStopAtTheFirstNonDigitOrTheEnd) {
    const std::string text = "1234567890123456789x12";
    for (std::size_t end = 0; end <= text.size(); ++end) {
        for (std::size_t from = 0; from <= end; ++from) {
            std::size_t run = 0;
            while (from + run < end && text[from + run] >= '0' && text[from + run] <= '9') {
                ++run;
            }
            ASSERT_EQ(DigitRun(text.data(), text.data() + from, text.data() + end), run)
                << from << " to " << end;
        }
    }
}

}  // namespace
}  // namespace varnelo::text_words
