// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <string>

#include "../support/temp_dir.hpp"
#include "os/error.hpp"
#include "os/file.hpp"

namespace varnelo {
namespace {

TEST(SystemErrorText, NamesTheErrorsUsersMeetInJapaneseAndNumbersTheRest) {
    // The same words on every system, for the system's own codes.
    testing::TempDir dir;
    os::TFile file;
    const os::TError missing = file.Open(dir.Path("none.mif"), os::TFileMode::Read);
    EXPECT_EQ(os::SystemErrorText(missing), "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(os::SystemErrorText(os::IsADirectoryError()), "ファイルではなくフォルダです");
    EXPECT_EQ(os::ErrorTextOf(os::TErrorWords::DiskFull, {}, ""), "ディスクの空き容量が足りません");
    EXPECT_EQ(os::ErrorTextOf(os::TErrorWords::InUse, {}, ""), "別のプロセスが使用中です");
    // Any other: its number, and the system's own description when it has one.
    EXPECT_EQ(os::ErrorTextOf(os::TErrorWords::Other, os::TError{18}, "Invalid cross-device link"),
              "システムエラー 18 (Invalid cross-device link)");
    EXPECT_EQ(os::SystemErrorText(os::TError{987654}), "システムエラー 987654");
}

}  // namespace
}  // namespace varnelo
