// SPDX-License-Identifier: MIT
#include "app/main_logic.hpp"

#include <algorithm>
#include <array>
#include <memory>

#include "app/batch_file.hpp"
#include "app/folder_scan.hpp"
#include "app/paths.hpp"
#include "app/shapefile_layer.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"

namespace varnelo {
namespace {

bool IsExistingFile(const std::string& path) {
    const os::TFileKind kind = path.empty() ? os::TFileKind::None : os::KindOfPath(path);
    return kind != os::TFileKind::None && kind != os::TFileKind::Directory;
}

}  // namespace

std::optional<std::string_view> ValidateInput(const TEditors& editors) {
    if (!editors.Type) {
        return kNoTypeText;
    }
    if (!IsExistingFile(editors.MifFile)) {
        return kBadSourceText;
    }
    if (TrimView(editors.ShpFile).empty()) {
        return kBadTargetText;
    }
    return std::nullopt;
}

std::string TargetNameFromSource(std::string_view mifFile) {
    return ChangeFileExt(mifFile, ".shp");
}

std::optional<int> EntryImage(const TBatchEntry& entry) {
    switch (entry.Status) {
        case TEntryStatus::Success:
            return 0;
        case TEntryStatus::Failure:
            return 1;
        case TEntryStatus::NothingToWrite:
            return 2;
        default:
            return std::nullopt;
    }
}

std::string EntryToolTip(const TBatchEntry& entry) {
    std::string text = entry.MifFile + "\n" + entry.ShpFile;
    if (!entry.Reason.empty()) {
        text += "\n" + entry.Reason;
    }
    return text;
}

std::optional<int> ProgressPosition(std::uint64_t done, std::uint64_t total) {
    if (total == 0) {
        return std::nullopt;
    }
    return static_cast<int>(std::min(done, total) * kProgressRange / total);
}

TMainLogic::TMainLogic(IMainView& view, IWorkRunner& runner, std::string exePath)
    : view_(view),
      runner_(runner),
      helpFile_(ExtractDirWithSlash(exePath) + ExtractNameWithoutExt(exePath) + ".html") {}

void TMainLogic::Dispatch(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& e) {
        view_.SetStatusText("");  // no progress text outlives the error
        view_.ShowErrorDisplay(ErrorDisplayText(e.what()));
    }
}

void TMainLogic::Run(TMainCommand command) {
    using THandler = void (TMainLogic::*)();
    // By TMainCommand.
    static constexpr std::array<THandler, kMainCommandCount> kHandlers{
        &TMainLogic::O1Click,           &TMainLogic::S1Click,
        &TMainLogic::V1Click,           &TMainLogic::D1Click,
        &TMainLogic::X1Click,
        &TMainLogic::H2Click,           &TMainLogic::A1Click,
        &TMainLogic::ViewEntryClick,    &TMainLogic::btnMifBrowseClick,
        &TMainLogic::btnShpBrowseClick, &TMainLogic::btnCmbBrowseClick,
        &TMainLogic::btnAddClick,       &TMainLogic::btnReplaceClick,
        &TMainLogic::btnConvertClick,   &TMainLogic::btnClearClick,
        &TMainLogic::btnRemoveClick,    &TMainLogic::btnBatchClick,
        &TMainLogic::btnCancelClick,    &TMainLogic::lvwBatchDblClick,
        &TMainLogic::lvwBatchChange,
    };
    Dispatch([&] { (this->*kHandlers[static_cast<std::size_t>(command)])(); });
}

TMainEnabled TMainLogic::Enabled() const {
    TMainEnabled enabled;
    enabled.Controls.fill(true);
    enabled.Commands.fill(true);
    for (const TMainControl c : {btnAdd, btnConvert, btnClear, btnBatch}) {
        enabled.Controls[c] = !busy_;
    }
    for (const TMainControl c : {btnReplace, btnRemove}) {
        enabled.Controls[c] = !busy_ && view_.SelectedEntry().has_value();
    }
    for (const TMainControl c : {chkCombine, edtConbineFile, btnCmbBrowse}) {
        enabled.Controls[c] = !busy_ && list_.CombineEnabled;
    }
    enabled.Controls[btnCancel] = busy_;
    enabled.Commands[static_cast<std::size_t>(TMainCommand::Open)] = !busy_;
    enabled.Commands[static_cast<std::size_t>(TMainCommand::AddFolder)] = !busy_;
    return enabled;
}

bool TMainLogic::Validate() {
    if (const auto message = ValidateInput(editors_)) {
        view_.ShowMessage(TMessageKind::Warning, *message);
        return false;
    }
    return true;
}

