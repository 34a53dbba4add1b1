// SPDX-License-Identifier: MIT
// Draws the batch list's path columns shortened to their width by the rule of FitPath: the
// file name first, the folder giving way in its middle; the type column ends a text too long
// for it in an ellipsis.
#pragma once

#include <QStyledItemDelegate>

namespace varnelo::gui {

class TPathDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

  protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

}  // namespace varnelo::gui
