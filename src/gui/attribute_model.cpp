// SPDX-License-Identifier: MIT
#include "gui/attribute_model.hpp"

#include <QBrush>
#include <QStringEncoder>

namespace varnelo::gui {
namespace {

QStringDecoder DecoderFor(QString& name) {
    QStringDecoder decoder(name.toLatin1().constData());
    if (!decoder.isValid()) {
        name = QStringLiteral("CP932");
        decoder = QStringDecoder("CP932");
    }
    return decoder;
}

}  // namespace

TTextCodec::TTextCodec(const std::string& charset)
    : name_(QString::fromStdString(charset)), decoder_(DecoderFor(name_)) {}

QString TTextCodec::Decode(std::string_view bytes) {
    // A blank after the value makes the decoder give up a character left unfinished at its
    // end, which it would otherwise hold back silently; the blank itself is dropped again.
    QByteArray input(bytes.data(), static_cast<qsizetype>(bytes.size()));
    input.append(' ');
    decoder_.resetState();
    QString text = decoder_(input);
    if (text.endsWith(u' ')) {
        text.chop(1);
    }
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F) {
            c = QChar::ReplacementCharacter;
        }
    }
    return text;
}

std::optional<std::string> TTextCodec::Encode(const QString& text) const {
    QStringEncoder encoder(name_.toLatin1().constData());  // a fresh one: errors stay set
    const QByteArray bytes = encoder(text);
    if (encoder.hasError()) {
        return std::nullopt;
    }
    return bytes.toStdString();
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
        return QString::number(section + 1) + (rows_.Fetch(section).Deleted ? "*" : "");
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
