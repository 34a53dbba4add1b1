// SPDX-License-Identifier: MIT
#include "shape/system_error_text.hpp"

#include <cerrno>
#include <string_view>

namespace varnelo {

std::string SystemErrorText(int errorCode) {
    std::string_view text;
    switch (errorCode) {
        case ENOENT:
            text = "ファイルまたはフォルダが見つかりません";
            break;
        case EACCES:
        case EPERM:
            text = "アクセスが拒否されました";
            break;
        case EROFS:
            text = "読み取り専用のファイルシステムです";
            break;
        case ENOSPC:
            text = "ディスクの空き容量が足りません";
            break;
#ifdef EDQUOT
        case EDQUOT:
            text = "ディスクの使用量の上限を超えました";
            break;
#endif
        case ENOTDIR:
            text = "フォルダではありません";
            break;
        case EISDIR:
            text = "ファイルではなくフォルダです";
            break;
        case EMFILE:
        case ENFILE:
            text = "開いているファイルが多すぎます";
            break;
        case EIO:
            text = "入出力エラーが発生しました";
            break;
        default:
            return "システムエラー " + std::to_string(errorCode);
    }
    return std::string(text);
}

}  // namespace varnelo
