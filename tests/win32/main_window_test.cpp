// SPDX-License-Identifier: MIT
// The Windows window as the user meets it, under Wine: controls with their places, captions
// and start states, the first warning, convert now on the worker thread, a batch with a bad
// entry, the place kept for the next start, the about box from the version resource, closing
// refused while busy, and the viewer.
// Driven by messages in the test's own process; the logic behind it is tested in tests/app.
#include "win32/main_window.hpp"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>

#include "../support/temp_dir.hpp"
#include "app/preview_logic.hpp"
#include "win32/preview_window.hpp"
#include "window_driver.hpp"

namespace varnelo::win32 {
namespace {

using testing::TempDir;
using testing::TModalCloser;

const std::string kSamples = VARNELO_SOURCE_DIR "/samples/";

class WindowsMainWindowTest : public ::testing::Test {
  protected:
    WindowsMainWindowTest() { window.Show(); }

    HWND Control(TMainControl c) { return window.Control(c); }
    void ChooseType(int type) {
        SendMessageW(Control(lstMifType), LB_SETCURSEL, static_cast<WPARAM>(type), 0);
        SendMessageW(window.Handle(), WM_COMMAND,
                     MAKEWPARAM(kControlId + lstMifType, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(Control(lstMifType)));
    }
    void Type(TMainControl c, const std::string& text) { SetWindowTextBytes(Control(c), text); }
    void Click(TMainControl c) { SendMessageW(Control(c), BM_CLICK, 0, 0); }
    std::string StatusText() {
        wchar_t text[512] = {};
        SendMessageW(window.StatusBar(), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(text));
        return TextBytes(text);
    }
    int EntryImage(int row) {
        LVITEMW item{};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        ListView_GetItem(Control(lvwBatch), &item);
        return item.iImage;
    }

    bool controlsReady = testing::InitControls();  // before the window that uses them
    TempDir dir;
    TfrmMain window{dir.Path("varnelo.INI"), false};
};

TEST_F(WindowsMainWindowTest, ControlsHaveTheirPlacesCaptionsStartStatesTabOrderAndMenus) {
    const UINT dpi = DpiOf(window.Handle());
    wchar_t caption[64] = {};
    GetWindowTextW(window.Handle(), caption, 64);
    EXPECT_EQ(TextBytes(caption), "Varnelo Converter");
    RECT client{};
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, Scaled(kMainClientWidth, dpi));
    EXPECT_EQ(client.bottom, Scaled(kMainClientHeight, dpi));
    const auto style = GetWindowLongPtrW(window.Handle(), GWL_STYLE);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MAXIMIZEBOX), 0) << "fixed size, no maximise button";

    // The places of the design, in tab order: left, top, width, height.
    constexpr int kPlaces[kMainControlCount][4] = {
        {8, 24, 305, 105},   {8, 152, 249, 20},   {264, 152, 49, 21},  {8, 200, 249, 20},
        {264, 200, 49, 21},  {80, 368, 75, 21},   {160, 368, 75, 21},  {240, 368, 75, 21},
        {328, 24, 457, 273}, {328, 304, 457, 17}, {328, 344, 401, 20}, {736, 344, 49, 21},
        {552, 368, 75, 21},  {632, 368, 75, 21},  {712, 368, 75, 21},  {472, 368, 75, 21},
    };
    HWND previous = nullptr;
    for (int c = 0; c < kMainControlCount; ++c) {
        const TControlForm& form = kMainControls[static_cast<std::size_t>(c)];
        const int* place = kPlaces[c];
        HWND control = Control(static_cast<TMainControl>(c));
        RECT r{};
        GetWindowRect(control, &r);
        MapWindowPoints(nullptr, window.Handle(), reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, Scaled(place[0], dpi)) << form.Name;
        EXPECT_EQ(r.top, Scaled(place[1], dpi)) << form.Name;
        EXPECT_EQ(r.right - r.left, Scaled(place[2], dpi)) << form.Name;
        EXPECT_EQ(r.bottom - r.top, Scaled(place[3], dpi)) << form.Name;
        EXPECT_EQ(IsWindowEnabled(control) != FALSE, form.EnabledAtStart) << form.Name;
        if (form.Kind == TControlKind::Button || form.Kind == TControlKind::CheckBox) {
            EXPECT_EQ(WindowTextBytes(control), form.Caption) << form.Name;
        }
        if (previous != nullptr && IsWindowEnabled(control)) {
            EXPECT_EQ(GetNextDlgTabItem(window.Handle(), previous, FALSE), control) << form.Name;
        }
        if (IsWindowEnabled(control)) {
            previous = control;
        }
    }
    // The program's font, and the list's columns.
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(Control(btnAdd), WM_GETFONT, 0, 0)),
               sizeof font, &font);
    EXPECT_EQ(TextBytes(font.lfFaceName), kProgramFontFace);
    EXPECT_EQ(-font.lfHeight, Scaled(kProgramFontPixels, dpi));
    for (std::size_t i = 0; i < kBatchColumns.size(); ++i) {
        wchar_t header[32] = {};
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = header;
        column.cchTextMax = 32;
        ASSERT_TRUE(ListView_GetColumn(Control(lvwBatch), static_cast<int>(i), &column));
        EXPECT_EQ(TextBytes(header), kBatchColumns[i].Header);
        EXPECT_EQ(column.cx, Scaled(kBatchColumns[i].Width, dpi));
    }
    // The menus, with their shortcuts shown.
    HMENU file = GetSubMenu(window.Menu(), 0);
    wchar_t item[64] = {};
    GetMenuStringW(file, static_cast<UINT>(CommandId(TMainCommand::Open)), item, 64, MF_BYCOMMAND);
    EXPECT_EQ(TextBytes(item), "開く(&O)...\tCtrl+O");
    GetMenuStringW(window.Menu(), 1, item, 64, MF_BYPOSITION);
    EXPECT_EQ(TextBytes(item), "ヘルプ(&H)");
}

