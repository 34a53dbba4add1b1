// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include <windows.h>

#include "os/error.hpp"

namespace varnelo {
namespace {

TEST(SystemErrorText, NamesTheWindowsErrorsUsersMeet) {
    const auto text = [](DWORD code) {
        return os::SystemErrorText(os::TError{static_cast<int>(code)});
    };
    // A file another program holds: the user is to close that program.
    EXPECT_EQ(text(ERROR_SHARING_VIOLATION), "別のプロセスが使用中です");
    EXPECT_EQ(text(ERROR_LOCK_VIOLATION), "別のプロセスが使用中です");
    EXPECT_EQ(os::SystemErrorText(os::InUseError()), "別のプロセスが使用中です");
    EXPECT_EQ(text(ERROR_ACCESS_DENIED), "アクセスが拒否されました");
    EXPECT_EQ(text(ERROR_PATH_NOT_FOUND), "ファイルまたはフォルダが見つかりません");
    EXPECT_EQ(text(ERROR_INVALID_NAME),
              "ファイル名、フォルダ名またはボリュームラベルの構文が正しくありません");
    EXPECT_EQ(text(ERROR_DISK_FULL), "ディスクの空き容量が足りません");
    EXPECT_EQ(text(ERROR_NETNAME_DELETED), "ネットワーク上のパスに接続できません");
    EXPECT_EQ(text(ERROR_BAD_NETPATH), "ネットワーク上のパスに接続できません");
}

}  // namespace
}  // namespace varnelo
