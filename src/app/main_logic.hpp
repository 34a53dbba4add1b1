// SPDX-License-Identifier: MIT
// The main window's behaviour without the window: the single-job editors, the batch list with
// its commands, the input checks, the combine rule's controls and convert now. Every command
// reaches the user only through IMainView.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_list.hpp"
#include "app/batch_run.hpp"
#include "app/main_form.hpp"
#include "app/main_view.hpp"

namespace varnelo {

// The input checks' messages, in the order they are made.
inline constexpr std::string_view kNoTypeText = "変換するMIFのタイプを選択してください。";
inline constexpr std::string_view kBadSourceText = "変換元MIFのファイル名が不正です。";
inline constexpr std::string_view kBadTargetText = "変換後SHPのファイル名が不正です。";
// フォルダを追加's box, above the files that gave no entry, each with its reason.
inline constexpr std::string_view kFolderSkippedText = "次のファイルは追加しませんでした。";
// Shown when the window is to close while a conversion runs.
inline constexpr std::string_view kWaitForConversionText = "変換が終わるまでお待ちください。";

// The first failed check of a job's editors (its message), or none when the job may run:
// a type is chosen, a file (not a folder) exists at the source text exactly as typed, and
// the target text is not blank.
std::optional<std::string_view> ValidateInput(const TEditors& editors);

// The target name a picked source suggests: the source with its extension changed to ".shp".
std::string TargetNameFromSource(std::string_view mifFile);

// The batch list's status image of an entry: none, 0 (converted), 1 (crossed) or 2 (a
// warning: nothing to write).
std::optional<int> EntryImage(const TBatchEntry& entry);
// An entry's tooltip: its whole paths, and why a crossed entry failed or one with a warning
// wrote nothing.
std::string EntryToolTip(const TBatchEntry& entry);

// The progress bar's range, and where it stands for `done` of `total` (none: hidden).
inline constexpr int kProgressRange = 1000;
std::optional<int> ProgressPosition(std::uint64_t done, std::uint64_t total);

class TMainLogic {
  public:
    // `exePath` names the running program: its help file lies beside it, under its name
    // with ".html".
    TMainLogic(IMainView& view, IWorkRunner& runner, std::string exePath);

    const TBatchList& List() const { return list_; }
    const TEditors& Editors() const { return editors_; }
    bool Busy() const { return busy_; }
    std::string HelpFile() const { return helpFile_; }

    // Runs one command; whatever it raises goes to the general error display and the window
    // stays usable.
    void Dispatch(const std::function<void()>& command);
    // Runs the command of a menu item, a button, a key or the batch list, as Dispatch does.
    void Run(TMainCommand command);

    // Which controls and commands may be used now: while busy only the cancel button and
    // what changes neither the list nor starts a run; the entry commands with a selected
    // entry; the combine controls while the entries may be combined.
    TMainEnabled Enabled() const;

    // The editors as the user changes them.
    void lstMifTypeClick(int type);  // a type chosen in the list empties both file boxes
    void SetMifFileText(std::string text) { editors_.MifFile = std::move(text); }
    void SetShpFileText(std::string text) { editors_.ShpFile = std::move(text); }
    void SetCombine(bool checked) { list_.Combine = checked; }
    void SetCombineFile(std::string text) { list_.CombineFile = std::move(text); }

    void btnMifBrowseClick();
    void btnShpBrowseClick();
    void btnCmbBrowseClick();
    void btnAddClick();
    void btnReplaceClick();
    void btnRemoveClick();
    void btnClearClick();
    void lvwBatchDblClick();
    void lvwBatchChange();
    void btnConvertClick();
    // 中止 (or Esc): stops the conversion or batch run under way at its next object; the
    // target being written keeps its previous files.
    void btnCancelClick();

    // The batch run, and loading and saving the batch list file.
    void btnBatchClick();
    void O1Click();
    void S1Click();
    // フォルダを追加: every .mif of a chosen folder as entries, one per kind of object it holds,
    // found on the runner with progress, and stopped by 中止. The files that gave no entry are
    // named with their reasons in one box at the end.
    void D1Click();

    // Whether the window may close now: not while a conversion runs, which the user is told in
    // a box that closes itself once the conversion ends.
    bool CanClose();

    void X1Click();
    void H2Click();
    void A1Click();

    // Files dropped on the window: one fills the source box and derives the target as the
    // browse button does; several are added as one entry each with the selected type.
    void DropFiles(const std::vector<std::string>& paths);

    // Looking at a shapefile: one chosen in a file dialog, or the selected entry's target,
    // which can be looked at once it exists. A shapefile that cannot be opened shows an
    // error box with the reason.
    static constexpr std::string_view kCannotViewText = "シェープファイルを表示できません。";
    void V1Click();
    void ViewEntryClick();
    bool CanViewEntry(std::size_t index) const;
    void ViewShapefile(const std::string& shpPath);

    // Marks an entry with a run's result (and why it failed or wrote nothing) and shows it.
    void SetEntryStatus(std::size_t index, TEntryStatus status, std::string reason = {});

    // Evaluates CanCombine on the entries and enables or disables the combine controls.
    void UpdateCombineControls();

  private:
    bool Validate();
    void SetSource(std::string mifFile);
    void AfterListChange(TListChange change, std::size_t index);
    void SetBusy(bool busy);
    struct TConvertOutcome {
        int Type = 0;
        std::string MifFile;
        bool Succeeded = false;
        TConversionReport Report;
        std::exception_ptr Error;
    };
    // A new flag for the next run to watch; btnCancelClick sets it.
    const std::atomic<bool>* NewStopFlag();
    // However a finished work ends, once its box is dismissed or before an escaped error
    // reaches the general error display, the window is idle again with the default cursor
    // when this goes out of scope.
    struct TIdleAgain {
        TMainLogic& Logic;
        ~TIdleAgain();
    };
    void FinishConvert(const TConvertOutcome& outcome);
    struct TFolderScanOutcome;
    void FinishAddFolder(const TFolderScanOutcome& outcome);

    IMainView& view_;
    IWorkRunner& runner_;
    std::string helpFile_;
    TEditors editors_;
    TBatchList list_;
    bool busy_ = false;
    std::shared_ptr<std::atomic<bool>> stop_;  // the running work's
    bool showingReason_ = false;               // the status bar shows the selected entry's failure
    bool waitShown_ = false;                   // the box that keeps the window open is up
};

}  // namespace varnelo