TEST_F(WindowsMainWindowTest, AddWithNothingChosenShowsOnlyTheFirstWarning) {
    TModalCloser closer;
    Click(btnAdd);
    closer.WaitFor(1);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, "警告");
    EXPECT_EQ(closer.Seen[0].Text, kNoTypeText);
    EXPECT_EQ(ListView_GetItemCount(Control(lvwBatch)), 0);
}

TEST_F(WindowsMainWindowTest, ConvertNowWritesTheFilesOnTheWorkerAndEndsWithTheCount) {
    TModalCloser closer;
    ChooseType(0);
    Type(edtMifFile, kSamples + "stations.mif");
    Type(edtShpFile, dir.Path("stations.shp"));
    Click(btnConvert);
    EXPECT_TRUE(IsWindowEnabled(Control(btnCancel))) << "busy until the box is dismissed";
    // Closing is refused while the conversion runs, and the user is told why.
    SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(IsWindow(window.Handle()));
    // The box that keeps the window open closes itself once the conversion ends, maybe before
    // it was seen; the result follows.
    const auto isWait = [](const testing::TSeen& seen) {
        return seen.Text == kWaitForConversionText;
    };
    closer.Until([&] { return !std::all_of(closer.Seen.begin(), closer.Seen.end(), isWait); });
    ASSERT_EQ(std::count_if(closer.Seen.begin(), closer.Seen.end(), isWait) + 1,
              static_cast<std::ptrdiff_t>(closer.Seen.size()));
    const testing::TSeen& result =
        *std::find_if_not(closer.Seen.begin(), closer.Seen.end(), isWait);
    EXPECT_EQ(result.Caption, "情報");
    EXPECT_EQ(result.Text, "変換に成功しました。\n4 件のレコードを書き込みました。");
    for (const char* part : {"stations.shp", "stations.shx", "stations.dbf"}) {
        EXPECT_GT(testing::ReadFileBytes(dir.Path(part)).size(), 100u) << part;
    }
    EXPECT_FALSE(IsWindowEnabled(Control(btnCancel)));
    EXPECT_TRUE(IsWindowEnabled(Control(btnConvert)));
    EXPECT_EQ(StatusText(), "");
}

TEST_F(WindowsMainWindowTest, AMessageBoxClosesWhenTheLogicSaysSo) {
    // A timer asks the window to close the box it shows; should that fail, the test's own
    // closer ends it after 5 s.
    static TfrmMain* shown = nullptr;
    static int ticks = 0;
    shown = &window;
    ticks = 0;
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (++ticks == 1) {
            shown->CloseMessage();
        } else if (ticks == 100) {
            TModalCloser closer;
            closer.WaitFor(1);
        }
    });
    window.ShowMessage(TMessageKind::Information, "変換が終わるまでお待ちください。");
    KillTimer(nullptr, timer);
    EXPECT_LT(ticks, 100);
}