void TMainLogic::lstMifTypeClick(int type) {
    editors_ = TEditors{type, "", ""};
    view_.ShowEditors(editors_);
}

void TMainLogic::SetSource(std::string mifFile) {
    editors_.ShpFile = TargetNameFromSource(mifFile);
    editors_.MifFile = std::move(mifFile);
    view_.ShowEditors(editors_);
}

void TMainLogic::btnMifBrowseClick() {
    if (auto path = view_.ChooseFile(TFileDialog::OpenMif)) {
        SetSource(std::move(*path));
    }
}

void TMainLogic::btnShpBrowseClick() {
    if (auto path = view_.ChooseFile(TFileDialog::SaveShp)) {
        editors_.ShpFile = std::move(*path);
        view_.ShowEditors(editors_);
    }
}

void TMainLogic::btnCmbBrowseClick() {
    if (busy_) {
        return;
    }
    if (auto path = view_.ChooseFile(TFileDialog::SaveShp)) {
        list_.CombineFile = std::move(*path);
        view_.ShowCombine(list_.Combine, list_.CombineFile);
    }
}

void TMainLogic::AfterListChange(TListChange change, std::size_t index) {
    view_.ListChanged(change, index);
    UpdateCombineControls();
}

void TMainLogic::btnAddClick() {
    if (busy_ || !Validate()) {
        return;
    }
    list_.Entries.push_back(MakeBatchEntry(*editors_.Type, editors_.MifFile, editors_.ShpFile));
    AfterListChange(TListChange::Appended, list_.Entries.size() - 1);
}

void TMainLogic::btnReplaceClick() {
    if (busy_ || !Validate()) {
        return;
    }
    const auto selected = view_.SelectedEntry();
    if (!selected || *selected >= list_.Entries.size()) {
        return;
    }
    list_.Entries[*selected] = MakeBatchEntry(*editors_.Type, editors_.MifFile, editors_.ShpFile);
    AfterListChange(TListChange::Replaced, *selected);
}

void TMainLogic::btnRemoveClick() {
    const auto selected = view_.SelectedEntry();
    if (busy_ || !selected || *selected >= list_.Entries.size()) {
        return;
    }
    list_.Entries.erase(list_.Entries.begin() + static_cast<std::ptrdiff_t>(*selected));
    AfterListChange(TListChange::Removed, *selected);
}

void TMainLogic::btnClearClick() {
    if (busy_) {
        return;
    }
    list_.Entries.clear();
    AfterListChange(TListChange::Cleared, 0);
}

void TMainLogic::lvwBatchDblClick() {
    const auto selected = view_.SelectedEntry();
    if (!selected || *selected >= list_.Entries.size()) {
        return;
    }
    const TBatchEntry& entry = list_.Entries[*selected];
    editors_ = TEditors{entry.ConversionType, entry.MifFile, entry.ShpFile};
    view_.ShowEditors(editors_);
}

void TMainLogic::lvwBatchChange() {
    const auto selected = view_.SelectedEntry();
    view_.ShowEnabled(Enabled());
    if (busy_) {
        return;  // the status bar is the run's
    }
    // A crossed entry, or one with nothing to write, says why in the status bar while it is
    // selected.
    const TBatchEntry* entry =
        selected && *selected < list_.Entries.size() ? &list_.Entries[*selected] : nullptr;
    if (entry != nullptr && !entry->Reason.empty()) {
        view_.SetStatusText(entry->Reason);
        showingReason_ = true;
    } else if (showingReason_) {
        view_.SetStatusText("");
        showingReason_ = false;
    }
}

void TMainLogic::SetEntryStatus(std::size_t index, TEntryStatus status, std::string reason) {
    TBatchEntry& entry = list_.Entries.at(index);
    entry.Status = status;
    const bool told = status == TEntryStatus::Failure || status == TEntryStatus::NothingToWrite;
    entry.Reason = told ? std::move(reason) : std::string();
    view_.ListChanged(TListChange::StatusChanged, index);
}

const std::atomic<bool>* TMainLogic::NewStopFlag() {
    stop_ = std::make_shared<std::atomic<bool>>(false);
    return stop_.get();
}

void TMainLogic::btnCancelClick() {
    if (busy_ && stop_) {
        stop_->store(true);
    }
}

bool TMainLogic::CanClose() {
    if (busy_) {
        waitShown_ = true;
        view_.ShowMessage(TMessageKind::Information, kWaitForConversionText);
        waitShown_ = false;
        return false;
    }
    return true;
}

