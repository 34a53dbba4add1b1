// SPDX-License-Identifier: MIT
#include "gui/main_window.hpp"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QCompleter>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <utility>

#include "app/main_form.hpp"
#include "app/message_lines.hpp"
#include "app/paths.hpp"
#include "app/settings.hpp"
#include "gui/about_dialog.hpp"
#include "gui/artwork.hpp"
#include "gui/path_delegate.hpp"
#include "gui/preview_dialog.hpp"

namespace varnelo::gui {
namespace {

const QString kTitle = ScreenText(kProgramTitle);

// Draws a list's items with the keyboard's place marked only on a selected item: the place
// the list keeps while nothing is selected must not look like a choice.
class TSelectionOnlyDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        if (!option->state.testFlag(QStyle::State_Selected)) {
            option->state &= ~QStyle::State_HasFocus;
        }
    }
};

// "description|pattern|description|pattern" as Qt's name filters "description (pattern)".
QStringList NameFilters(const QString& pairs) {
    const QStringList parts = pairs.split('|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        filters << (parts[i].contains('(') ? parts[i] : parts[i] + " (" + parts[i + 1] + ")");
    }
    return filters;
}

QKeySequence KeysOf(TShortcut shortcut) {
    switch (shortcut) {
        case TShortcut::CtrlO:
            return QKeySequence(Qt::CTRL | Qt::Key_O);
        case TShortcut::CtrlS:
            return QKeySequence(Qt::CTRL | Qt::Key_S);
        case TShortcut::CtrlD:
            return QKeySequence(Qt::CTRL | Qt::Key_D);
        case TShortcut::F1:
            return QKeySequence(Qt::Key_F1);
        case TShortcut::None:
            break;
    }
    return {};
}

QString NameOf(std::string_view name) {
    return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// A control of the main window's table: its name and place.
template <typename Widget>
Widget* Placed(Widget* widget, TMainControl control) {
    const TControlForm& form = kMainControls[control];
    widget->setObjectName(NameOf(form.Name));
    widget->setGeometry(form.Bounds.Left, form.Bounds.Top, form.Bounds.Width, form.Bounds.Height);
    return widget;
}

QPushButton* Button(QWidget* parent, TMainControl control) {
    return Placed(new QPushButton(ScreenText(kMainControls[control].Caption), parent), control);
}

QLineEdit* Edit(QWidget* parent, TMainControl control) {
    auto* edit = Placed(new QLineEdit(parent), control);
    edit->setAcceptDrops(false);  // files dropped on the window go to the window
    return edit;
}

}  // namespace

QString ScreenText(std::string_view bytes) {
    return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string TextBytes(const QString& text) {
    return text.toUtf8().toStdString();
}

TfrmMain::TfrmMain(std::string settingsPath, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                              Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint |
                              Qt::MSWindowsFixedSizeDialogHint),
      settingsPath_(std::move(settingsPath)),
      logic_(*this, runner_, GetExePath()) {
    setObjectName("frmMain");
    QApplication::setFont(ProgramFont());
    setFont(ProgramFont());
    setWindowTitle(kTitle);
    setWindowIcon(ProgramWindowIcon());
    setAcceptDrops(true);

    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight - kStatusBarHeight);
    setCentralWidget(client);
    CreateControls(client);
    CreateMenus();
    CreateViewCommands();

    statusBar()->setObjectName("StatusBar1");
    statusBar()->setFixedHeight(kStatusBarHeight);
    statusBar()->setSizeGripEnabled(false);
    statusText_ = new QLabel(statusBar());
    statusBar()->addWidget(statusText_, 1);
    progress_ = new QProgressBar(statusBar());
    progress_->setRange(0, kProgressRange);
    progress_->setFixedSize(kProgressWidth, kProgressHeight);
    progress_->setTextVisible(false);
    progress_->hide();
    statusBar()->addPermanentWidget(progress_);

    ConnectControls();
    setFixedSize(kClientWidth, menuBar()->sizeHint().height() + kClientHeight);
}

TfrmMain::~TfrmMain() {
    runner_.Wait();  // the work refers to this window's logic
}

void TfrmMain::CreateControls(QWidget* client) {
    for (const TLabelForm& form : kMainLabels) {
        auto* label = new QLabel(ScreenText(form.Caption), client);
        label->setObjectName(NameOf(form.Name));
        label->move(form.Left, form.Top);
        label->adjustSize();
    }

    lstMifType = Placed(new QListWidget(client), varnelo::lstMifType);
    for (const std::string_view name : kConversionTypeNames) {
        lstMifType->addItem(ScreenText(name));
    }
    lstMifType->setSelectionMode(QAbstractItemView::SingleSelection);
    lstMifType->setItemDelegate(new TSelectionOnlyDelegate(lstMifType));
    edtMifFile = Edit(client, varnelo::edtMifFile);
    btnMifBrowse = Button(client, varnelo::btnMifBrowse);
    edtShpFile = Edit(client, varnelo::edtShpFile);
    btnShpBrowse = Button(client, varnelo::btnShpBrowse);
    btnAdd = Button(client, varnelo::btnAdd);
    btnReplace = Button(client, varnelo::btnReplace);
    btnConvert = Button(client, varnelo::btnConvert);

    lvwBatch = Placed(new QTreeWidget(client), varnelo::lvwBatch);
    lvwBatch->setColumnCount(static_cast<int>(kBatchColumns.size()));
    QStringList headers;
    for (const TColumnForm& column : kBatchColumns) {
        headers << ScreenText(column.Header);
    }
    lvwBatch->setHeaderLabels(headers);
    for (std::size_t i = 0; i < kBatchColumns.size(); ++i) {
        lvwBatch->setColumnWidth(static_cast<int>(i), kBatchColumns[i].Width);
    }
    lvwBatch->setRootIsDecorated(false);
    lvwBatch->setUniformRowHeights(true);
    lvwBatch->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwBatch->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwBatch->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwBatch->setSortingEnabled(false);
    lvwBatch->setIconSize(QSize(16, 16));
    lvwBatch->setTextElideMode(Qt::ElideNone);  // paths are shortened by TPathDelegate
    lvwBatch->setItemDelegate(new TPathDelegate(lvwBatch));
    lvwBatch->header()->setSectionsClickable(false);
    lvwBatch->header()->setSectionsMovable(false);
    lvwBatch->header()->setStretchLastSection(false);
    // Without the focus the selection stays visible, dimmed.
    QPalette palette = lvwBatch->palette();
    const QColor highlight = palette.color(QPalette::Active, QPalette::Highlight);
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    palette.setColor(
        QPalette::Inactive, QPalette::Highlight,
        QColor((highlight.red() + 2 * base.red()) / 3, (highlight.green() + 2 * base.green()) / 3,
               (highlight.blue() + 2 * base.blue()) / 3));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText, palette.color(QPalette::Text));
    lvwBatch->setPalette(palette);

    chkCombine =
        Placed(new QCheckBox(ScreenText(kMainControls[varnelo::chkCombine].Caption), client),
               varnelo::chkCombine);
    edtConbineFile = Edit(client, varnelo::edtConbineFile);
    btnCmbBrowse = Button(client, varnelo::btnCmbBrowse);
    btnClear = Button(client, varnelo::btnClear);
    btnRemove = Button(client, varnelo::btnRemove);
    btnBatch = Button(client, varnelo::btnBatch);
    btnCancel = Button(client, varnelo::btnCancel);
    btnCancel->setShortcut(QKeySequence(Qt::Key_Escape));
    btnCancel->setToolTip(ScreenText(kCancelToolTip));

    controls_ = {lstMifType, edtMifFile, btnMifBrowse, edtShpFile, btnShpBrowse,   btnAdd,
                 btnReplace, btnConvert, lvwBatch,     chkCombine, edtConbineFile, btnCmbBrowse,
                 btnClear,   btnRemove,  btnBatch,     btnCancel};
    for (std::size_t i = 0; i < controls_.size(); ++i) {
        controls_[i]->setEnabled(kMainControls[i].EnabledAtStart);
        if (i + 1 < controls_.size()) {
            setTabOrder(controls_[i], controls_[i + 1]);
        }
    }
}

