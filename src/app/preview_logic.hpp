// SPDX-License-Identifier: MIT
// The shapefile viewer's behaviour without its window: the summary line, the search that goes
// on after what it found and starts again at the first record once past the last, and its
// messages, and the table's rows as text for the screen. The window binds its widgets to this
// through IPreviewView.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/map_drawing.hpp"
#include "app/shapefile_layer.hpp"

namespace varnelo {

// The viewer's controls: the button that shows every shape, and the search over the table.
inline constexpr std::string_view kFitAllCaption = "全体表示";
inline constexpr std::string_view kSearchLabel = "検索:";
inline constexpr std::string_view kSearchCaption = "検索";
inline constexpr std::string_view kSearchPlaceholder =
    "探す値の先頭 (大文字と小文字を区別しません)";

// What a drawing that could not read everything says: none when it read every record.
std::optional<std::string> DrawingProblemText(const TDrawResult& result);
// The map position under the mouse: "X 135.500000  Y 35.250000".
std::string PointerText(const TShpPoint& at);
// A row's header: its record number, marked "*" when the record is marked deleted.
std::string RowHeaderText(int row, bool deleted);

// What the viewer's logic needs from its window.
class IPreviewView {
  public:
    virtual ~IPreviewView() = default;
    // The line beside the summary: what a search found, or why a record could not be read.
    virtual void ShowInfo(std::string_view text) = 0;
    virtual std::optional<int> SelectedRow() const = 0;
    // Selects the table's row and scrolls it into view; the map follows the selection.
    virtual void SelectRow(int row) = 0;
    virtual void SetBusyCursor(bool busy) = 0;
};

// The name of a shape type as the type list names the conversion that writes it.
std::string_view ShapeTypeName(std::int32_t shapeType);

class TPreviewLogic {
  public:
    // `layer` outlives this.
    TPreviewLogic(TShapefileLayer& layer, IPreviewView& view);

    // "シェープファイルの表示 - roads.shp"
    std::string Title() const;
    // "ポリゴン 12 件   文字コード CP932"
    std::string Summary() const;
    // The field offered for searching first: the first text field, else the first.
    int FirstSearchField() const;
    // Whether the search controls are on: the table has a field to search.
    bool Searchable() const;

    // Searches field `field` for the first record whose value begins with `typed` (the text
    // as the user typed it), given in the table's code page as `key` (none: it cannot be
    // written in it), ignoring case. The same search again, while its find is selected, goes
    // on after it.
    void Search(int field, const std::string& typed, const std::optional<std::string>& key);

  private:
    TShapefileLayer& layer_;
    IPreviewView& view_;
    struct TLastFound {
        int Field = -1;
        std::string Text;
        int Row = -1;
    } lastFound_;
};

// The attribute table's rows for a view that asks for them one by one: read from the engine
// when asked, the last 512 kept, so a table of a million records costs no more memory than
// one of ten. Text stays in the table's code page for the window to decode.
class TAttributeRows {
  public:
    struct TRow {
        int Row = -1;
        bool Deleted = false;
        std::vector<std::string> Cells;  // empty when the record could not be read
    };

    // `table` is open and shows records marked deleted, so that row r is record r + 1;
    // `readFailed` hears of a record that could not be read (once until one reads again).
    TAttributeRows(TLocalDbf& table, std::function<void(const std::string&)> readFailed);

    int RowCount() const;
    int FieldCount() const;
    const std::string& FieldName(int field) const;
    bool IsText(int field) const;    // decoded by the table's code page; the rest is ASCII
    bool IsNumber(int field) const;  // shown right-aligned
    // "NAME C(20, 0)"
    std::string FieldDescription(int field) const;
    const TRow& Fetch(int row);

  private:
    static constexpr std::size_t kCachedRows = 512;

    TLocalDbf& table_;
    std::function<void(const std::string&)> readFailed_;
    std::array<TRow, kCachedRows> cache_;  // row r in slot r % kCachedRows
    bool failing_ = false;
};

}  // namespace varnelo