void TMainLogic::UpdateCombineControls() {
    list_.CombineEnabled = CanCombine(list_.Entries);
    view_.ShowEnabled(Enabled());
}

void TMainLogic::SetBusy(bool busy) {
    // The status bar is the run's from its start, and keeps what the run said last once it
    // ended; a selected entry's reason shows again only when the user selects it.
    busy_ = busy;
    showingReason_ = false;
    view_.ShowEnabled(Enabled());
    if (!busy && waitShown_) {
        waitShown_ = false;
        view_.CloseMessage();  // nothing is left to wait for
    }
}

void TMainLogic::btnConvertClick() {
    if (busy_ || !Validate()) {
        return;
    }
    view_.SetBusyCursor(true);
    SetBusy(true);
    auto outcome = std::make_shared<TConvertOutcome>();
    outcome->Type = *editors_.Type;
    outcome->MifFile = editors_.MifFile;
    const std::atomic<bool>* cancel = NewStopFlag();  // lives until the next run starts
    auto work = [this, outcome, cancel, shp = editors_.ShpFile] {
        TConversionHooks hooks;
        hooks.Status = &view_;
        hooks.ProcessMessages = [this] { view_.ProcessMessages(); };
        hooks.Progress = [this](std::uint64_t done, std::uint64_t total) {
            view_.SetProgress(done, total);
        };
        hooks.Report = &outcome->Report;
        hooks.Cancel = cancel;
        try {
            outcome->Succeeded = ConvertMifToShp(outcome->Type, outcome->MifFile, shp, hooks);
        } catch (...) {
            outcome->Error = std::current_exception();
        }
    };
    runner_.Run(std::move(work), [this, outcome] { Dispatch([&] { FinishConvert(*outcome); }); });
}

TMainLogic::TIdleAgain::~TIdleAgain() {
    Logic.SetBusy(false);
    Logic.view_.SetBusyCursor(false);
}

void TMainLogic::FinishConvert(const TConvertOutcome& outcome) {
    const TIdleAgain idle{*this};
    view_.SetProgress(0, 0);  // the conversion is over: no bar beside its result
    if (outcome.Error) {
        std::rethrow_exception(outcome.Error);
    }
    if (outcome.Report.Cancelled) {
        view_.SetStatusText(Text(TText::kEngineCancelled));
        return;
    }
    const TOutcomeMessage message =
        ConversionMessage(outcome.Type, outcome.MifFile, outcome.Succeeded, outcome.Report);
    SetBusy(false);  // nothing behind the result box offers to stop a finished conversion
    view_.ShowMessage(message.Kind, message.Text);
}

struct TMainLogic::TFolderScanOutcome {
    TFolderScan Scan;
    std::exception_ptr Error;
};

void TMainLogic::D1Click() {
    if (busy_) {
        return;
    }
    const std::optional<TFolderChoice> choice = view_.ChooseFolder();
    if (!choice) {
        return;
    }
    view_.SetBusyCursor(true);
    SetBusy(true);
    auto outcome = std::make_shared<TFolderScanOutcome>();
    const std::atomic<bool>* cancel = NewStopFlag();
    auto work = [this, outcome, cancel, choice = *choice, listed = list_.Entries] {
        TFolderScanHooks hooks;
        hooks.Cancel = cancel;
        hooks.Progress = [this](std::size_t done, std::size_t total) {
            view_.SetProgress(done, total);
        };
        try {
            outcome->Scan = ScanFolder({choice.Folder, choice.Subfolders, choice.OutputFolder},
                                       listed, hooks);
        } catch (...) {
            outcome->Error = std::current_exception();
        }
    };
    runner_.Run(std::move(work),
                [this, outcome] { Dispatch([&] { FinishAddFolder(*outcome); }); });
}

void TMainLogic::FinishAddFolder(const TFolderScanOutcome& outcome) {
    const TIdleAgain idle{*this};
    view_.SetProgress(0, 0);
    if (outcome.Error) {
        std::rethrow_exception(outcome.Error);
    }
    if (outcome.Scan.Cancelled) {
        view_.SetStatusText(Text(TText::kEngineCancelled));
        return;
    }
    for (const TBatchEntry& entry : outcome.Scan.Entries) {
        list_.Entries.push_back(entry);
        view_.ListChanged(TListChange::Appended, list_.Entries.size() - 1);
    }
    UpdateCombineControls();
    view_.SetStatusText(std::to_string(outcome.Scan.Entries.size()) + " 件を追加しました。");
    if (!outcome.Scan.Skipped.empty()) {
        std::string text(kFolderSkippedText);
        for (const TSkippedSource& skipped : outcome.Scan.Skipped) {
            text.append("\n").append(skipped.MifFile).append(": ").append(skipped.Reason);
        }
        SetBusy(false);
        view_.ShowMessage(TMessageKind::Warning, text);
    }
}

