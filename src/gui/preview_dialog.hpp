// SPDX-License-Identifier: MIT
// The window that shows a shapefile: its map above, its attribute table below, and a search
// box over the table. Selecting a row highlights its shape (moving the map to it when it
// lies outside), clicking a shape selects its row, and a search selects the first record
// whose chosen field begins with the text, ignoring case; searching again for the same text
// goes on to the next one. Nothing is ever written to the files.
#pragma once

#include <QDialog>
#include <memory>
#include <optional>

#include "app/preview_logic.hpp"
#include "app/shapefile_layer.hpp"
#include "gui/attribute_model.hpp"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace varnelo::gui {

class TMapWidget;

class TdlgPreview final : public QDialog, public IPreviewView {
    Q_OBJECT

  public:
    TdlgPreview(std::unique_ptr<TShapefileLayer> layer, QWidget* parent = nullptr);
    ~TdlgPreview() override;

    TMapWidget& Map() const { return *imgMap; }

    // IPreviewView
    void ShowInfo(std::string_view text) override;
    std::optional<int> SelectedRow() const override;
    void SelectRow(int row) override;
    void SetBusyCursor(bool busy) override;

  private:
    void CreateControls();
    void btnSearchClick();

    std::unique_ptr<TShapefileLayer> layer_;
    TTextCodec codec_;
    TAttributeRows rows_;
    TPreviewLogic logic_;
    TAttributeModel* model_;

    QPushButton* btnFitAll;
    QComboBox* cmbSearchField;
    QLineEdit* edtSearch;
    QPushButton* btnSearch;
    TMapWidget* imgMap;
    QTableView* grdRecords;
    QLabel* lblInfo = nullptr;
    QLabel* lblPointer;
};

}  // namespace varnelo::gui
