// SPDX-License-Identifier: MIT
#include "win32/main_window.hpp"

#include <commctrl.h>
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>

#include <algorithm>
#include <string_view>
#include <vector>

#include "app/message_lines.hpp"
#include "app/path_display.hpp"
#include "app/paths.hpp"
#include "app/settings.hpp"
#include "win32/about_dialog.hpp"
#include "win32/preview_window.hpp"
#include "win32/resource.h"

namespace varnelo::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VarneloMainWindow";
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
constexpr DWORD kExStyle = WS_EX_CONTROLPARENT | WS_EX_ACCEPTFILES;

const wchar_t* ClassOf(TControlKind kind) {
    switch (kind) {
        case TControlKind::ListBox:
            return WC_LISTBOXW;
        case TControlKind::Edit:
            return WC_EDITW;
        case TControlKind::ListView:
            return WC_LISTVIEWW;
        case TControlKind::Button:
        case TControlKind::CheckBox:
            break;
    }
    return WC_BUTTONW;
}

DWORD StyleOf(TControlKind kind) {
    switch (kind) {
        case TControlKind::ListBox:
            return WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
        case TControlKind::Edit:
            return WS_TABSTOP | ES_AUTOHSCROLL;
        case TControlKind::ListView:
            // The selection stays visible, dimmed, while the list has no focus.
            return WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOSORTHEADER;
        case TControlKind::CheckBox:
            return WS_TABSTOP | BS_AUTOCHECKBOX;
        case TControlKind::Button:
            break;
    }
    return WS_TABSTOP | BS_PUSHBUTTON;
}

std::wstring ShortcutText(TShortcut shortcut) {
    switch (shortcut) {
        case TShortcut::CtrlO:
            return L"\tCtrl+O";
        case TShortcut::CtrlS:
            return L"\tCtrl+S";
        case TShortcut::CtrlD:
            return L"\tCtrl+D";
        case TShortcut::F1:
            return L"\tF1";
        case TShortcut::None:
            break;
    }
    return {};
}

// "description|pattern|..." as the common dialogs take it: NUL-separated, ending in two NULs.
std::wstring DialogFilter(std::string_view pairs) {
    std::wstring filter = ScreenText(pairs);
    std::replace(filter.begin(), filter.end(), L'|', L'\0');
    filter.append(2, L'\0');
    return filter;
}

// The outer size of a window of style `style` with a menu, whose client area is the main
// window's at `dpi`.
SIZE OuterSize(UINT dpi) {
    RECT rect{0, 0, Scaled(kMainClientWidth, dpi), Scaled(kMainClientHeight, dpi)};
    AdjustWindowRectExForDpi(&rect, kStyle, TRUE, kExStyle, dpi);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

void Enable(HWND control, bool enabled) {
    EnableWindow(control, enabled ? TRUE : FALSE);
}

}  // namespace

