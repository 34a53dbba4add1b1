// SPDX-License-Identifier: MIT
// The window as the user meets it, under the offscreen platform: controls, captions, places,
// tab order, enabled states, the boxes it shows and convert now on a worker thread.
#include "gui/main_window.hpp"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "../support/temp_dir.hpp"
#include "app/message_lines.hpp"
#include "gui/artwork.hpp"
#include "gui/translations.hpp"

namespace varnelo::gui {
namespace {

using testing::ReadFileBytes;
using testing::TempDir;

QApplication& App() {
    static int argc = 1;
    static char name[] = "main_window_test";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// What a modal window showed before the test closed it.
struct TSeen {
    QString Caption;
    QString Text;
};

// Closes every modal window as soon as it shows, noting its caption and text.
class TModalCloser {
  public:
    TModalCloser() {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                const auto* box = qobject_cast<QMessageBox*>(modal);
                const auto* version = modal->findChild<QLabel*>("lblVersion");
                Seen.push_back({modal->windowTitle(), box       ? box->text()
                                                      : version ? version->text()
                                                                : QString()});
                if (box == nullptr) {
                    AboutSize = modal->size();
                }
                modal->close();
            }
        });
        timer_.start(5);
    }
    // Runs the event loop until `count` windows were closed or 20 s have passed.
    void WaitFor(std::size_t count) {
        QElapsedTimer clock;
        clock.start();
        while (Seen.size() < count && clock.elapsed() < 20000) {
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        }
    }

    std::vector<TSeen> Seen;
    QSize AboutSize;

  private:
    QTimer timer_;
};

