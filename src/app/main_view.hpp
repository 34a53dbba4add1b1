// SPDX-License-Identifier: MIT
// What the main window's logic needs from a window, and how it runs long work. The desktop
// program implements these with Qt widgets and a worker thread; tests replace them with
// recording fakes, and the command line with text on a terminal.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "engine/convert.hpp"

namespace varnelo {

// The three kinds of message box, each with one "OK" button; the kind sets the caption and
// the icon: "警告", "エラー", "情報".
enum class TMessageKind { Warning, Error, Information };

// The window's file dialogs, each keeping its last file name between uses.
enum class TFileDialog {
    OpenMif,        // "MapInfo インポート/エクスポート (*.mif)|*.mif"
    SaveShp,        // "SHP ファイル (*.shp)|*.shp", default extension "shp"
    OpenBatchList,  // "Varneloバッチファイル (*.txt)|*.txt|すべてのファイル (*.*)|*.*"
    SaveBatchList,  // the same filter, default extension "txt"
    OpenShp,        // "SHP ファイル (*.shp)|*.shp", to look at a shapefile
};

class TShapefileLayer;

// How the batch list changed, for the window to redraw the entry at `index` (or all).
enum class TListChange { Appended, Replaced, Removed, Cleared, StatusChanged };

// The controls by their place in kMainControls, which is their tab order.
enum TMainControl : int {
    lstMifType,
    edtMifFile,
    btnMifBrowse,
    edtShpFile,
    btnShpBrowse,
    btnAdd,
    btnReplace,
    btnConvert,
    lvwBatch,
    chkCombine,
    edtConbineFile,
    btnCmbBrowse,
    btnClear,
    btnRemove,
    btnBatch,
    btnCancel,  // stops the conversion under way; Esc too
    kMainControlCount
};

// The commands: the menus' and the batch list's context menu's, then the buttons' and the
// batch list's own.
enum class TMainCommand {
    Open,
    Save,
    ViewShapefile,
    AddFolder,
    Exit,
    HelpSearch,
    About,
    ViewEntry,
    MifBrowse,
    ShpBrowse,
    CmbBrowse,
    Add,
    Replace,
    Convert,
    Clear,
    Remove,
    Batch,
    Cancel,
    ListDblClick,
    ListChange,
};
inline constexpr int kMainCommandCount = static_cast<int>(TMainCommand::ListChange) + 1;

// Which controls and commands may be used now.
struct TMainEnabled {
    std::array<bool, kMainControlCount> Controls{};
    std::array<bool, kMainCommandCount> Commands{};

    bool operator[](TMainControl control) const { return Controls[control]; }
    bool operator[](TMainCommand command) const {
        return Commands[static_cast<std::size_t>(command)];
    }
};

// The single-job editors: the selected type (none at start), the source and target texts.
struct TEditors {
    std::optional<int> Type;
    std::string MifFile;
    std::string ShpFile;
};

// The general error display's text: a "." is appended when the last byte sorts after ".".
inline std::string ErrorDisplayText(std::string_view message) {
    std::string text(message);
    if (!text.empty() && static_cast<unsigned char>(text.back()) > '.') {
        text += '.';
    }
    return text;
}

// What a batch run needs of its surroundings: the main window, or a terminal.
class IBatchView : public IStatusSink {
  public:
    // Shows a modal message box and returns once it is dismissed.
    virtual void ShowMessage(TMessageKind kind, std::string_view text) = 0;
    // The general error display for errors no command handles: caption "Varnelo Converter",
    // error icon, one "OK" button.
    virtual void ShowErrorDisplay(std::string_view text) = 0;

    // SetStatusText (from IStatusSink), SetProgress and SelectEntry may be called from any
    // thread; the window shows them in the order they were called. The other calls come from
    // the window's own thread. A total of 0 hides the progress.
    virtual void SetProgress(std::uint64_t done, std::uint64_t total) = 0;
    virtual void SetBusyCursor(bool busy) = 0;
    // Lets pending window messages run; does nothing when called off the window's thread.
    virtual void ProcessMessages() = 0;
    // Selects the entry and scrolls it into view.
    virtual void SelectEntry(std::size_t index) = 0;
};

// A folder whose .mif files are to be added to the batch list, as the user chose it.
struct TFolderChoice {
    std::string Folder;
    bool Subfolders = false;    // the .mif files of its subfolders too
    std::string OutputFolder;   // where the targets go; empty: beside their sources
};

class IMainView : public IBatchView {
  public:
    // Enables or disables every control and command as `enabled` says.
    virtual void ShowEnabled(const TMainEnabled& enabled) = 0;

    virtual std::optional<std::string> ChooseFile(TFileDialog dialog) = 0;
    // Asks for a folder, whether to take its subfolders too, and an output folder.
    virtual std::optional<TFolderChoice> ChooseFolder() = 0;
    virtual void ShowEditors(const TEditors& editors) = 0;

    virtual void ListChanged(TListChange change, std::size_t index) = 0;
    virtual std::optional<std::size_t> SelectedEntry() const = 0;
    // Shows the combine flag and the combined file's name.
    virtual void ShowCombine(bool checked, std::string_view combineFile) = 0;

    // Closes the message box shown last that is still open, as its "OK" button would; its
    // ShowMessage returns once the boxes shown after it are closed too.
    virtual void CloseMessage() = 0;

    virtual void ShowAbout(std::string_view versionText) = 0;
    // Shows an opened shapefile's shapes and table in a window of their own.
    virtual void ShowShapefile(std::unique_ptr<TShapefileLayer> layer) = 0;
    // Opens a document with the desktop's viewer; false when that fails.
    virtual bool OpenDocument(const std::string& path) = 0;
    virtual void CloseWindow() = 0;
};

// Runs long work: `work` somewhere (a worker thread in the window), then `finished` on the
// thread that called Run, after everything `work` reported through the view.
class IWorkRunner {
  public:
    virtual ~IWorkRunner() = default;
    virtual void Run(std::function<void()> work, std::function<void()> finished) = 0;
    // Runs `task` on the thread that called Run, after everything the work reported before
    // it and before `finished`; may be called from any thread.
    virtual void Post(std::function<void()> task) = 0;
};

// Runs the work at once on the calling thread, as tests and the command line do; a posted
// task runs at once on the thread that posts it.
class TImmediateRunner final : public IWorkRunner {
  public:
    void Run(std::function<void()> work, std::function<void()> finished) override {
        work();
        finished();
    }
    void Post(std::function<void()> task) override { task(); }
};

}  // namespace varnelo
