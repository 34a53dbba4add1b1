// SPDX-License-Identifier: MIT
// The attribute table of a shapefile as a Qt table model: rows are read from the table
// engine when a view asks for them, a few hundred at most kept, so a table of a million
// records costs no more memory than one of ten. Text is decoded from the table's code page
// for the screen only; the file is never changed.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringConverter>
#include <QStringList>
#include <optional>
#include <string>
#include <string_view>

#include "app/preview_logic.hpp"

namespace varnelo::gui {

// The table's text for the screen and the user's text for searching it.
class TTextCodec {
  public:
    // `charset` as iconv and ICU name it; one that Qt does not know gives way to CP932.
    explicit TTextCodec(const std::string& charset);

    // The character set in use.
    const QString& Name() const noexcept { return name_; }
    // Bytes that do not decode, a character cut off at the end, and control characters show
    // as U+FFFD, so that a value can neither garble the screen nor hide its damage.
    QString Decode(std::string_view bytes);
    // The text in the table's code page; none when a character cannot be written in it.
    std::optional<std::string> Encode(const QString& text) const;

  private:
    QString name_;
    QStringDecoder decoder_;
};

class TAttributeModel final : public QAbstractTableModel {
    Q_OBJECT

  public:
    // `rows` and `codec` outlive the model.
    TAttributeModel(TAttributeRows& rows, TTextCodec& codec, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    TAttributeRows& rows_;
    TTextCodec& codec_;
    QStringList titles_;
};

}  // namespace varnelo::gui
