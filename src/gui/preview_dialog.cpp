// SPDX-License-Identifier: MIT
#include "gui/preview_dialog.hpp"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

#include "gui/main_window.hpp"
#include "gui/map_widget.hpp"

namespace varnelo::gui {
namespace {

QPushButton* PlainButton(const char* name, std::string_view caption, QWidget* parent) {
    auto* button = new QPushButton(ScreenText(caption), parent);
    button->setObjectName(name);
    button->setAutoDefault(false);  // Enter in the search box searches, and only once
    return button;
}

}  // namespace

TdlgPreview::TdlgPreview(std::unique_ptr<TShapefileLayer> layer, QWidget* parent)
    : QDialog(parent),
      layer_(std::move(layer)),
      codec_(layer_->Charset()),
      rows_(layer_->Table(), [this](const std::string& message) { ShowInfo(message); }),
      logic_(*layer_, *this) {
    setObjectName("dlgPreview");
    setWindowTitle(ScreenText(logic_.Title()));
    setSizeGripEnabled(true);
    model_ = new TAttributeModel(rows_, codec_, this);
    CreateControls();
    resize(860, 640);
}

TdlgPreview::~TdlgPreview() {
    // The map and the table read from the layer and the codec: they go before them.
    delete imgMap;
    delete grdRecords;
    delete model_;
}

void TdlgPreview::CreateControls() {
    btnFitAll = PlainButton("btnFitAll", kFitAllCaption, this);
    cmbSearchField = new QComboBox(this);
    cmbSearchField->setObjectName("cmbSearchField");
    for (int i = 0; i < model_->columnCount(); ++i) {
        cmbSearchField->addItem(model_->headerData(i, Qt::Horizontal, Qt::DisplayRole).toString());
    }
    cmbSearchField->setCurrentIndex(logic_.FirstSearchField());
    edtSearch = new QLineEdit(this);
    edtSearch->setObjectName("edtSearch");
    edtSearch->setPlaceholderText(ScreenText(kSearchPlaceholder));
    edtSearch->setClearButtonEnabled(true);
    btnSearch = PlainButton("btnSearch", kSearchCaption, this);
    for (QWidget* w : std::initializer_list<QWidget*>{cmbSearchField, edtSearch, btnSearch}) {
        w->setEnabled(logic_.Searchable());
    }

    imgMap = new TMapWidget(*layer_, this);
    grdRecords = new QTableView(this);
    grdRecords->setObjectName("grdRecords");
    grdRecords->setModel(model_);
    grdRecords->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdRecords->setSelectionMode(QAbstractItemView::SingleSelection);
    grdRecords->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grdRecords->setWordWrap(false);
    grdRecords->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    grdRecords->verticalHeader()->setDefaultSectionSize(grdRecords->fontMetrics().height() + 6);
    grdRecords->resizeColumnsToContents();

    auto* splitter = new QSplitter(Qt::Vertical, this);
    splitter->setObjectName("splMapTable");
    splitter->addWidget(imgMap);
    splitter->addWidget(grdRecords);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setSizes({3000, 2000});  // shared in this ratio, whatever the height
    splitter->setChildrenCollapsible(false);

    auto* lblSummary = new QLabel(ScreenText(logic_.Summary()), this);
    lblSummary->setObjectName("lblSummary");
    lblInfo = new QLabel(this);
    lblInfo->setObjectName("lblInfo");
    lblInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblPointer = new QLabel(this);
    lblPointer->setObjectName("lblPointer");

    auto* bar = new QHBoxLayout;
    bar->addWidget(btnFitAll);
    bar->addSpacing(16);
    bar->addWidget(new QLabel(ScreenText(kSearchLabel), this));
    bar->addWidget(cmbSearchField);
    bar->addWidget(edtSearch, 1);
    bar->addWidget(btnSearch);
    auto* status = new QHBoxLayout;
    status->addWidget(lblSummary);
    status->addSpacing(16);
    status->addWidget(lblInfo, 1);
    status->addWidget(lblPointer);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(bar);
    layout->addWidget(splitter, 1);
    layout->addLayout(status);

    connect(btnFitAll, &QPushButton::clicked, imgMap, &TMapWidget::FitAll);
    connect(btnSearch, &QPushButton::clicked, this, &TdlgPreview::btnSearchClick);
    connect(edtSearch, &QLineEdit::returnPressed, this, &TdlgPreview::btnSearchClick);
    connect(grdRecords->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                imgMap->SetHighlight(
                    current.isValid() ? std::optional<int>(current.row()) : std::nullopt, true);
            });
    connect(imgMap, &TMapWidget::shapeClicked, this, &TdlgPreview::SelectRow);
    connect(imgMap, &TMapWidget::nothingClicked, this, [this] {
        grdRecords->selectionModel()->clearCurrentIndex();
        grdRecords->clearSelection();
    });
    connect(imgMap, &TMapWidget::readProblem, this,
            [this](const QString& message) { lblInfo->setText(message); });
    connect(imgMap, &TMapWidget::pointerMoved, this, [this](std::optional<TShpPoint> at) {
        lblPointer->setText(at ? ScreenText(PointerText(*at)) : QString());
    });
}

void TdlgPreview::ShowInfo(std::string_view text) {
    if (lblInfo != nullptr) {  // a row read while the table is laid out has none to tell yet
        lblInfo->setText(ScreenText(text));
    }
}

std::optional<int> TdlgPreview::SelectedRow() const {
    const QModelIndexList rows = grdRecords->selectionModel()->selectedRows();
    if (rows.isEmpty()) {
        return std::nullopt;
    }
    return rows.constFirst().row();
}

void TdlgPreview::SelectRow(int row) {
    const QModelIndex index = model_->index(row, 0);
    grdRecords->selectRow(row);
    grdRecords->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

void TdlgPreview::SetBusyCursor(bool busy) {
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void TdlgPreview::btnSearchClick() {
    const QString text = edtSearch->text();
    logic_.Search(cmbSearchField->currentIndex(), TextBytes(text), codec_.Encode(text));
}

}  // namespace varnelo::gui