TEST_F(WindowsMainWindowTest, BatchWithABadEntryEndsWithTwoChecksACrossAndTheCount) {
    testing::WriteFileBytes(dir.Path("bad.mif"),
                            "Version 300\r\nData\r\nPoint 1 2\r\nPoint five 3\r\n");
    testing::WriteFileBytes(dir.Path("bad.mid"), "\r\n\r\n");
    TModalCloser closer;
    const struct {
        int type;
        std::string mif;
    } jobs[] = {
        {0, kSamples + "points.mif"}, {0, dir.Path("bad.mif")}, {2, kSamples + "parcels.mif"}};
    int n = 0;
    for (const auto& job : jobs) {
        ChooseType(job.type);
        Type(edtMifFile, job.mif);
        Type(edtShpFile, dir.Path("out" + std::to_string(n++) + ".shp"));
        Click(btnAdd);
    }
    ASSERT_EQ(ListView_GetItemCount(Control(lvwBatch)), 3);
    Click(btnBatch);
    closer.WaitFor(1);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, "情報");
    EXPECT_EQ(closer.Seen[0].Text.rfind(
                  "変換が終了しました。\n3 件中 成功 2 件、失敗 1 件、書き込みなし 0 件", 0),
              0u)
        << closer.Seen[0].Text;
    EXPECT_EQ(EntryImage(0), 0);
    EXPECT_EQ(EntryImage(1), 1);
    EXPECT_EQ(EntryImage(2), 0);
    // The crossed entry, selected, says why in the status bar.
    ListView_SetItemState(Control(lvwBatch), 1, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_NE(StatusText().find("bad.mif の 4 行目"), std::string::npos) << StatusText();
}

TEST_F(WindowsMainWindowTest, ClosingKeepsThePlaceInTheSettingsForTheNextStart) {
    SetWindowPos(window.Handle(), nullptr, 137, 91, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SendMessageW(window.Handle(), WM_CLOSE, 0, 0);
    ASSERT_EQ(window.Handle(), nullptr) << "an idle window closes";
    TfrmMain next(dir.Path("varnelo.INI"), false);
    next.Show();
    RECT frame{};
    GetWindowRect(next.Handle(), &frame);
    EXPECT_EQ(frame.left, 137);
    EXPECT_EQ(frame.top, 91);
    RECT client{};
    GetClientRect(next.Handle(), &client);
    EXPECT_EQ(client.right, Scaled(kMainClientWidth, DpiOf(next.Handle()))) << "the size stays";
    EXPECT_EQ(GetFocus(), next.Control(lstMifType));
    SendMessageW(next.Handle(), WM_CLOSE, 0, 0);

    // A place on a screen that is gone: the window opens on the one there is.
    testing::WriteFileBytes(dir.Path("varnelo.INI"), "[Window]\r\nLeft=3000\r\nTop=2000\r\n");
    TfrmMain moved(dir.Path("varnelo.INI"), false);
    moved.Show();
    GetWindowRect(moved.Handle(), &frame);
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    GetMonitorInfoW(MonitorFromWindow(moved.Handle(), MONITOR_DEFAULTTONEAREST), &screen);
    RECT inside{};
    IntersectRect(&inside, &frame, &screen.rcWork);
    EXPECT_TRUE(EqualRect(&inside, &frame)) << frame.left << "," << frame.top;
}

TEST_F(WindowsMainWindowTest, AboutBoxShowsTheVersionOfTheResource) {
    TModalCloser closer;
    SendMessageW(window.Handle(), WM_COMMAND, CommandId(TMainCommand::About), 0);
    ASSERT_EQ(closer.Seen.size(), 1u);
    EXPECT_EQ(closer.Seen[0].Caption, "バージョン情報");
    EXPECT_EQ(closer.Seen[0].Text, "Version 2.0.9.225");
}

TEST_F(WindowsMainWindowTest, ViewerShowsTheTableAndFindsARecordOnTheMap) {
    ASSERT_TRUE(ConvertMifToShp(2, kSamples + "parcels.mif", dir.Path("parcels.shp")));
    auto* preview = TdlgPreview::Open(std::make_unique<TShapefileLayer>(dir.Path("parcels.shp")),
                                      window.Handle());
    HWND records = preview->Control(TdlgPreview::grdRecords);
    EXPECT_EQ(ListView_GetItemCount(records), 6);
    TModalCloser::Until([&] { return !preview->Map().Drawing(); });
    EXPECT_TRUE(preview->Map().LastDrawing().Finished);
    EXPECT_EQ(preview->Map().LastDrawing().Drawn, 6);
    SetWindowTextBytes(preview->Control(TdlgPreview::edtSearch), "区画b");
    SendMessageW(preview->Control(TdlgPreview::btnSearch), BM_CLICK, 0, 0);
    EXPECT_EQ(preview->SelectedRow(), 4);
    EXPECT_EQ(WindowTextBytes(preview->Control(TdlgPreview::lblInfo)), "レコード 5");
    wchar_t cell[64] = {};
    ListView_GetItemText(records, 4, 1, cell, 64);
    EXPECT_EQ(TextBytes(cell), "区画B");
    DestroyWindow(preview->Handle());
}

}  // namespace
}  // namespace varnelo::win32
