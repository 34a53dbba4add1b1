// SPDX-License-Identifier: MIT
#include "gui/attribute_model.hpp"

#include <QBrush>

#include "gui/main_window.hpp"

namespace varnelo::gui {

TTextCodec::TTextCodec(std::string charset)
    : text_(DisplayTextFor(charset)), name_(QString::fromStdString(charset)) {}

QString TTextCodec::Decode(std::string_view bytes) const {
    return ScreenText(text_->Show(bytes));
}

std::optional<std::string> TTextCodec::Encode(const QString& text) const {
    return text_->Store(TextBytes(text));
}

TAttributeModel::TAttributeModel(TAttributeRows& rows, TTextCodec& codec, QObject* parent)
    : QAbstractTableModel(parent), rows_(rows), codec_(codec) {
    for (int i = 0; i < rows_.FieldCount(); ++i) {
        titles_ << codec_.Decode(rows_.FieldName(i));
    }
}

int TAttributeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_.RowCount();
}

int TAttributeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

QVariant TAttributeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole: {
            const TAttributeRows::TRow& row = rows_.Fetch(index.row());
            const auto column = static_cast<std::size_t>(index.column());
            if (column >= row.Cells.size()) {
                return QString();
            }
            const std::string& value = row.Cells[column];
            return rows_.IsText(index.column())
                       ? codec_.Decode(value)
                       : QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(
                Qt::AlignVCenter |
                (rows_.IsNumber(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
        case Qt::ForegroundRole:
            return rows_.Fetch(index.row()).Deleted ? QVariant(QBrush(Qt::gray)) : QVariant();
        default:
            return {};
    }
}

QVariant TAttributeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical) {
        if (role != Qt::DisplayRole || section < 0 || section >= rowCount()) {
            return {};
        }
        // Records marked deleted are shown, in grey, and marked as the listing marks them.
        return ScreenText(RowHeaderText(section, rows_.Fetch(section).Deleted));
    }
    if (section < 0 || section >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return titles_[section];
    }
    if (role == Qt::ToolTipRole) {
        return codec_.Decode(rows_.FieldDescription(section));
    }
    return {};
}

}  // namespace varnelo::gui
