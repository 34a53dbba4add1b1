// SPDX-License-Identifier: MIT
// The main window as a native Windows window: binds its controls to the application logic
// and shows what the logic asks for. It holds no rule of its own; TMainLogic has them, and
// the controls, captions and places come from the window's tables in app/main_form.hpp.
#pragma once

#include <windows.h>

#include <array>
#include <functional>
#include <string>

#include "app/main_form.hpp"
#include "app/main_logic.hpp"
#include "win32/controls.hpp"
#include "win32/handles.hpp"
#include "win32/thread_runner.hpp"

namespace varnelo::win32 {

// The command identifiers: a control's is kControlId + its place in kMainControls, a menu
// command's kCommandId + its TMainCommand.
inline constexpr int kControlId = 100;
inline constexpr int kCommandId = 200;
inline constexpr int kStatusBarId = 300;
inline constexpr int CommandId(TMainCommand command) {
    return kCommandId + static_cast<int>(command);
}

class TfrmMain final : public IMainView {
  public:
    // `settingsPath` is the settings file of the window's placement. With `endsProgram`,
    // closing the window ends the message loop.
    explicit TfrmMain(std::string settingsPath, bool endsProgram = true);
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    HWND Handle() const noexcept { return handle_; }
    HWND Control(TMainControl control) const noexcept { return controls_[control]; }
    HWND StatusBar() const noexcept { return statusBar_; }
    HWND ProgressBar() const noexcept { return progress_; }
    HMENU Menu() const noexcept { return GetMenu(handle_); }
    TMainLogic& Logic() noexcept { return logic_; }
    TThreadRunner& Runner() noexcept { return runner_; }

    // FormShow: the stored position and state take effect, the size stays the window's own.
    void Show();

    // IMainView
    void ShowMessage(TMessageKind kind, std::string_view text) override;
    void ShowErrorDisplay(std::string_view text) override;
    void SetStatusText(std::string_view text) override;
    void SetProgress(std::uint64_t done, std::uint64_t total) override;
    void SetBusyCursor(bool busy) override;
    void ProcessMessages() override;
    void ShowEnabled(const TMainEnabled& enabled) override;
    std::optional<std::string> ChooseFile(TFileDialog dialog) override;
    std::optional<TFolderChoice> ChooseFolder() override;
    void ShowEditors(const TEditors& editors) override;
    void ListChanged(TListChange change, std::size_t index) override;
    std::optional<std::size_t> SelectedEntry() const override;
    void SelectEntry(std::size_t index) override;
    void ShowCombine(bool checked, std::string_view combineFile) override;
    void CloseMessage() override;
    void ShowAbout(std::string_view versionText) override;
    void ShowShapefile(std::unique_ptr<TShapefileLayer> layer) override;
    bool OpenDocument(const std::string& path) override;
    void CloseWindow() override;

  private:
    template <typename Object>
    friend LRESULT CALLBACK ObjectWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    void CreateControls();
    void CreateMenus();
    void CreateBatchList();
    void LayOut();
    void OnCommand(int id, int code);
    LRESULT OnNotify(const NMHDR& header);
    void OnBatchListText(NMLVDISPINFOW& info);
    void OnBatchListMenu(POINT at);
    void OnClose();
    void OnDropFiles(HDROP drop);
    // Runs a logic command; whatever it raises goes to the general error display.
    void Run(const std::function<void()>& command) { logic_.Dispatch(command); }

    HWND handle_ = nullptr;
    std::string settingsPath_;
    bool endsProgram_;
    TThreadRunner runner_;
    TMainLogic logic_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    TFont font_;
    TImageList images_;
    TAccelerators accelerators_;
    TMenu batchMenu_;
    std::array<HWND, kMainControlCount> controls_{};
    std::array<HWND, kMainLabels.size()> labels_{};
    HWND statusBar_ = nullptr;
    HWND progress_ = nullptr;
    HWND toolTip_ = nullptr;
    std::array<std::wstring, 5> lastFiles_;  // each file dialog's last name
    std::wstring shownText_;                 // what the batch list shows of an entry now
    int busyCursor_ = 0;
    HWND focus_ = nullptr;  // the control that had the keyboard when the window was left
    bool showing_ = false;  // the window fills its controls: their changes are not the user's
};

}  // namespace varnelo::win32