TfrmMain::TfrmMain(std::string settingsPath, bool endsProgram)
    : settingsPath_(std::move(settingsPath)),
      endsProgram_(endsProgram),
      logic_(*this, runner_, GetExePath()) {
    RegisterWindowClass(kClassName, ObjectWindowProc<TfrmMain>,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateWindowExW(kExStyle, kClassName, ScreenText(kProgramTitle).c_str(), kStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr) {
        throw std::runtime_error("the main window cannot be created");
    }
    dpi_ = DpiOf(handle_);
    CreateMenus();
    CreateControls();
    font_ = ProgramFont(dpi_);
    SetFontOfAll(handle_, font_.get());
    LayOut();
    const SIZE size = OuterSize(dpi_);
    SetWindowPos(handle_, nullptr, 0, 0, size.cx, size.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

TfrmMain::~TfrmMain() {
    runner_.Wait();  // the work refers to this window's logic
    if (handle_ != nullptr) {
        SetAccelerators(handle_, nullptr);
        DestroyWindow(handle_);
    }
}

void TfrmMain::CreateMenus() {
    HMENU bar = CreateMenu();
    std::vector<ACCEL> keys;
    for (const TMenuForm& form : kMainMenus) {
        HMENU menu = CreatePopupMenu();
        for (const TMenuItemForm& item : form.Items) {
            if (item.Caption.empty()) {
                break;
            }
            if (item.Name.empty()) {
                AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            const int id = CommandId(item.Command);
            AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id),
                        (ScreenText(item.Caption) + ShortcutText(item.Shortcut)).c_str());
            const auto key = [&](BYTE flags, WORD code) {
                keys.push_back(
                    ACCEL{static_cast<BYTE>(FVIRTKEY | flags), code, static_cast<WORD>(id)});
            };
            switch (item.Shortcut) {
                case TShortcut::CtrlO:
                    key(FCONTROL, 'O');
                    break;
                case TShortcut::CtrlS:
                    key(FCONTROL, 'S');
                    break;
                case TShortcut::CtrlD:
                    key(FCONTROL, 'D');
                    break;
                case TShortcut::F1:
                    key(0, VK_F1);
                    break;
                case TShortcut::None:
                    break;
            }
        }
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu),
                    ScreenText(form.Caption).c_str());
    }
    SetMenu(handle_, bar);
    // Esc presses 中止.
    keys.push_back(ACCEL{FVIRTKEY, VK_ESCAPE, static_cast<WORD>(kControlId + btnCancel)});
    accelerators_.reset(CreateAcceleratorTableW(keys.data(), static_cast<int>(keys.size())));
    SetAccelerators(handle_, accelerators_.get());

    batchMenu_.reset(CreatePopupMenu());
    AppendMenuW(batchMenu_.get(), MF_STRING,
                static_cast<UINT_PTR>(CommandId(kViewEntryItem.Command)),
                ScreenText(kViewEntryItem.Caption).c_str());
}

