// SPDX-License-Identifier: MIT
#include "gui/artwork.hpp"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

namespace varnelo::gui {
namespace {

// Draws on a 32 × 32 grid; data/varnelo.svg holds the same shapes.
void DrawProgramIcon(QPainter& p) {
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2b, 0x6c, 0xb0));
    p.drawRoundedRect(QRectF(1, 1, 30, 30), 5, 5);
    p.setBrush(QColor(0xe6, 0xf0, 0xfa));
    p.drawPolygon(QPolygonF({{6, 22}, {11, 7}, {20, 10}, {17, 24}}));
    p.setBrush(QColor(0xf6, 0xad, 0x55));
    p.drawPolygon(QPolygonF({{17, 18}, {26, 13}, {27, 25}, {19, 27}}));
    p.setPen(QPen(QColor(0x1a, 0x36, 0x5d), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPolyline(QPolygonF({{5, 9}, {13, 15}, {23, 7}}));
}

}  // namespace

QPixmap ProgramIcon(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    DrawProgramIcon(p);
    return pixmap;
}

QIcon ProgramWindowIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 64, 128}) {
        icon.addPixmap(ProgramIcon(size));
    }
    return icon;
}

QPixmap StatusImage(int index) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    if (index == 0) {
        p.setPen(QPen(QColor(0x1e, 0x9e, 0x3a), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{3, 8.5}, {6.5, 12}, {13, 4}}));
    } else {
        p.setPen(QPen(QColor(0xd0, 0x20, 0x20), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    }
    return pixmap;
}

QFont ProgramFont() {
    const QString preferred = QStringLiteral("ＭＳ Ｐゴシック");
    QFont font(QFontDatabase::families().contains(preferred) ? preferred
                                                             : QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    return font;
}

}  // namespace varnelo::gui
