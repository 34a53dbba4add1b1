// SPDX-License-Identifier: MIT
#include "gui/attribute_model.hpp"

#include <QBrush>
#include <QStringEncoder>

#include "engine/table_text.hpp"
#include "gui/main_window.hpp"

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

TAttributeModel::TAttributeModel(TLocalDbf& table, TTextCodec& codec,
                                 std::function<void(const QString&)> readFailed, QObject* parent)
    : QAbstractTableModel(parent),
      table_(table),
      codec_(codec),
      readFailed_(std::move(readFailed)) {
    for (int i = 0; i < table_.FieldCount(); ++i) {
        titles_ << codec_.Decode(table_.Fields(i).FieldName());
        const TFieldType type = table_.Fields(i).DataType();
        rightAligned_.push_back(type == ftInteger || type == ftFloat);
    }
}

int TAttributeModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : table_.RecordCount();
}

int TAttributeModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(titles_.size());
}

const TAttributeModel::TRow& TAttributeModel::Fetch(int row) const {
    TRow& cached = cache_[static_cast<std::size_t>(row) % kCachedRows];
    if (cached.Row == row) {
        return cached;
    }
    cached = TRow{row, false, {}};
    try {
        table_.SetRecNo(row + 1);
        if (table_.RecNo() != row + 1) {
            throw ELocalDbfError("レコード " + std::to_string(row + 1) + " を読めません");
        }
        cached.Deleted = table_.IsDeleted();
        for (int i = 0; i < table_.FieldCount(); ++i) {
            const std::string value = ShownFieldValue(table_, i);
            cached.Cells << (table_.Fields(i).DataType() == ftString
                                 ? codec_.Decode(value)
                                 : QString::fromLatin1(value.data(),
                                                       static_cast<qsizetype>(value.size())));
        }
        failing_ = false;
    } catch (const Exception& error) {
        cached.Cells.clear();
        if (!failing_ && readFailed_) {
            failing_ = true;
            readFailed_(ScreenText(error.what()));
        }
    }
    return cached;
}

QVariant TAttributeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || index.column() >= columnCount()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole: {
            const TRow& row = Fetch(index.row());
            return index.column() < row.Cells.size() ? row.Cells[index.column()] : QString();
        }
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignVCenter |
                                       (rightAligned_[static_cast<std::size_t>(index.column())]
                                            ? Qt::AlignRight
                                            : Qt::AlignLeft));
        case Qt::ForegroundRole:
            return Fetch(index.row()).Deleted ? QVariant(QBrush(Qt::gray)) : QVariant();
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
        return QString::number(section + 1) + (Fetch(section).Deleted ? "*" : "");
    }
    if (section < 0 || section >= columnCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return titles_[section];
    }
    if (role == Qt::ToolTipRole) {
        const TDbfField& field = table_.DbfField(section);
        return QStringLiteral("%1 %2(%3, %4)")
            .arg(titles_[section], QChar(field.TypeChar))
            .arg(field.Length)
            .arg(field.Decimals);
    }
    return {};
}

}  // namespace varnelo::gui