void TfrmMain::CreateControls() {
    for (std::size_t i = 0; i < kMainLabels.size(); ++i) {
        labels_[i] = CreateChild(handle_, WC_STATICW, ScreenText(kMainLabels[i].Caption),
                                 SS_LEFT | SS_NOPREFIX, 0, -1);
    }
    // Made in tab order, which the dialog keys follow.
    for (int c = 0; c < kMainControlCount; ++c) {
        const TControlForm& form = kMainControls[static_cast<std::size_t>(c)];
        const bool framed = form.Kind == TControlKind::ListBox || form.Kind == TControlKind::Edit ||
                            form.Kind == TControlKind::ListView;
        controls_[static_cast<std::size_t>(c)] =
            CreateChild(handle_, ClassOf(form.Kind), ScreenText(form.Caption), StyleOf(form.Kind),
                        framed ? WS_EX_CLIENTEDGE : 0, kControlId + c);
        Enable(controls_[static_cast<std::size_t>(c)], form.EnabledAtStart);
    }
    for (const std::string_view name : kConversionTypeNames) {
        SendMessageW(controls_[lstMifType], LB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(ScreenText(name).c_str()));
    }
    CreateBatchList();

    statusBar_ = CreateChild(handle_, STATUSCLASSNAMEW, L"", CCS_NORESIZE | CCS_NOPARENTALIGN, 0,
                             kStatusBarId);
    progress_ = CreateWindowExW(0, PROGRESS_CLASSW, L"", WS_CHILD, 0, 0, 0, 0, statusBar_, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(progress_, PBM_SETRANGE32, 0, kProgressRange);

    toolTip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0,
                               handle_, nullptr, GetModuleHandleW(nullptr), nullptr);
    std::wstring tip = ScreenText(kCancelToolTip);
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = handle_;
    tool.uId = reinterpret_cast<UINT_PTR>(controls_[btnCancel]);
    tool.lpszText = tip.data();
    SendMessageW(toolTip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void TfrmMain::CreateBatchList() {
    HWND list = controls_[lvwBatch];
    ListView_SetExtendedListViewStyle(list,
                                      LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_INFOTIP);
    for (std::size_t i = 0; i < kBatchColumns.size(); ++i) {
        std::wstring header = ScreenText(kBatchColumns[i].Header);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = header.data();
        column.cx = kBatchColumns[i].Width;
        column.iSubItem = static_cast<int>(i);
        ListView_InsertColumn(list, static_cast<int>(i), &column);
    }
}

void TfrmMain::LayOut() {
    const auto place = [this](HWND window, const TBounds& b) {
        SetWindowPos(window, nullptr, Scaled(b.Left, dpi_), Scaled(b.Top, dpi_),
                     Scaled(b.Width, dpi_), Scaled(b.Height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    for (std::size_t c = 0; c < controls_.size(); ++c) {
        place(controls_[c], kMainControls[c].Bounds);
    }
    {
        TWindowDc dc(handle_);
        TSelected font(dc, font_.get());
        for (std::size_t i = 0; i < labels_.size(); ++i) {
            const std::wstring text = ScreenText(kMainLabels[i].Caption);
            SIZE size{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
            SetWindowPos(labels_[i], nullptr, Scaled(kMainLabels[i].Left, dpi_),
                         Scaled(kMainLabels[i].Top, dpi_), size.cx + Scaled(2, dpi_),
                         size.cy + Scaled(1, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
        }
    }
    for (std::size_t i = 0; i < kBatchColumns.size(); ++i) {
        ListView_SetColumnWidth(controls_[lvwBatch], static_cast<int>(i),
                                Scaled(kBatchColumns[i].Width, dpi_));
    }
    place(statusBar_,
          {0, kMainClientHeight - kStatusBarHeight, kMainClientWidth, kStatusBarHeight});
    const int barWidth = Scaled(kMainClientWidth, dpi_);
    const int barHeight = Scaled(kStatusBarHeight, dpi_);
    SetWindowPos(progress_, nullptr, barWidth - Scaled(kProgressWidth + 20, dpi_),
                 (barHeight - Scaled(kProgressHeight, dpi_)) / 2, Scaled(kProgressWidth, dpi_),
                 Scaled(kProgressHeight, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);

    const int imageSize = Scaled(16, dpi_);
    images_.reset(ImageList_Create(imageSize, imageSize, ILC_COLOR32 | ILC_MASK, 3, 0));
    for (const int id : {IDI_STATUS_SUCCESS, IDI_STATUS_FAILURE, IDI_STATUS_NOTHING}) {
        const TIcon icon(LoadProgramIcon(id, imageSize));
        ImageList_AddIcon(images_.get(), icon.get());
    }
    ListView_SetImageList(controls_[lvwBatch], images_.get(), LVSIL_SMALL);
}

void TfrmMain::Show() {
    // The stored position (the frame's) and state take effect; the size stays the window's own.
    const TWindowPlacement placement = LoadWindowPlacement(settingsPath_);
    std::vector<TScreenRect> screens;
    EnumDisplayMonitors(
        nullptr, nullptr,
        [](HMONITOR monitor, HDC, LPRECT, LPARAM data) -> BOOL {
            MONITORINFO info{};
            info.cbSize = sizeof info;
            if (GetMonitorInfoW(monitor, &info)) {
                const RECT& area = info.rcWork;
                reinterpret_cast<std::vector<TScreenRect>*>(data)->push_back(
                    {area.left, area.top, area.right - area.left, area.bottom - area.top});
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&screens));
    RECT bounds{};
    GetWindowRect(handle_, &bounds);
    const TScreenRect frame = PlaceOnScreens(
        {placement.Left, placement.Top, bounds.right - bounds.left, bounds.bottom - bounds.top},
        screens);
    SetWindowPos(handle_, nullptr, frame.Left, frame.Top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(handle_, placement.State == TWindowState::Minimized   ? SW_SHOWMINIMIZED
                        : placement.State == TWindowState::Maximized ? SW_SHOWMAXIMIZED
                                                                     : SW_SHOWNORMAL);
    SetFocus(controls_[lstMifType]);  // the first choice the window asks for
    UpdateWindow(handle_);
}

LRESULT TfrmMain::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            OnCommand(LOWORD(wParam), HIWORD(wParam));
            return 0;
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == controls_[lvwBatch]) {
                OnBatchListMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (busyCursor_ > 0) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DROPFILES:
            OnDropFiles(reinterpret_cast<HDROP>(wParam));
            return 0;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            font_ = ProgramFont(dpi_);
            SetFontOfAll(handle_, font_.get());
            LayOut();
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            const SIZE size = OuterSize(dpi_);
            SetWindowPos(handle_, nullptr, suggested->left, suggested->top, size.cx, size.cy,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            return 0;
        }
        case WM_ACTIVATE:
            // The control that had the keyboard gets it back when the window is activated
            // again, rather than the window itself.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                focus_ = focus != nullptr && IsChild(handle_, focus) ? focus : nullptr;
                return 0;
            }
            if (focus_ != nullptr && IsWindow(focus_) && IsWindowEnabled(focus_)) {
                SetFocus(focus_);
                return 0;
            }
            break;
        case WM_CLOSE:
            OnClose();
            return 0;
        case WM_DESTROY:
            if (endsProgram_) {
                PostQuitMessage(0);
            }
            return 0;
        default:
            break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

void TfrmMain::OnCommand(int id, int code) {
    if (id >= kCommandId && id < kCommandId + kMainCommandCount) {
        return logic_.Run(static_cast<TMainCommand>(id - kCommandId));
    }
    if (id == IDCANCEL) {  // Esc through the dialog keys
        id = kControlId + btnCancel;
        code = BN_CLICKED;
    }
    const int control = id - kControlId;
    if (control < 0 || control >= kMainControlCount || showing_) {
        return;
    }
    HWND window = controls_[static_cast<std::size_t>(control)];
    switch (control) {
        case lstMifType:
            if (code == LBN_SELCHANGE) {
                const auto row = static_cast<int>(SendMessageW(window, LB_GETCURSEL, 0, 0));
                if (row >= 0) {
                    Run([&] { logic_.lstMifTypeClick(row); });
                }
            }
            return;
        case edtMifFile:
        case edtShpFile:
        case edtConbineFile:
            if (code == EN_CHANGE) {
                std::string text = WindowTextBytes(window);
                if (control == edtMifFile) {
                    logic_.SetMifFileText(std::move(text));
                } else if (control == edtShpFile) {
                    logic_.SetShpFileText(std::move(text));
                } else {
                    logic_.SetCombineFile(std::move(text));
                }
            }
            return;
        case chkCombine:
            if (code == BN_CLICKED) {
                logic_.SetCombine(Button_GetCheck(window) == BST_CHECKED);
            }
            return;
        default:
            break;
    }
    if (code != BN_CLICKED && code != 1 /* a shortcut */) {
        return;
    }
    if (!IsWindowEnabled(window)) {
        return;  // a shortcut of a command that cannot run now
    }
    for (const auto& [button, command] : kButtonCommands) {
        if (button == control) {
            return logic_.Run(command);
        }
    }
}

LRESULT TfrmMain::OnNotify(const NMHDR& header) {
    if (header.hwndFrom != controls_[lvwBatch]) {
        return 0;
    }
    switch (header.code) {
        case LVN_GETDISPINFOW:
            OnBatchListText(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(&header)));
            return 0;
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) != 0 &&
                ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0) {
                logic_.Run(TMainCommand::ListChange);
            }
            return 0;
        }
        case NM_DBLCLK:
            logic_.Run(TMainCommand::ListDblClick);
            return 0;
        case LVN_GETINFOTIPW: {
            auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(const_cast<NMHDR&>(header));
            const auto& entries = logic_.List().Entries;
            if (tip.iItem < 0 || static_cast<std::size_t>(tip.iItem) >= entries.size() ||
                tip.cchTextMax <= 0) {
                return 0;
            }
            const std::wstring shown =
                ScreenText(EntryToolTip(entries[static_cast<std::size_t>(tip.iItem)]));
            const auto n = std::min(shown.size(), static_cast<std::size_t>(tip.cchTextMax - 1));
            std::copy_n(shown.c_str(), n, tip.pszText);
            tip.pszText[n] = L'\0';
            return 0;
        }
        default:
            return 0;
    }
}

void TfrmMain::OnBatchListText(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    const auto& entries = logic_.List().Entries;
    if (item.iItem < 0 || static_cast<std::size_t>(item.iItem) >= entries.size()) {
        return;
    }
    const TBatchEntry& entry = entries[static_cast<std::size_t>(item.iItem)];
    if ((item.mask & LVIF_IMAGE) != 0) {
        item.iImage = EntryImage(entry).value_or(I_IMAGENONE);
    }
    if ((item.mask & LVIF_TEXT) == 0 || item.cchTextMax <= 0) {
        return;
    }
    // The first column shows the status image alone; a path too long for its column shows
    // its file name first, the folder shortened in its middle.
    std::string text;
    switch (item.iSubItem) {
        case 1:
            text = entry.TypeName;
            break;
        case 2:
        case 3: {
            const std::string& path = item.iSubItem == 2 ? entry.MifFile : entry.ShpFile;
            HWND list = controls_[lvwBatch];
            const int width = ListView_GetColumnWidth(list, item.iSubItem) - Scaled(12, dpi_);
            TWindowDc dc(list);
            TSelected font(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(list, WM_GETFONT, 0, 0)));
            text = FitPath(path, width, [&](std::string_view part) {
                const std::wstring shown = ScreenText(part);
                SIZE size{};
                GetTextExtentPoint32W(dc, shown.c_str(), static_cast<int>(shown.size()), &size);
                return static_cast<int>(size.cx);
            });
            break;
        }
        default:
            break;
    }
    shownText_ = ScreenText(text);
    const auto n = std::min(shownText_.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::copy_n(shownText_.c_str(), n, item.pszText);
    item.pszText[n] = L'\0';
}

void TfrmMain::OnBatchListMenu(POINT at) {
    HWND list = controls_[lvwBatch];
    LVHITTESTINFO hit{};
    hit.pt = at;
    ScreenToClient(list, &hit.pt);
    if (at.x == -1 && at.y == -1) {  // the keyboard's menu key: the selected entry
        const auto selected = SelectedEntry();
        if (!selected) {
            return;
        }
        hit.iItem = static_cast<int>(*selected);
        RECT rect{};
        ListView_GetItemRect(list, hit.iItem, &rect, LVIR_LABEL);
        at = {rect.left, rect.bottom};
        ClientToScreen(list, &at);
    } else if (ListView_HitTest(list, &hit) < 0) {
        return;
    }
    ListView_SetItemState(list, hit.iItem, LVIS_SELECTED | LVIS_FOCUSED,
                          LVIS_SELECTED | LVIS_FOCUSED);
    EnableMenuItem(
        batchMenu_.get(), static_cast<UINT>(CommandId(TMainCommand::ViewEntry)),
        MF_BYCOMMAND |
            (logic_.CanViewEntry(static_cast<std::size_t>(hit.iItem)) ? MF_ENABLED : MF_GRAYED));
    TrackPopupMenu(batchMenu_.get(), TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0,
                   handle_, nullptr);
}

void TfrmMain::OnClose() {
    bool closing = false;
    Run([&] { closing = logic_.CanClose(); });
    if (!closing) {
        return;
    }
    TWindowPlacement placement;
    placement.State = IsIconic(handle_)   ? TWindowState::Minimized
                      : IsZoomed(handle_) ? TWindowState::Maximized
                                          : TWindowState::Normal;
    RECT frame{};
    GetWindowRect(handle_, &frame);
    placement.Left = frame.left;
    placement.Top = frame.top;
    placement.Width = frame.right - frame.left;
    placement.Height = frame.bottom - frame.top;
    Run([&] { SaveWindowPlacement(settingsPath_, placement); });
    SetAccelerators(handle_, nullptr);
    DestroyWindow(handle_);
}

void TfrmMain::OnDropFiles(HDROP drop) {
    std::vector<std::string> paths;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        std::wstring path(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
        path.resize(DragQueryFileW(drop, i, path.data(), static_cast<UINT>(path.size())));
        paths.push_back(TextBytes(path));
    }
    DragFinish(drop);
    Run([&] { logic_.DropFiles(paths); });
}

void TfrmMain::ShowMessage(TMessageKind kind, std::string_view text) {
    static constexpr UINT kIcons[] = {MB_ICONWARNING, MB_ICONERROR, MB_ICONINFORMATION};
    MessageBoxW(handle_, ScreenText(MessageLines(text)).c_str(),
                ScreenText(MessageCaption(kind)).c_str(), MB_OK | kIcons[static_cast<int>(kind)]);
}

void TfrmMain::CloseMessage() {
    // The message boxes of this thread that this window owns, the one shown last first: the
    // first one that is not closing already.
    struct TSearch {
        HWND owner;
        HWND box = nullptr;
    } search{handle_};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM data) -> BOOL {
            auto& found = *reinterpret_cast<TSearch*>(data);
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (std::wstring_view(className) == L"#32770" && IsWindowVisible(window) &&
                GetWindow(window, GW_OWNER) == found.owner) {
                found.box = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.box != nullptr) {
        EndDialog(search.box, IDOK);
    }
}

void TfrmMain::ShowErrorDisplay(std::string_view text) {
    MessageBoxW(handle_, ScreenText(MessageLines(text)).c_str(), ScreenText(kProgramTitle).c_str(),
                MB_OK | MB_ICONERROR);
}

void TfrmMain::SetStatusText(std::string_view text) {
    runner_.OnWindowThread([this, shown = ScreenText(text)] {
        SendMessageW(statusBar_, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(shown.c_str()));
    });
}

void TfrmMain::SetProgress(std::uint64_t done, std::uint64_t total) {
    const int value = ProgressPosition(done, total).value_or(-1);
    runner_.OnWindowThread([this, value] {
        ShowWindow(progress_, value >= 0 ? SW_SHOWNA : SW_HIDE);
        SendMessageW(progress_, PBM_SETPOS, static_cast<WPARAM>(std::max(value, 0)), 0);
    });
}

void TfrmMain::SetBusyCursor(bool busy) {
    busyCursor_ = std::max(busyCursor_ + (busy ? 1 : -1), 0);
    SetCursor(LoadCursorW(nullptr, busyCursor_ > 0 ? IDC_WAIT : IDC_ARROW));
}

void TfrmMain::ProcessMessages() {
    // A worker thread must never run the window's messages; the window is live anyway.
    if (runner_.OnWindowThread()) {
        ProcessPendingMessages();
    }
}

void TfrmMain::ShowEnabled(const TMainEnabled& enabled) {
    for (std::size_t c = 0; c < controls_.size(); ++c) {
        Enable(controls_[c], enabled.Controls[c]);
    }
    for (int c = 0; c < kMainCommandCount; ++c) {
        EnableMenuItem(GetMenu(handle_), static_cast<UINT>(CommandId(static_cast<TMainCommand>(c))),
                       MF_BYCOMMAND | (enabled.Commands[static_cast<std::size_t>(c)] ? MF_ENABLED
                                                                                     : MF_GRAYED));
    }
}

std::optional<std::string> TfrmMain::ChooseFile(TFileDialog which) {
    const TFileDialogForm& form = FileDialogForm(which);
    std::wstring& last = lastFiles_[static_cast<std::size_t>(which)];
    const std::wstring filter = DialogFilter(form.Filter);
    const std::wstring extension = ScreenText(form.DefaultExtension);
    std::wstring buffer(32768, L'\0');
    std::copy_n(last.c_str(), std::min(last.size(), buffer.size() - 1), buffer.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = handle_;
    dialog.lpstrFilter = filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = buffer.data();
    dialog.nMaxFile = static_cast<DWORD>(buffer.size());
    dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
    // No question before overwriting; an open dialog takes the name of a new file too.
    dialog.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_ENABLESIZING;
    const BOOL confirmed = form.Save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
    if (!confirmed) {
        return std::nullopt;
    }
    last = buffer.c_str();
    return TextBytes(last);
}

std::optional<TFolderChoice> TfrmMain::ChooseFolder() {
    const auto folder = [this](std::string_view title) -> std::optional<std::string> {
        const std::wstring text = ScreenText(title);
        BROWSEINFOW browse{};
        browse.hwndOwner = handle_;
        browse.lpszTitle = text.c_str();
        browse.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
        PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&browse);
        if (chosen == nullptr) {
            return std::nullopt;
        }
        std::wstring path(MAX_PATH, L'\0');
        const BOOL named = SHGetPathFromIDListW(chosen, path.data());
        CoTaskMemFree(chosen);
        if (!named) {
            return std::nullopt;
        }
        return TextBytes(path.c_str());
    };
    const auto yes = [this](std::string_view question) {
        return MessageBoxW(handle_, ScreenText(question).c_str(),
                           ScreenText(kQuestionCaption).c_str(), MB_YESNO | MB_ICONQUESTION) ==
               IDYES;
    };
    return AskFolderChoice(folder, yes);
}

void TfrmMain::ShowEditors(const TEditors& editors) {
    showing_ = true;
    SendMessageW(controls_[lstMifType], LB_SETCURSEL,
                 editors.Type ? static_cast<WPARAM>(*editors.Type) : static_cast<WPARAM>(-1), 0);
    const std::string mif = editors.MifFile;  // `editors` may be the logic's own
    const std::string shp = editors.ShpFile;
    SetWindowTextBytes(controls_[edtMifFile], mif);
    SetWindowTextBytes(controls_[edtShpFile], shp);
    showing_ = false;
}

void TfrmMain::ListChanged(TListChange change, std::size_t index) {
    HWND list = controls_[lvwBatch];
    const int row = static_cast<int>(index);
    switch (change) {
        case TListChange::Appended: {
            LVITEMW item{};
            item.mask = LVIF_TEXT | LVIF_IMAGE;
            item.iItem = row;
            item.pszText = LPSTR_TEXTCALLBACKW;
            item.iImage = I_IMAGECALLBACK;
            ListView_InsertItem(list, &item);
            return;
        }
        case TListChange::Replaced:
        case TListChange::StatusChanged:
            ListView_Update(list, row);
            return;
        case TListChange::Removed:
            ListView_DeleteItem(list, row);
            break;
        case TListChange::Cleared:
            ListView_DeleteAllItems(list);
            break;
    }
    // A deleted entry takes its selection with it, without a word from the list view.
    logic_.lvwBatchChange();
}

std::optional<std::size_t> TfrmMain::SelectedEntry() const {
    const int selected = ListView_GetNextItem(controls_[lvwBatch], -1, LVNI_SELECTED);
    if (selected < 0) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(selected);
}

void TfrmMain::SelectEntry(std::size_t index) {
    runner_.OnWindowThread([this, index] {
        const int row = static_cast<int>(index);
        ListView_SetItemState(controls_[lvwBatch], row, LVIS_SELECTED | LVIS_FOCUSED,
                              LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(controls_[lvwBatch], row, TRUE);
    });
}

void TfrmMain::ShowCombine(bool checked, std::string_view combineFile) {
    showing_ = true;
    Button_SetCheck(controls_[chkCombine], checked ? BST_CHECKED : BST_UNCHECKED);
    SetWindowTextBytes(controls_[edtConbineFile], std::string(combineFile));
    showing_ = false;
}

void TfrmMain::ShowAbout(std::string_view versionText) {
    TdlgAbout::Show(handle_, versionText);
}

void TfrmMain::ShowShapefile(std::unique_ptr<TShapefileLayer> layer) {
    TdlgPreview::Open(std::move(layer), handle_);
}

bool TfrmMain::OpenDocument(const std::string& path) {
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(handle_, L"open", ScreenText(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return result > 32;
}

void TfrmMain::CloseWindow() {
    PostMessageW(handle_, WM_CLOSE, 0, 0);
}

}  // namespace varnelo::win32
