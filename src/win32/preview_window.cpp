// SPDX-License-Identifier: MIT
#include "win32/preview_window.hpp"

#include <commctrl.h>

#include <algorithm>

namespace varnelo::win32 {
namespace {

constexpr wchar_t kClassName[] = L"VarneloPreview";
constexpr int kMargin = 8;
constexpr int kBarHeight = 24;
constexpr int kStatusHeight = 20;
constexpr int kMeasuredRows = 50;  // the rows a column's width is measured on

int TextWidth(HWND window, HFONT font, std::wstring_view text) {
    TWindowDc dc(window);
    TSelected selected(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

}  // namespace

TdlgPreview* TdlgPreview::Open(std::unique_ptr<TShapefileLayer> layer, HWND owner) {
    return new TdlgPreview(std::move(layer), owner);  // deletes itself once its window is gone
}

TdlgPreview::TdlgPreview(std::unique_ptr<TShapefileLayer> layer, HWND owner)
    : layer_(std::move(layer)),
      charset_(layer_->Charset()),
      text_(DisplayTextFor(charset_)),
      rows_(layer_->Table(), [this](const std::string& message) { ShowInfo(message); }),
      logic_(*layer_, *this) {
    RegisterWindowClass(kClassName, ObjectWindowProc<TdlgPreview>,
                        reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1));
    CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, ScreenText(logic_.Title()).c_str(),
                    WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                    owner, nullptr, GetModuleHandleW(nullptr), this);
    if (handle_ == nullptr) {
        throw std::runtime_error("the viewer's window cannot be created");
    }
    dpi_ = DpiOf(handle_);
    CreateControls();
    RECT frame{};
    GetWindowRect(handle_, &frame);
    SetWindowPos(handle_, nullptr, 0, 0, Scaled(860, dpi_), Scaled(640, dpi_),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    LayOut();
    ShowWindow(handle_, SW_SHOWNORMAL);
}

TdlgPreview::~TdlgPreview() = default;

void TdlgPreview::CreateControls() {
    CreateChild(handle_, WC_BUTTONW, ScreenText(kFitAllCaption), WS_TABSTOP | BS_PUSHBUTTON, 0,
                btnFitAll);
    CreateChild(handle_, WC_STATICW, ScreenText(kSearchLabel), SS_LEFT | SS_NOPREFIX, 0, lblSearch);
    HWND fields = CreateChild(handle_, WC_COMBOBOXW, L"",
                              WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0, cmbSearchField);
    HWND search = CreateChild(handle_, WC_EDITW, L"", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE,
                              edtSearch);
    SendMessageW(search, EM_SETCUEBANNER, TRUE,
                 reinterpret_cast<LPARAM>(ScreenText(kSearchPlaceholder).c_str()));
    CreateChild(handle_, WC_BUTTONW, ScreenText(kSearchCaption), WS_TABSTOP | BS_PUSHBUTTON, 0,
                btnSearch);
    map_ = std::make_unique<TMapView>(handle_, imgMap, *layer_);
    CreateChild(handle_, WC_LISTVIEWW, L"",
                WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                    LVS_NOSORTHEADER,
                WS_EX_CLIENTEDGE, grdRecords);
    CreateChild(handle_, WC_STATICW, ScreenText(logic_.Summary()), SS_LEFT | SS_NOPREFIX, 0,
                lblSummary);
    CreateChild(handle_, WC_STATICW, L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, 0, lblInfo);
    CreateChild(handle_, WC_STATICW, L"", SS_RIGHT | SS_NOPREFIX, 0, lblPointer);
    font_ = ProgramFont(dpi_);
    SetFontOfAll(handle_, font_.get());

    for (int i = 0; i < rows_.FieldCount(); ++i) {
        SendMessageW(fields, CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(ScreenText(text_->Show(rows_.FieldName(i))).c_str()));
    }
    SendMessageW(fields, CB_SETCURSEL, static_cast<WPARAM>(logic_.FirstSearchField()), 0);
    for (const int id : {cmbSearchField, edtSearch, btnSearch}) {
        EnableWindow(GetDlgItem(handle_, id), logic_.Searchable() ? TRUE : FALSE);
    }
    CreateColumns();

    map_->ShapeClicked = [this](int row) { SelectRow(row); };
    map_->NothingClicked = [this] {
        ListView_SetItemState(Control(grdRecords), -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    };
    map_->ReadProblem = [this](const std::string& message) { ShowInfo(message); };
    map_->PointerMoved = [this](std::optional<TShpPoint> at) {
        SetWindowTextBytes(Control(lblPointer), at ? PointerText(*at) : std::string());
    };
}

void TdlgPreview::CreateColumns() {
    HWND list = Control(grdRecords);
    ListView_SetExtendedListViewStyle(
        list, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_GRIDLINES);
    const int padding = Scaled(14, dpi_);
    const int widest = Scaled(320, dpi_);
    const int measured = std::min(rows_.RowCount(), kMeasuredRows);
    // The record numbers first, as the rows' headers.
    std::wstring number = ScreenText(RowHeaderText(rows_.RowCount(), true));
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    column.pszText = const_cast<wchar_t*>(L"");
    column.cx = TextWidth(list, font_.get(), number) + padding;
    ListView_InsertColumn(list, 0, &column);
    for (int i = 0; i < rows_.FieldCount(); ++i) {
        std::wstring header = ScreenText(text_->Show(rows_.FieldName(i)));
        int width = TextWidth(list, font_.get(), header);
        for (int row = 0; row < measured; ++row) {
            const TAttributeRows::TRow& r = rows_.Fetch(row);
            if (static_cast<std::size_t>(i) < r.Cells.size()) {
                width = std::max(
                    width,
                    TextWidth(list, font_.get(),
                              ScreenText(text_->Show(r.Cells[static_cast<std::size_t>(i)]))));
            }
        }
        column.fmt = rows_.IsNumber(i) ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.pszText = header.data();
        column.cx = std::min(width + padding, widest);
        ListView_InsertColumn(list, i + 1, &column);
    }
    ListView_SetItemCountEx(list, rows_.RowCount(), LVSICF_NOINVALIDATEALL);
}

void TdlgPreview::LayOut() {
    RECT client{};
    GetClientRect(handle_, &client);
    const int m = Scaled(kMargin, dpi_);
    const int bar = Scaled(kBarHeight, dpi_);
    const int status = Scaled(kStatusHeight, dpi_);
    const int width = client.right;
    const auto place = [this](int id, int x, int y, int w, int h) {
        SetWindowPos(GetDlgItem(handle_, id), nullptr, x, y, std::max(w, 0), std::max(h, 0),
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const int button = Scaled(90, dpi_);
    place(btnFitAll, m, m, button, bar);
    const int labelWidth =
        TextWidth(handle_, font_.get(), ScreenText(kSearchLabel)) + Scaled(4, dpi_);
    int x = m + button + Scaled(16, dpi_);
    place(lblSearch, x, m + (bar - Scaled(14, dpi_)) / 2, labelWidth, Scaled(16, dpi_));
    x += labelWidth + Scaled(4, dpi_);
    place(cmbSearchField, x, m, Scaled(150, dpi_), Scaled(240, dpi_));
    x += Scaled(154, dpi_);
    place(btnSearch, width - m - button, m, button, bar);
    place(edtSearch, x, m + Scaled(1, dpi_), width - m - button - Scaled(4, dpi_) - x,
          bar - Scaled(2, dpi_));

    const int top = m + bar + Scaled(6, dpi_);
    const int bottom = client.bottom - status - Scaled(4, dpi_);
    const int gap = Scaled(6, dpi_);
    const int mapHeight = std::max((bottom - top - gap) * 3 / 5, Scaled(90, dpi_));
    SetWindowPos(map_->Handle(), nullptr, m, top, std::max(width - 2 * m, 0), mapHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    place(grdRecords, m, top + mapHeight + gap, width - 2 * m, bottom - top - mapHeight - gap);

    const int line = client.bottom - status;
    const int summary =
        TextWidth(handle_, font_.get(), ScreenText(logic_.Summary())) + Scaled(4, dpi_);
    const int pointer = Scaled(260, dpi_);
    place(lblSummary, m, line + Scaled(3, dpi_), summary, status - Scaled(4, dpi_));
    place(lblInfo, m + summary + Scaled(16, dpi_), line + Scaled(3, dpi_),
          width - 2 * m - summary - Scaled(16, dpi_) - pointer, status - Scaled(4, dpi_));
    place(lblPointer, width - m - pointer, line + Scaled(3, dpi_), pointer,
          status - Scaled(4, dpi_));
}

void TdlgPreview::WindowGone() {
    map_.reset();  // its worker ends before the layer it reads goes
    delete this;
}

LRESULT TdlgPreview::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_SIZE:
            if (map_) {
                LayOut();
            }
            return 0;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case btnFitAll:
                    map_->FitAll();
                    return 0;
                case btnSearch:
                case IDOK:  // Enter in the search box searches
                    btnSearchClick();
                    return 0;
                case IDCANCEL:
                    DestroyWindow(handle_);
                    return 0;
                default:
                    return 0;
            }
        case WM_NOTIFY:
            return OnNotify(*reinterpret_cast<NMHDR*>(lParam));
        case WM_SETCURSOR:
            if (busyCursor_ > 0) {
                SetCursor(LoadCursorW(nullptr, IDC_WAIT));
                return TRUE;
            }
            break;
        case WM_DPICHANGED: {
            dpi_ = HIWORD(wParam);
            font_ = ProgramFont(dpi_);
            SetFontOfAll(handle_, font_.get());
            const auto* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(handle_, nullptr, suggested->left, suggested->top,
                         suggested->right - suggested->left, suggested->bottom - suggested->top,
                         SWP_NOZORDER | SWP_NOACTIVATE);
            LayOut();
            return 0;
        }
        default:
            break;
    }
    return DefWindowProcW(handle_, message, wParam, lParam);
}

LRESULT TdlgPreview::OnNotify(NMHDR& header) {
    if (header.idFrom != static_cast<UINT_PTR>(grdRecords)) {
        return 0;
    }
    switch (header.code) {
        case LVN_GETDISPINFOW:
            OnRowText(reinterpret_cast<NMLVDISPINFOW&>(header));
            return 0;
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if ((change.uChanged & LVIF_STATE) != 0 &&
                ((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0) {
                map_->SetHighlight(SelectedRow(), true);
            }
            return 0;
        }
        case NM_CUSTOMDRAW: {
            auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(header);
            if (draw.nmcd.dwDrawStage == CDDS_PREPAINT) {
                return CDRF_NOTIFYITEMDRAW;
            }
            if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT &&
                rows_.Fetch(static_cast<int>(draw.nmcd.dwItemSpec)).Deleted) {
                draw.clrText = GetSysColor(COLOR_GRAYTEXT);  // records marked deleted
            }
            return CDRF_DODEFAULT;
        }
        default:
            return 0;
    }
}

void TdlgPreview::OnRowText(NMLVDISPINFOW& info) {
    LVITEMW& item = info.item;
    if ((item.mask & LVIF_TEXT) == 0 || item.cchTextMax <= 0 || item.iItem < 0 ||
        item.iItem >= rows_.RowCount()) {
        return;
    }
    const TAttributeRows::TRow& row = rows_.Fetch(item.iItem);
    std::string text;
    if (item.iSubItem == 0) {
        text = RowHeaderText(item.iItem, row.Deleted);
    } else if (static_cast<std::size_t>(item.iSubItem - 1) < row.Cells.size()) {
        const std::string& value = row.Cells[static_cast<std::size_t>(item.iSubItem - 1)];
        text = rows_.IsText(item.iSubItem - 1) ? text_->Show(value) : value;
    }
    shownText_ = ScreenText(text);
    const auto n = std::min(shownText_.size(), static_cast<std::size_t>(item.cchTextMax - 1));
    std::copy_n(shownText_.c_str(), n, item.pszText);
    item.pszText[n] = L'\0';
}

void TdlgPreview::btnSearchClick() {
    if (!IsWindowEnabled(Control(btnSearch))) {
        return;
    }
    const std::string typed = WindowTextBytes(Control(edtSearch));
    const auto field = static_cast<int>(SendMessageW(Control(cmbSearchField), CB_GETCURSEL, 0, 0));
    logic_.Search(field, typed, text_->Store(typed));
}

void TdlgPreview::ShowInfo(std::string_view text) {
    if (handle_ != nullptr && Control(lblInfo) != nullptr) {
        SetWindowTextBytes(Control(lblInfo), text);
    }
}

std::optional<int> TdlgPreview::SelectedRow() const {
    const int row = ListView_GetNextItem(Control(grdRecords), -1, LVNI_SELECTED);
    return row >= 0 ? std::optional<int>(row) : std::nullopt;
}

void TdlgPreview::SelectRow(int row) {
    HWND list = Control(grdRecords);
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list, row, FALSE);
}

void TdlgPreview::SetBusyCursor(bool busy) {
    busyCursor_ = std::max(busyCursor_ + (busy ? 1 : -1), 0);
    SetCursor(LoadCursorW(nullptr, busyCursor_ > 0 ? IDC_WAIT : IDC_ARROW));
}

}  // namespace varnelo::win32
