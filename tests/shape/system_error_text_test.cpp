// SPDX-License-Identifier: MIT
#include "shape/system_error_text.hpp"

#include <gtest/gtest.h>

#include <cerrno>

namespace varnelo {
namespace {

TEST(SystemErrorText, NamesTheErrorsUsersMeetInJapaneseAndNumbersTheRest) {
    EXPECT_EQ(SystemErrorText(ENOTDIR), "フォルダではありません");
    EXPECT_EQ(SystemErrorText(EACCES), SystemErrorText(EPERM));
    EXPECT_EQ(SystemErrorText(ENOSPC), "ディスクの空き容量が足りません");
    EXPECT_EQ(SystemErrorText(EXDEV), "システムエラー " + std::to_string(EXDEV));
}

}  // namespace
}  // namespace varnelo