class MainWindowTest : public ::testing::Test {
  protected:
    template <typename T>
    T* Child(const char* name) {
        T* child = window.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    QApplication& app = App();  // before any widget
    TempDir dir;
    TfrmMain window{dir.Path("varnelo.INI")};
};

TEST_F(MainWindowTest, ControlsHaveTheirKindsPlacesCaptionsTabOrderAndStartStates) {
    const struct {
        const char* name;
        const char* kind;
        QRect bounds;
        const char* caption;
        bool enabled;
    } controls[] = {
        {"lstMifType", "QListWidget", {8, 24, 305, 105}, "", true},
        {"edtMifFile", "QLineEdit", {8, 152, 249, 20}, "", true},
        {"btnMifBrowse", "QPushButton", {264, 152, 49, 21}, "参照", true},
        {"edtShpFile", "QLineEdit", {8, 200, 249, 20}, "", true},
        {"btnShpBrowse", "QPushButton", {264, 200, 49, 21}, "参照", true},
        {"btnAdd", "QPushButton", {80, 368, 75, 21}, "追加", true},
        {"btnReplace", "QPushButton", {160, 368, 75, 21}, "置換", false},
        {"btnConvert", "QPushButton", {240, 368, 75, 21}, "すぐに変換", true},
        {"lvwBatch", "QTreeWidget", {328, 24, 457, 273}, "", true},
        {"chkCombine",
         "QCheckBox",
         {328, 304, 457, 17},
         "ファイルを統合する（同一の属性定義、変換タイプ時のみ使用可能）",
         false},
        {"edtConbineFile", "QLineEdit", {328, 344, 401, 20}, "", false},
        {"btnCmbBrowse", "QPushButton", {736, 344, 49, 21}, "参照", false},
        {"btnClear", "QPushButton", {552, 368, 75, 21}, "クリア", true},
        {"btnRemove", "QPushButton", {632, 368, 75, 21}, "削除", false},
        {"btnBatch", "QPushButton", {712, 368, 75, 21}, "変換開始", true},
        {"btnCancel", "QPushButton", {472, 368, 75, 21}, "中止", false},
    };
    QWidget* previous = nullptr;
    for (const auto& c : controls) {
        auto* w = Child<QWidget>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_STREQ(w->metaObject()->className(), c.kind) << c.name;
        EXPECT_EQ(w->geometry(), c.bounds) << c.name;
        EXPECT_EQ(w->isEnabled(), c.enabled) << c.name;
        const auto* button = qobject_cast<QAbstractButton*>(w);
        const auto* edit = qobject_cast<QLineEdit*>(w);
        EXPECT_EQ(button ? button->text()
                  : edit ? edit->text()
                         : QString(),
                  QString::fromUtf8(c.caption))
            << c.name;
        if (previous != nullptr) {
            QWidget* next = previous->nextInFocusChain();
            while (next->focusPolicy() == Qt::NoFocus || next->isWindow()) {
                next = next->nextInFocusChain();
            }
            EXPECT_EQ(next, w) << "after " << previous->objectName().toStdString();
        }
        previous = w;
    }
    const struct {
        const char* name;
        const char* text;
        QPoint place;
    } labels[] = {{"Label3", "変換するMIFのタイプ", {8, 8}},
                  {"Label4", "変換元MIFのファイル名", {8, 136}},
                  {"Label5", "変換後SHPのファイル名", {8, 184}},
                  {"Label2", "バッチリスト", {328, 8}},
                  {"Label1", "統合後のファイル名", {328, 328}}};
    for (const auto& l : labels) {
        auto* label = Child<QLabel>(l.name);
        ASSERT_NE(label, nullptr);
        EXPECT_EQ(label->text(), QString::fromUtf8(l.text));
        EXPECT_EQ(label->pos(), l.place) << l.name;
    }

    auto* types = Child<QListWidget>("lstMifType");
    EXPECT_EQ(types->count(), 5);
    EXPECT_EQ(types->item(3)->text(), QStringLiteral("テキスト（ポイントとして変換）"));
    EXPECT_TRUE(types->selectedItems().isEmpty());
    auto* list = Child<QTreeWidget>("lvwBatch");
    const int widths[] = {18, 110, 154, 154};
    const char* headers[] = {"", "タイプ", "元ファイル", "先ファイル"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(list->columnWidth(i), widths[i]);
        EXPECT_EQ(list->headerItem()->text(i), QString::fromUtf8(headers[i]));
    }
    EXPECT_FALSE(list->header()->sectionsClickable());
    EXPECT_EQ(list->selectionMode(), QAbstractItemView::SingleSelection);

    EXPECT_EQ(window.windowTitle(), QStringLiteral("Varnelo Converter"));
    EXPECT_EQ(window.centralWidget()->width(), 789);
    EXPECT_EQ(window.centralWidget()->height() + window.statusBar()->height(), 408);
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const struct {
        const char* name;
        const char* caption;
        QKeySequence key;
    } actions[] = {{"O1", "開く(&O)...", QKeySequence("Ctrl+O")},
                   {"S1", "保存(&S)...", QKeySequence("Ctrl+S")},
                   {"X1", "終了(&X)", QKeySequence()},
                   {"H2", "トピックの検索(&H)", QKeySequence("F1")},
                   {"A1", "バージョン情報(&A)...", QKeySequence()}};
    for (const auto& a : actions) {
        auto* action = Child<QAction>(a.name);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromUtf8(a.caption));
        EXPECT_EQ(action->shortcut(), a.key) << a.name;
    }
}

TEST_F(MainWindowTest, AddWithNothingChosenWarnsOnceAndSelectingAnEntryEnablesItsCommands) {
    TModalCloser closer;
    Child<QPushButton>("btnAdd")->click();
    closer.WaitFor(1);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, QStringLiteral("警告"));
    EXPECT_EQ(closer.Seen[0].Text, QStringLiteral("変換するMIFのタイプを選択してください。"));

    auto* list = Child<QTreeWidget>("lvwBatch");
    Child<QListWidget>("lstMifType")->setCurrentRow(2);
    window.Logic().SetMifFileText(VARNELO_SOURCE_DIR "/samples/parcels.mif");
    window.Logic().SetShpFileText(dir.Path("p.shp"));
    Child<QPushButton>("btnAdd")->click();
    ASSERT_EQ(list->topLevelItemCount(), 1);
    EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("ポリゴン"));
    EXPECT_FALSE(Child<QPushButton>("btnReplace")->isEnabled());
    list->setCurrentItem(list->topLevelItem(0));
    EXPECT_TRUE(Child<QPushButton>("btnReplace")->isEnabled());
    EXPECT_TRUE(Child<QPushButton>("btnRemove")->isEnabled());
    Child<QPushButton>("btnRemove")->click();
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_FALSE(Child<QPushButton>("btnReplace")->isEnabled());
    EXPECT_EQ(closer.Seen.size(), 1u);
}

