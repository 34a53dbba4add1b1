// SPDX-License-Identifier: MIT
// The window that shows a shapefile: its map above, its attribute table below as a virtual
// list view that asks the logic's row source for what it shows, a search box over the table
// and a status line. Selecting a row highlights its shape (moving the map to it when it lies
// outside), clicking a shape selects its row, and a search selects the first record whose
// chosen field begins with the text, ignoring case; searching again for the same text goes
// on to the next one. Nothing is ever written to the files.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/display_text.hpp"
#include "app/preview_logic.hpp"
#include "app/shapefile_layer.hpp"
#include "win32/controls.hpp"
#include "win32/handles.hpp"
#include "win32/map_view.hpp"

namespace varnelo::win32 {

class TdlgPreview final : public IPreviewView {
  public:
    // The controls' identifiers.
    enum TControl : int {
        btnFitAll = 400,
        lblSearch,
        cmbSearchField,
        edtSearch,
        btnSearch,
        imgMap,
        grdRecords,
        lblSummary,
        lblInfo,
        lblPointer,
    };

    // Opens the window beside `owner`; it lives until it is closed, or its owner is.
    static TdlgPreview* Open(std::unique_ptr<TShapefileLayer> layer, HWND owner);

    HWND Handle() const noexcept { return handle_; }
    HWND Control(TControl id) const noexcept { return GetDlgItem(handle_, id); }
    TMapView& Map() const noexcept { return *map_; }

    // IPreviewView
    void ShowInfo(std::string_view text) override;
    std::optional<int> SelectedRow() const override;
    void SelectRow(int row) override;
    void SetBusyCursor(bool busy) override;

  private:
    TdlgPreview(std::unique_ptr<TShapefileLayer> layer, HWND owner);
    ~TdlgPreview() override;

    template <typename Object>
    friend LRESULT CALLBACK ObjectWindowProc(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // The viewer lives as long as its window.
    void WindowGone();

    void CreateControls();
    void CreateColumns();
    void LayOut();
    LRESULT OnNotify(NMHDR& header);
    void OnRowText(NMLVDISPINFOW& info);
    void btnSearchClick();

    HWND handle_ = nullptr;
    std::unique_ptr<TShapefileLayer> layer_;
    std::string charset_;
    std::unique_ptr<TDisplayText> text_;
    TAttributeRows rows_;
    TPreviewLogic logic_;
    std::unique_ptr<TMapView> map_;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    TFont font_;
    std::wstring shownText_;  // what the table shows of a cell now
    int busyCursor_ = 0;
};

}  // namespace varnelo::win32
