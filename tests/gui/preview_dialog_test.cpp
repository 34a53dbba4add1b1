// SPDX-License-Identifier: MIT
// The shapefile viewer as the user meets it, under the offscreen platform: opened from the
// batch list's context menu on a converted sample, searched, and clicked.
#include "gui/preview_dialog.hpp"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QTreeWidget>
#include <memory>

#include "../support/temp_dir.hpp"
#include "engine/convert.hpp"
#include "gui/main_window.hpp"
#include "gui/map_widget.hpp"

namespace varnelo::gui {
namespace {

using testing::TempDir;

// One application for the run, ended after the last test: at exit it would outlive the list
// of input devices that the clicks below bring a mouse into.
class TApplication final : public ::testing::Environment {
  public:
    void SetUp() override { app_ = std::make_unique<QApplication>(argc_, argv_); }
    void TearDown() override { app_.reset(); }

  private:
    int argc_ = 1;
    char name_[20] = "preview_dialog_test";
    char* argv_[2] = {name_, nullptr};
    std::unique_ptr<QApplication> app_;
};
[[maybe_unused]] ::testing::Environment* const kApplication =
    ::testing::AddGlobalTestEnvironment(new TApplication);

// Runs the event loop until `done` holds or 20 s have passed.
template <typename Condition>
bool WaitUntil(Condition done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 20000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

void Click(QWidget& widget, const TScreenPoint& at) {
    const QPointF local(at.X, at.Y);
    const QPointF global = widget.mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&widget, &release);
}

TEST(PreviewDialog, OpensFromTheBatchListThenSearchesAndClicksSelectTheRightRows) {
    TempDir dir;
    const std::string shp = dir.Path("parcels.shp");
    TfrmMain window(dir.Path("varnelo.INI"));
    for (const std::string& target : {dir.Path("later.shp"), shp}) {
        window.Logic().lstMifTypeClick(2);
        window.Logic().SetMifFileText(VARNELO_SOURCE_DIR "/samples/parcels.mif");
        window.Logic().SetShpFileText(target);
        window.Logic().btnAddClick();
    }
    ASSERT_TRUE(ConvertMifToShp(2, VARNELO_SOURCE_DIR "/samples/parcels.mif", shp));

    // The context menu's command is there for an entry whose target exists.
    auto* list = window.findChild<QTreeWidget*>("lvwBatch");
    auto* view = window.findChild<QAction*>("V2");
    ASSERT_NE(view, nullptr);
    window.show();
    for (int row : {0, 1}) {
        const QRect item = list->visualItemRect(list->topLevelItem(row));
        emit list->customContextMenuRequested(item.center());
        EXPECT_EQ(view->isEnabled(), row == 1);
        window.findChild<QMenu*>("mnuBatch")->close();
    }
    view->trigger();
    auto* dialog = window.findChild<TdlgPreview*>("dlgPreview");
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(WaitUntil([&] { return dialog->isVisible() && !dialog->Map().Drawing(); }));
    EXPECT_EQ(dialog->Map().LastDrawing().Drawn, 6);

    // Searching ignores case, goes on with the same text and wraps around.
    auto* text = dialog->findChild<QLineEdit*>("edtSearch");
    auto* search = dialog->findChild<QPushButton*>("btnSearch");
    auto* info = dialog->findChild<QLabel*>("lblInfo");
    text->setText(QStringLiteral("区画b"));
    search->click();
    EXPECT_EQ(dialog->SelectedRow(), 4);
    text->setText(QStringLiteral("区画"));
    for (int expected : {3, 4, 3}) {
        search->click();
        EXPECT_EQ(dialog->SelectedRow(), expected);
    }
    EXPECT_TRUE(info->text().contains(QStringLiteral("先頭に戻って")));
    text->setText(QStringLiteral("森"));
    search->click();
    EXPECT_EQ(dialog->SelectedRow(), 3);
    EXPECT_EQ(info->text(), QStringLiteral("「森」で始まるレコードはありません。"));

    // Record 3 has two triangles; a click in the second selects it, one on nothing clears.
    auto* grid = dialog->findChild<QTableView*>("grdRecords");
    Click(dialog->Map(), dialog->Map().Transform().ToScreen({30.2, 0.2}));
    EXPECT_TRUE(WaitUntil([&] { return dialog->SelectedRow() == 2; }));
    EXPECT_EQ(grid->model()->index(2, 0).data().toString(), QStringLiteral("佐藤"));
    Click(dialog->Map(), dialog->Map().Transform().ToScreen({25, 8}));
    EXPECT_TRUE(WaitUntil([&] { return !dialog->SelectedRow(); }));
    dialog->close();
}

}  // namespace
}  // namespace varnelo::gui