TEST_F(MainWindowTest, ConvertNowRunsOffTheWindowThreadAndEndsWithTheSuccessBox) {
    TModalCloser closer;
    Child<QListWidget>("lstMifType")->setCurrentRow(0);
    window.Logic().SetMifFileText(VARNELO_SOURCE_DIR "/samples/stations.mif");
    window.Logic().SetShpFileText(dir.Path("st.shp"));
    Child<QPushButton>("btnConvert")->click();
    EXPECT_FALSE(Child<QPushButton>("btnConvert")->isEnabled());  // until the work ends
    EXPECT_FALSE(Child<QPushButton>("btnAdd")->isEnabled());
    closer.WaitFor(1);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, QStringLiteral("情報"));
    EXPECT_EQ(closer.Seen[0].Text,
              QStringLiteral("変換に成功しました。\n4 件のレコードを書き込みました。"));
    EXPECT_TRUE(Child<QPushButton>("btnConvert")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("st.dbf")));
}

TEST_F(MainWindowTest, AMessageBoxShowsItsLinesBrokenByTheRuleAndClosesWhenTheLogicSaysSo) {
    const std::string text = "出力先のファイルに書き込めません。別のプロセスが使用中です。"
                             "そのファイルを開いているプログラムを閉じてください。";
    QString shown;
    QTimer::singleShot(0, &window, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text();
        }
        window.CloseMessage();
    });
    QTimer::singleShot(5000, &window, [] {  // should the box stay up, the test goes on
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->close();
        }
    });
    QElapsedTimer shownFor;
    shownFor.start();
    window.ShowMessage(TMessageKind::Warning, text);
    EXPECT_LT(shownFor.elapsed(), 4000);
    EXPECT_EQ(shown, QString::fromStdString(MessageLines(text)));
    EXPECT_TRUE(shown.contains(QStringLiteral("使用中です。\n")));
}

TEST_F(MainWindowTest, BatchRunMarksEachEntryAsItEndsAndKeepsCommandsOffUntilTheClosingBox) {
    TModalCloser closer;
    std::filesystem::copy_file(VARNELO_SOURCE_DIR "/samples/stations.mif", dir.Path("nomid.mif"));
    std::filesystem::create_directory(dir.Path("nomid.mid"));  // a .mid that cannot be read
    const struct {
        int type;
        std::string source;
    } jobs[] = {{0, VARNELO_SOURCE_DIR "/samples/stations.mif"},
                {0, dir.Path("nomid.mif")},
                {2, VARNELO_SOURCE_DIR "/samples/parcels.mif"}};
    for (const auto& job : jobs) {
        Child<QListWidget>("lstMifType")->setCurrentRow(job.type);
        window.Logic().SetMifFileText(job.source);
        window.Logic().SetShpFileText(dir.Path(std::to_string(job.type) + ".shp"));
        Child<QPushButton>("btnAdd")->click();
    }
    Child<QPushButton>("btnBatch")->click();
    for (const char* name : {"btnBatch", "btnAdd", "btnClear", "btnConvert"}) {
        EXPECT_FALSE(Child<QPushButton>(name)->isEnabled()) << name;
    }
    EXPECT_FALSE(Child<QAction>("O1")->isEnabled());
    closer.WaitFor(1);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, QStringLiteral("情報"));
    EXPECT_TRUE(closer.Seen[0].Text.startsWith(QStringLiteral(
        "変換が終了しました。\n3 件中 成功 2 件、失敗 1 件、書き込みなし 0 件\nnomid.mif: ")));
    auto* list = Child<QTreeWidget>("lvwBatch");
    const auto image = [&](int row) {
        return list->topLevelItem(row)->icon(0).pixmap(16).toImage();
    };
    EXPECT_EQ(image(0), StatusImage(0).toImage());
    EXPECT_EQ(image(1), StatusImage(1).toImage());
    EXPECT_EQ(image(2), StatusImage(0).toImage());
    EXPECT_TRUE(list->topLevelItem(1)->toolTip(0).contains(QStringLiteral("nomid.mid")));
    EXPECT_TRUE(list->topLevelItem(0)->text(0).isEmpty());  // the image alone
    EXPECT_EQ(list->currentItem(), list->topLevelItem(2));  // the selection followed the run
    EXPECT_TRUE(Child<QPushButton>("btnBatch")->isEnabled());
    EXPECT_TRUE(Child<QAction>("O1")->isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(std::filesystem::exists(dir.Path("2.dbf")));
}

