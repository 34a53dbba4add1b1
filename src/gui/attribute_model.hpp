// SPDX-License-Identifier: MIT
// The attribute table of a shapefile as a Qt table model: rows are read from the table
// engine when a view asks for them, a few hundred at most kept, so a table of a million
// records costs no more memory than one of ten. Text is decoded from the table's code page
// for the screen only; the file is never changed.
#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "app/display_text.hpp"
#include "app/preview_logic.hpp"

namespace varnelo::gui {

// The table's text for the screen and the user's text for searching it (TDisplayText).
class TTextCodec {
  public:
    // `charset` as the system names it; one that it does not know gives way to CP932.
    explicit TTextCodec(std::string charset);

    // The character set in use.
    const QString& Name() const noexcept { return name_; }
    // Bytes that do not decode and control characters show as "?", so that a value can
    // neither garble the screen nor hide its damage.
    QString Decode(std::string_view bytes) const;
    // The text in the table's code page; none when a character cannot be written in it.
    std::optional<std::string> Encode(const QString& text) const;

  private:
    std::unique_ptr<TDisplayText> text_;
    QString name_;
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