void TMainLogic::btnBatchClick() {
    if (busy_) {
        return;
    }
    TBatchRunOptions options;
    options.Started = [this] { SetBusy(true); };
    options.Cancel = NewStopFlag();
    options.StatusChanged = [this, list = &list_](std::size_t index, TEntryStatus status,
                                                  const TConversionReport& report) {
        SetEntryStatus(index, status, EntryReasonText(list->Entries.at(index), status, report));
    };
    options.Ended = [this](const TBatchSummary&) { SetBusy(false); };
    RunBatch(list_, view_, runner_, std::move(options));
}

void TMainLogic::O1Click() {
    if (busy_) {
        return;
    }
    const auto path = view_.ChooseFile(TFileDialog::OpenBatchList);
    if (!path) {
        return;
    }
    list_.Entries.clear();
    view_.ListChanged(TListChange::Cleared, 0);
    std::exception_ptr error;
    try {
        LoadBatchList(*path, list_);
    } catch (const EInvalidBatchList& e) {
        view_.ShowMessage(TMessageKind::Error, e.what());
    } catch (...) {
        error = std::current_exception();
    }
    for (std::size_t i = 0; i < list_.Entries.size(); ++i) {
        view_.ListChanged(TListChange::Appended, i);
    }
    view_.ShowCombine(list_.Combine, list_.CombineFile);
    // However the load ended; an error of the combine rule's own is shown before the load's.
    if (!error) {
        UpdateCombineControls();
        return;
    }
    Dispatch([this] { UpdateCombineControls(); });
    std::rethrow_exception(error);
}

void TMainLogic::S1Click() {
    if (list_.Entries.empty()) {
        view_.ShowMessage(TMessageKind::Warning, Text(TText::kAppNoBatchList));
        return;
    }
    if (const auto path = view_.ChooseFile(TFileDialog::SaveBatchList)) {
        SaveBatchList(list_, *path);
    }
}

void TMainLogic::X1Click() {
    view_.CloseWindow();
}

void TMainLogic::H2Click() {
    if (!IsExistingFile(helpFile_)) {
        view_.ShowMessage(TMessageKind::Error,
                          "ヘルプファイル " + helpFile_ + " が見つかりません。");
        return;
    }
    if (!view_.OpenDocument(helpFile_)) {
        view_.ShowMessage(TMessageKind::Error,
                          "ヘルプファイル " + helpFile_ + " を表示するプログラムがありません。");
    }
}

void TMainLogic::A1Click() {
    view_.ShowAbout("Version " + GetExeFileVersion());
}

void TMainLogic::DropFiles(const std::vector<std::string>& paths) {
    if (busy_ || paths.empty()) {
        return;
    }
    if (paths.size() == 1) {
        SetSource(paths.front());
        return;
    }
    if (!editors_.Type) {
        view_.ShowMessage(TMessageKind::Warning, kNoTypeText);
        return;
    }
    for (const std::string& path : paths) {
        list_.Entries.push_back(MakeBatchEntry(*editors_.Type, path, TargetNameFromSource(path)));
        view_.ListChanged(TListChange::Appended, list_.Entries.size() - 1);
    }
    UpdateCombineControls();
}

void TMainLogic::V1Click() {
    if (const auto path = view_.ChooseFile(TFileDialog::OpenShp)) {
        ViewShapefile(*path);
    }
}

void TMainLogic::ViewEntryClick() {
    const auto selected = view_.SelectedEntry();
    if (selected && CanViewEntry(*selected)) {
        ViewShapefile(list_.Entries[*selected].ShpFile);
    }
}

bool TMainLogic::CanViewEntry(std::size_t index) const {
    return index < list_.Entries.size() && IsExistingFile(list_.Entries[index].ShpFile);
}

void TMainLogic::ViewShapefile(const std::string& shpPath) {
    std::unique_ptr<TShapefileLayer> layer;
    try {
        layer = std::make_unique<TShapefileLayer>(shpPath);
    } catch (const std::exception& error) {
        view_.ShowMessage(TMessageKind::Error, std::string(kCannotViewText) + "\n" + error.what());
        return;
    }
    view_.ShowShapefile(std::move(layer));
}

}  // namespace varnelo