TEST_F(MainWindowTest, AboutBoxAndPlacementAcrossShowAndClose) {
    TModalCloser closer;
    window.show();
    EXPECT_EQ(window.frameGeometry().topLeft(), QPoint(20, 20));  // no settings file yet
    EXPECT_EQ(window.focusWidget(), Child<QListWidget>("lstMifType"));
    Child<QAction>("A1")->trigger();
    closer.WaitFor(1);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, QStringLiteral("バージョン情報"));
    EXPECT_EQ(closer.Seen[0].Text, QStringLiteral("Version 2.0.9.225"));
    EXPECT_EQ(closer.AboutSize.width(), 361);

    window.move(100, 50);
    const QSize outer = window.frameGeometry().size();
    window.close();
    const std::string stored =
        "[Window]\r\nLeft=100\r\nTop=50\r\nWidth=" + std::to_string(outer.width()) +
        "\r\nHeight=" + std::to_string(outer.height()) + "\r\nState=0\r\n";
    EXPECT_EQ(ReadFileBytes(dir.Path("varnelo.INI")), stored);

    // The frame comes back where it was, however often the window is opened and closed.
    for (int run = 0; run < 3; ++run) {
        TfrmMain again{dir.Path("varnelo.INI")};
        again.show();
        EXPECT_EQ(again.frameGeometry().topLeft(), QPoint(100, 50)) << run;
        again.close();
    }
    EXPECT_EQ(ReadFileBytes(dir.Path("varnelo.INI")), stored);

    // A place on a screen that is gone: the window opens on the one there is.
    testing::WriteFileBytes(dir.Path("varnelo.INI"), "[Window]\r\nLeft=3000\r\nTop=2000\r\n");
    TfrmMain moved{dir.Path("varnelo.INI")};
    moved.show();
    EXPECT_TRUE(
        QGuiApplication::primaryScreen()->availableGeometry().contains(moved.frameGeometry()))
        << moved.frameGeometry().x() << "," << moved.frameGeometry().y();
}

TEST_F(MainWindowTest, QtsOwnDialogsSpeakJapaneseAndTheCancelButtonStopsOnlyWhileBusy) {
    ASSERT_TRUE(InstallQtTranslations(app));
    QFileDialog dialog(&window);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    const auto* box = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->button(QDialogButtonBox::Cancel)->text(), QStringLiteral("キャンセル"));

    auto* cancel = Child<QPushButton>("btnCancel");
    EXPECT_EQ(cancel->text(), QStringLiteral("中止"));
    EXPECT_FALSE(cancel->isEnabled());
    EXPECT_EQ(cancel->shortcut(), QKeySequence(Qt::Key_Escape));
}

}  // namespace
}  // namespace varnelo::gui