void TfrmMain::CreateMenus() {
    auto& commands = actions_;
    for (const TMenuForm& form : kMainMenus) {
        QMenu* menu = menuBar()->addMenu(ScreenText(form.Caption));
        menu->setObjectName(NameOf(form.Name));
        for (const TMenuItemForm& item : form.Items) {
            if (item.Caption.empty()) {
                break;
            }
            if (item.Name.empty()) {
                menu->addSeparator();
                continue;
            }
            QAction* action = menu->addAction(ScreenText(item.Caption));
            action->setObjectName(NameOf(item.Name));
            action->setShortcut(KeysOf(item.Shortcut));
            commands[static_cast<std::size_t>(item.Command)] = action;
        }
        (&form == &kMainMenus.front() ? mnuFile : mnuHelp) = menu;
    }
    const auto command = [&](TMainCommand c) { return commands[static_cast<std::size_t>(c)]; };
    O1 = command(TMainCommand::Open);
    S1 = command(TMainCommand::Save);
    V1 = command(TMainCommand::ViewShapefile);
    X1 = command(TMainCommand::Exit);
    H2 = command(TMainCommand::HelpSearch);
    A1 = command(TMainCommand::About);
}

void TfrmMain::ConnectControls() {
    connect(lstMifType, &QListWidget::itemSelectionChanged, this, [this] {
        const auto selected = lstMifType->selectedItems();
        if (selected.isEmpty()) {
            ShowEditors(logic_.Editors());  // the type list always shows the chosen type
        } else {
            const int row = lstMifType->row(selected.constFirst());
            logic_.Dispatch([&] { logic_.lstMifTypeClick(row); });
        }
    });
    connect(lstMifType, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        logic_.Dispatch([&] { logic_.lstMifTypeClick(lstMifType->row(item)); });
    });
    connect(edtMifFile, &QLineEdit::textEdited, this,
            [this](const QString& text) { logic_.SetMifFileText(TextBytes(text)); });
    connect(edtShpFile, &QLineEdit::textEdited, this,
            [this](const QString& text) { logic_.SetShpFileText(TextBytes(text)); });
    connect(edtConbineFile, &QLineEdit::textEdited, this,
            [this](const QString& text) { logic_.SetCombineFile(TextBytes(text)); });
    connect(chkCombine, &QCheckBox::toggled, this, [this](bool on) { logic_.SetCombine(on); });

    for (const auto& [control, command] : kButtonCommands) {
        connect(static_cast<QPushButton*>(controls_[control]), &QPushButton::clicked, this,
                Handler(command));
    }
    connect(lvwBatch, &QTreeWidget::itemSelectionChanged, this, Handler(TMainCommand::ListChange));
    connect(lvwBatch, &QTreeWidget::itemDoubleClicked, this, Handler(TMainCommand::ListDblClick));
    for (std::size_t c = 0; c < actions_.size(); ++c) {
        if (actions_[c] != nullptr) {
            connect(actions_[c], &QAction::triggered, this, Handler(static_cast<TMainCommand>(c)));
        }
    }
}

