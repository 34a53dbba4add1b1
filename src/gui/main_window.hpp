// SPDX-License-Identifier: MIT
// The main window: binds its controls to the application logic and shows what the logic asks
// for. It holds no rule of its own; TMainLogic has them.
#pragma once

#include <QFileDialog>
#include <QMainWindow>
#include <QString>
#include <array>
#include <functional>
#include <memory>

#include "app/main_form.hpp"
#include "app/main_logic.hpp"
#include "gui/thread_runner.hpp"

class QCheckBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace varnelo::gui {

// Text of the logic (bytes, UTF-8 on this platform) for the screen, and back.
QString ScreenText(std::string_view bytes);
std::string TextBytes(const QString& text);

class TfrmMain : public QMainWindow, public IMainView {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = kMainClientWidth;
    static constexpr int kClientHeight = kMainClientHeight;

    // `settingsPath` is the settings file of the window's placement.
    explicit TfrmMain(std::string settingsPath, QWidget* parent = nullptr);
    ~TfrmMain() override;

    TMainLogic& Logic() { return logic_; }
    // The file menu, for commands that later work adds to it.
    QMenu* FileMenu() const { return mnuFile; }

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

  protected:
    void showEvent(QShowEvent* event) override;    // FormShow
    void closeEvent(QCloseEvent* event) override;  // FormClose
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void CreateControls(QWidget* client);
    void CreateMenus();
    void ConnectControls();
    void CreateViewCommands();
    void FillItem(QTreeWidgetItem& item, const TBatchEntry& entry) const;
    // Puts the frame's top left corner at `at`, once the window system has framed the window.
    void PlaceFrameAt(QPoint at);
    void KeepFramePlaced();
    // Runs a change of the widgets at once on the window's thread, or queues it there from
    // another thread, behind the changes queued before it.
    void OnWindowThread(std::function<void()> change);
    // Runs a logic command from a control's signal.
    auto Handler(TMainCommand command) {
        return [this, command] { logic_.Run(command); };
    }

    std::string settingsPath_;
    TThreadRunner runner_;
    TMainLogic logic_;
    bool shown_ = false;
    std::optional<QPoint> frameWanted_;  // where the frame goes once it is known
    int frameChecks_ = 0;
    std::array<QWidget*, kMainControlCount> controls_{};  // by TMainControl
    std::array<QAction*, kMainCommandCount> actions_{};   // the menus' by TMainCommand
    std::array<std::unique_ptr<QFileDialog>, 5> dialogs_;
    std::array<QString, 5> lastFiles_;
    QMessageBox* messageBox_ = nullptr;  // the message box shown last that is still open

    QListWidget* lstMifType;
    QLineEdit* edtMifFile;
    QPushButton* btnMifBrowse;
    QLineEdit* edtShpFile;
    QPushButton* btnShpBrowse;
    QPushButton* btnAdd;
    QPushButton* btnReplace;
    QPushButton* btnConvert;
    QTreeWidget* lvwBatch;
    QCheckBox* chkCombine;
    QLineEdit* edtConbineFile;
    QPushButton* btnCmbBrowse;
    QPushButton* btnClear;
    QPushButton* btnRemove;
    QPushButton* btnBatch;
    QPushButton* btnCancel;  // stops the conversion under way; Esc too
    QLabel* statusText_;
    QProgressBar* progress_;
    QMenu* mnuFile;
    QMenu* mnuHelp;
    QAction* O1;
    QAction* S1;
    QAction* X1;
    QAction* H2;
    QAction* A1;
    QAction* V1;      // the file menu's command to look at a shapefile
    QMenu* mnuBatch;  // the batch list's context menu
    QAction* V2;      // its command to look at the entry's target
};

}  // namespace varnelo::gui
