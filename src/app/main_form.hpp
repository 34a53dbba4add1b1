// SPDX-License-Identifier: MIT
// What the main window looks like, the same for every window toolkit: its caption, the size of
// its client area, every control with its place, caption and start state in tab order, the
// labels, the batch list's columns, the menus with their shortcuts, the file dialogs' filters
// and the message boxes' captions. The window layers build their controls from these tables;
// places are in pixels at 96 pixels per inch, which a window scales for its monitor.
#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "app/main_view.hpp"

namespace varnelo {

inline constexpr std::string_view kProgramTitle = "Varnelo Converter";

// The client area, the status bar along its bottom included.
inline constexpr int kMainClientWidth = 789;
inline constexpr int kMainClientHeight = 408;
inline constexpr int kStatusBarHeight = 19;
// The progress bar at the right of the status bar.
inline constexpr int kProgressWidth = 160;
inline constexpr int kProgressHeight = 14;

// The program's font: its face, and its character height in pixels at 96 pixels per inch.
inline constexpr std::string_view kProgramFontFace = "ＭＳ Ｐゴシック";
inline constexpr int kProgramFontPixels = 12;

struct TBounds {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
};

enum class TControlKind { ListBox, Edit, Button, ListView, CheckBox };

struct TControlForm {
    std::string_view Name;
    TControlKind Kind;
    TBounds Bounds;
    std::string_view Caption;
    bool EnabledAtStart;
};

inline constexpr std::array<TControlForm, kMainControlCount> kMainControls{{
    {"lstMifType", TControlKind::ListBox, {8, 24, 305, 105}, "", true},
    {"edtMifFile", TControlKind::Edit, {8, 152, 249, 20}, "", true},
    {"btnMifBrowse", TControlKind::Button, {264, 152, 49, 21}, "参照", true},
    {"edtShpFile", TControlKind::Edit, {8, 200, 249, 20}, "", true},
    {"btnShpBrowse", TControlKind::Button, {264, 200, 49, 21}, "参照", true},
    {"btnAdd", TControlKind::Button, {80, 368, 75, 21}, "追加", true},
    {"btnReplace", TControlKind::Button, {160, 368, 75, 21}, "置換", false},
    {"btnConvert", TControlKind::Button, {240, 368, 75, 21}, "すぐに変換", true},
    {"lvwBatch", TControlKind::ListView, {328, 24, 457, 273}, "", true},
    {"chkCombine",
     TControlKind::CheckBox,
     {328, 304, 457, 17},
     "ファイルを統合する（同一の属性定義、変換タイプ時のみ使用可能）",
     false},
    {"edtConbineFile", TControlKind::Edit, {328, 344, 401, 20}, "", false},
    {"btnCmbBrowse", TControlKind::Button, {736, 344, 49, 21}, "参照", false},
    {"btnClear", TControlKind::Button, {552, 368, 75, 21}, "クリア", true},
    {"btnRemove", TControlKind::Button, {632, 368, 75, 21}, "削除", false},
    {"btnBatch", TControlKind::Button, {712, 368, 75, 21}, "変換開始", true},
    {"btnCancel", TControlKind::Button, {472, 368, 75, 21}, "中止", false},
}};

// The command each button gives.
inline constexpr std::array<std::pair<TMainControl, TMainCommand>, 10> kButtonCommands{{
    {btnMifBrowse, TMainCommand::MifBrowse},
    {btnShpBrowse, TMainCommand::ShpBrowse},
    {btnAdd, TMainCommand::Add},
    {btnReplace, TMainCommand::Replace},
    {btnConvert, TMainCommand::Convert},
    {btnCmbBrowse, TMainCommand::CmbBrowse},
    {btnClear, TMainCommand::Clear},
    {btnRemove, TMainCommand::Remove},
    {btnBatch, TMainCommand::Batch},
    {btnCancel, TMainCommand::Cancel},
}};

inline constexpr std::string_view kCancelToolTip = "変換を中止します (Esc)";

struct TLabelForm {
    std::string_view Name;
    std::string_view Caption;
    int Left;
    int Top;
};

inline constexpr std::array<TLabelForm, 5> kMainLabels{{
    {"Label3", "変換するMIFのタイプ", 8, 8},
    {"Label4", "変換元MIFのファイル名", 8, 136},
    {"Label5", "変換後SHPのファイル名", 8, 184},
    {"Label2", "バッチリスト", 328, 8},
    {"Label1", "統合後のファイル名", 328, 328},
}};

struct TColumnForm {
    std::string_view Header;
    int Width;
};

// The batch list's columns: the status image, the type, the source and the target.
inline constexpr std::array<TColumnForm, 4> kBatchColumns{{
    {"", 18},
    {"タイプ", 110},
    {"元ファイル", 154},
    {"先ファイル", 154},
}};

enum class TShortcut { None, CtrlO, CtrlS, CtrlD, F1 };

struct TMenuItemForm {
    std::string_view Name;  // empty for a separator
    std::string_view Caption;
    TMainCommand Command;
    TShortcut Shortcut;
};

struct TMenuForm {
    std::string_view Name;
    std::string_view Caption;
    std::array<TMenuItemForm, 6> Items;  // up to the first one without a caption
};

inline constexpr TMenuItemForm kSeparator{"", "-", TMainCommand::Exit, TShortcut::None};

inline constexpr std::array<TMenuForm, 2> kMainMenus{{
    {"mnuFile",
     "ファイル(&F)",
     {{{"O1", "開く(&O)...", TMainCommand::Open, TShortcut::CtrlO},
       {"S1", "保存(&S)...", TMainCommand::Save, TShortcut::CtrlS},
       {"D1", "フォルダを追加(&D)...", TMainCommand::AddFolder, TShortcut::CtrlD},
       {"V1", "シェープファイルを表示(&V)...", TMainCommand::ViewShapefile, TShortcut::None},
       kSeparator,
       {"X1", "終了(&X)", TMainCommand::Exit, TShortcut::None}}}},
    {"mnuHelp",
     "ヘルプ(&H)",
     {{{"H2", "トピックの検索(&H)", TMainCommand::HelpSearch, TShortcut::F1},
       kSeparator,
       {"A1", "バージョン情報(&A)...", TMainCommand::About, TShortcut::None},
       {},
       {},
       {}}}},
}};

// The batch list's context menu: its command to look at the entry's target.
inline constexpr TMenuItemForm kViewEntryItem{"V2", "表示...", TMainCommand::ViewEntry,
                                              TShortcut::None};

struct TFileDialogForm {
    bool Save;
    // Pairs of a description and a pattern, separated by vertical bars.
    std::string_view Filter;
    std::string_view DefaultExtension;  // added to a name typed without one; empty: none
};

// In the order of TFileDialog. None asks before overwriting, and the open dialogs take the
// name of a file that does not exist.
inline constexpr std::array<TFileDialogForm, 5> kFileDialogs{{
    {false, "MapInfo インポート/エクスポート (*.mif)|*.mif", ""},
    {true, "SHP ファイル (*.shp)|*.shp", "shp"},
    {false, "Varneloバッチファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*", ""},
    {true, "Varneloバッチファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*", "txt"},
    {false, "SHP ファイル (*.shp)|*.shp", ""},
}};

inline const TFileDialogForm& FileDialogForm(TFileDialog dialog) {
    return kFileDialogs[static_cast<std::size_t>(dialog)];
}

// フォルダを追加's questions: the folder, its subfolders, where the targets go.
inline constexpr std::string_view kAddFolderTitle = "追加するフォルダ";
inline constexpr std::string_view kQuestionCaption = "確認";
inline constexpr std::string_view kSubfoldersQuestion = "サブフォルダの .mif ファイルも追加しますか？";
inline constexpr std::string_view kOutputFolderQuestion =
    "変換後のファイルを別のフォルダに書きますか？\n"
    "（［いいえ］: 元のファイルと同じフォルダに書きます）";
inline constexpr std::string_view kOutputFolderTitle = "変換後のファイルを書くフォルダ";

// フォルダを追加's questions in their order, through the window's folder dialog (`folder`: the
// chosen one under a title, none when cancelled) and its yes/no box (`yes`).
inline std::optional<TFolderChoice> AskFolderChoice(
    const std::function<std::optional<std::string>(std::string_view title)>& folder,
    const std::function<bool(std::string_view question)>& yes) {
    TFolderChoice choice;
    const auto source = folder(kAddFolderTitle);
    if (!source) {
        return std::nullopt;
    }
    choice.Folder = *source;
    choice.Subfolders = yes(kSubfoldersQuestion);
    if (yes(kOutputFolderQuestion)) {
        const auto output = folder(kOutputFolderTitle);
        if (!output) {
            return std::nullopt;
        }
        choice.OutputFolder = *output;
    }
    return choice;
}

// A message box's caption: "警告", "エラー" or "情報"; the general error display's is the
// program's title.
inline constexpr std::string_view MessageCaption(TMessageKind kind) {
    switch (kind) {
        case TMessageKind::Warning:
            return "警告";
        case TMessageKind::Error:
            return "エラー";
        case TMessageKind::Information:
            break;
    }
    return "情報";
}

// The about box: its caption, client width and outer height, the icon's place, the two
// labels and the OK button.
inline constexpr std::string_view kAboutCaption = "バージョン情報";
inline constexpr int kAboutClientWidth = 361;
inline constexpr int kAboutOuterHeight = 214;
inline constexpr TBounds kAboutIcon{64, 16, 32, 32};
inline constexpr TLabelForm kAboutName{"Label1", "Varnelo Converter", 104, 16};
inline constexpr TLabelForm kAboutVersion{"lblVersion", "", 104, 32};
inline constexpr TBounds kAboutButton{144, 152, 75, 21};

}  // namespace varnelo