void TfrmMain::CreateViewCommands() {
    mnuBatch = new QMenu(this);
    mnuBatch->setObjectName("mnuBatch");
    V2 = mnuBatch->addAction(ScreenText(kViewEntryItem.Caption));
    V2->setObjectName(NameOf(kViewEntryItem.Name));
    connect(V2, &QAction::triggered, this, Handler(TMainCommand::ViewEntry));
    lvwBatch->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwBatch, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = lvwBatch->itemAt(at);
        if (item == nullptr) {
            return;
        }
        lvwBatch->setCurrentItem(item);
        const auto index = static_cast<std::size_t>(lvwBatch->indexOfTopLevelItem(item));
        V2->setEnabled(logic_.CanViewEntry(index));
        mnuBatch->popup(lvwBatch->viewport()->mapToGlobal(at));
    });
}

void TfrmMain::ShowShapefile(std::unique_ptr<TShapefileLayer> layer) {
    auto* dialog = new TdlgPreview(std::move(layer), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->show();
}

void TfrmMain::ShowMessage(TMessageKind kind, std::string_view text) {
    static const QMessageBox::Icon kIcons[] = {QMessageBox::Warning, QMessageBox::Critical,
                                               QMessageBox::Information};
    QMessageBox box(kIcons[static_cast<int>(kind)], ScreenText(MessageCaption(kind)),
                    ScreenText(MessageLines(text)), QMessageBox::Ok, this);
    box.setObjectName("messageBox");
    QMessageBox* const outer = std::exchange(messageBox_, &box);
    box.exec();
    messageBox_ = outer;
}

void TfrmMain::CloseMessage() {
    if (messageBox_ != nullptr) {
        messageBox_->done(QMessageBox::Ok);
        messageBox_ = nullptr;
    }
}

void TfrmMain::ShowErrorDisplay(std::string_view text) {
    QMessageBox box(QMessageBox::Critical, kTitle, ScreenText(MessageLines(text)), QMessageBox::Ok,
                    this);
    box.setObjectName("errorDisplay");
    box.exec();
}

void TfrmMain::OnWindowThread(std::function<void()> change) {
    if (QThread::currentThread() == thread()) {
        change();
    } else {
        QMetaObject::invokeMethod(this, std::move(change), Qt::QueuedConnection);
    }
}

void TfrmMain::SetStatusText(std::string_view text) {
    OnWindowThread([this, shown = ScreenText(text)] { statusText_->setText(shown); });
}

void TfrmMain::SetProgress(std::uint64_t done, std::uint64_t total) {
    const int value = ProgressPosition(done, total).value_or(-1);
    OnWindowThread([this, value] {
        progress_->setVisible(value >= 0);
        progress_->setValue(std::max(value, 0));
    });
}

void TfrmMain::SetBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void TfrmMain::ProcessMessages() {
    // A worker thread must never run the window's event loop; the window is live anyway.
    if (QThread::currentThread() == thread()) {
        QCoreApplication::processEvents();
    }
}

void TfrmMain::ShowEnabled(const TMainEnabled& enabled) {
    for (std::size_t c = 0; c < controls_.size(); ++c) {
        controls_[c]->setEnabled(enabled.Controls[c]);
    }
    for (std::size_t c = 0; c < actions_.size(); ++c) {
        if (actions_[c] != nullptr) {
            actions_[c]->setEnabled(enabled.Commands[c]);
        }
    }
}

std::optional<std::string> TfrmMain::ChooseFile(TFileDialog which) {
    const auto index = static_cast<std::size_t>(which);
    auto& dialog = dialogs_[index];
    if (!dialog) {
        const TFileDialogForm& setup = FileDialogForm(which);
        dialog = std::make_unique<QFileDialog>(this);
        dialog->setAcceptMode(setup.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::AnyFile);  // an open dialog takes new names too
        dialog->setOption(QFileDialog::DontConfirmOverwrite);
        dialog->setNameFilters(NameFilters(ScreenText(setup.Filter)));
        dialog->setDefaultSuffix(ScreenText(setup.DefaultExtension));
    }
    if (!lastFiles_[index].isEmpty()) {
        dialog->selectFile(lastFiles_[index]);
    }
    const int answer = dialog->exec();
    // The name box's completion list closes with its dialog.
    for (QCompleter* completer : dialog->findChildren<QCompleter*>()) {
        if (completer->popup() != nullptr) {
            completer->popup()->hide();
        }
    }
    if (answer != QDialog::Accepted || dialog->selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    lastFiles_[index] = dialog->selectedFiles().constFirst();
    return std::string(QFile::encodeName(lastFiles_[index]).toStdString());
}

std::optional<TFolderChoice> TfrmMain::ChooseFolder() {
    const auto folder = [this](std::string_view title) -> std::optional<std::string> {
        const QString chosen = QFileDialog::getExistingDirectory(this, ScreenText(title));
        if (chosen.isEmpty()) {
            return std::nullopt;
        }
        return QFile::encodeName(chosen).toStdString();
    };
    const auto yes = [this](std::string_view question) {
        return QMessageBox::question(this, ScreenText(kQuestionCaption), ScreenText(question)) ==
               QMessageBox::Yes;
    };
    return AskFolderChoice(folder, yes);
}

void TfrmMain::ShowEditors(const TEditors& editors) {
    const QSignalBlocker block(lstMifType);
    if (editors.Type) {
        lstMifType->setCurrentRow(*editors.Type);
    } else {
        lstMifType->clearSelection();
    }
    edtMifFile->setText(ScreenText(editors.MifFile));
    edtShpFile->setText(ScreenText(editors.ShpFile));
}

void TfrmMain::FillItem(QTreeWidgetItem& item, const TBatchEntry& entry) const {
    // The first column shows the status image alone.
    const QString tip = ScreenText(EntryToolTip(entry));
    item.setData(0, Qt::UserRole, entry.ConversionType);
    item.setText(1, ScreenText(entry.TypeName));
    item.setText(2, ScreenText(entry.MifFile));
    item.setText(3, ScreenText(entry.ShpFile));
    for (int column = 0; column < 4; ++column) {
        item.setToolTip(column, tip);
    }
    const std::optional<int> image = EntryImage(entry);
    item.setIcon(0, image ? QIcon(StatusImage(*image)) : QIcon());
}

void TfrmMain::ListChanged(TListChange change, std::size_t index) {
    const auto& entries = logic_.List().Entries;
    const int row = static_cast<int>(index);
    switch (change) {
        case TListChange::Appended:
            FillItem(*new QTreeWidgetItem(lvwBatch), entries[index]);
            break;
        case TListChange::Replaced:
        case TListChange::StatusChanged:
            FillItem(*lvwBatch->topLevelItem(row), entries[index]);
            break;
        case TListChange::Removed:
            delete lvwBatch->takeTopLevelItem(row);
            break;
        case TListChange::Cleared:
            lvwBatch->clear();
            break;
    }
}

std::optional<std::size_t> TfrmMain::SelectedEntry() const {
    const auto selected = lvwBatch->selectedItems();
    if (selected.isEmpty()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(lvwBatch->indexOfTopLevelItem(selected.constFirst()));
}

void TfrmMain::SelectEntry(std::size_t index) {
    OnWindowThread([this, index] {
        QTreeWidgetItem* item = lvwBatch->topLevelItem(static_cast<int>(index));
        lvwBatch->setCurrentItem(item);
        lvwBatch->scrollToItem(item);
    });
}

void TfrmMain::ShowCombine(bool checked, std::string_view combineFile) {
    const QSignalBlocker block(chkCombine);
    chkCombine->setChecked(checked);
    edtConbineFile->setText(ScreenText(combineFile));
}

void TfrmMain::ShowAbout(std::string_view versionText) {
    TdlgAbout about(this, ScreenText(versionText), frameGeometry().height() - height());
    about.exec();
}

bool TfrmMain::OpenDocument(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

void TfrmMain::CloseWindow() {
    close();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (shown_) {
        return;
    }
    shown_ = true;
    setWindowTitle(kTitle);
    lstMifType->setFocus();  // the first choice the window asks for
    // The stored position and state take effect; the size stays the window's own. The
    // position is the frame's, as it was stored.
    const TWindowPlacement placement = LoadWindowPlacement(settingsPath_);
    std::vector<TScreenRect> screens;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect area = screen->availableGeometry();
        screens.push_back({area.left(), area.top(), area.width(), area.height()});
    }
    const QSize size = frameGeometry().size();
    const TScreenRect frame =
        PlaceOnScreens({placement.Left, placement.Top, size.width(), size.height()}, screens);
    PlaceFrameAt(QPoint(frame.Left, frame.Top));
    if (placement.State == TWindowState::Minimized) {
        setWindowState(Qt::WindowMinimized);
    } else if (placement.State == TWindowState::Maximized) {
        setWindowState(Qt::WindowMaximized);
    }
}

void TfrmMain::PlaceFrameAt(QPoint at) {
    move(at);
    frameWanted_ = at;
    frameChecks_ = 0;
    QTimer::singleShot(0, this, [this] { KeepFramePlaced(); });
}

void TfrmMain::KeepFramePlaced() {
    // A window system that places the client area where the frame was to go, and frames the
    // window only once it is shown: the frame is moved where it belongs once it is known.
    constexpr int kChecks = 40;
    constexpr int kCheckMs = 25;
    if (!frameWanted_) {
        return;
    }
    if (frameGeometry() == geometry()) {  // not framed yet, or never (offscreen)
        if (++frameChecks_ < kChecks) {
            QTimer::singleShot(kCheckMs, this, [this] { KeepFramePlaced(); });
        }
        return;
    }
    const QPoint wanted = *frameWanted_;
    frameWanted_.reset();
    if (frameGeometry().topLeft() != wanted) {
        const QPoint margin = geometry().topLeft() - frameGeometry().topLeft();
        setGeometry(QRect(wanted + margin, geometry().size()));
    }
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    bool closing = false;
    logic_.Dispatch([&] { closing = logic_.CanClose(); });
    if (!closing) {
        event->ignore();
        return;
    }
    TWindowPlacement placement;
    placement.State = isMinimized()   ? TWindowState::Minimized
                      : isMaximized() ? TWindowState::Maximized
                                      : TWindowState::Normal;
    if (placement.State != TWindowState::Normal) {
        hide();
        setWindowState(Qt::WindowNoState);
    }
    const QRect frame = frameGeometry();
    placement.Left = frame.x();
    placement.Top = frame.y();
    placement.Width = frame.width();
    placement.Height = frame.height();
    logic_.Dispatch([&] { SaveWindowPlacement(settingsPath_, placement); });
    event->accept();
}

void TfrmMain::dragEnterEvent(QDragEnterEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    const bool files = !urls.isEmpty() && std::all_of(urls.begin(), urls.end(), [](const QUrl& u) {
        return u.isLocalFile();
    });
    if (files && !logic_.Busy()) {
        event->acceptProposedAction();
    }
}

void TfrmMain::dropEvent(QDropEvent* event) {
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        paths.push_back(QFile::encodeName(url.toLocalFile()).toStdString());
    }
    event->acceptProposedAction();
    logic_.Dispatch([&] { logic_.DropFiles(paths); });
}

}  // namespace varnelo::gui
