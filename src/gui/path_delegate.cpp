// SPDX-License-Identifier: MIT
#include "gui/path_delegate.hpp"

#include <QApplication>
#include <QStyle>

#include "app/path_display.hpp"

namespace varnelo::gui {

void TPathDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    if (index.column() == 1) {
        option->textElideMode = Qt::ElideRight;  // a type text too long ends in an ellipsis
        return;
    }
    if (index.column() < 2 || option->text.isEmpty()) {
        return;
    }
    const QStyle* style =
        option->widget != nullptr ? option->widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, option, option->widget) + 1;
    const int width = option->rect.width() - 2 * margin;
    const QFontMetrics& metrics = option->fontMetrics;
    const std::string fitted =
        FitPath(option->text.toStdString(), width, [&metrics](std::string_view text) {
            return metrics.horizontalAdvance(
                QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
        });
    option->text = QString::fromStdString(fitted);
}

}  // namespace varnelo::gui
