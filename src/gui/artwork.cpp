// SPDX-License-Identifier: MIT
#include "gui/artwork.hpp"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include "app/main_form.hpp"

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

QPixmap StatusImage(int index, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 16.0, size / 16.0);
    if (index == 0) {
        p.setPen(QPen(QColor(0x1e, 0x9e, 0x3a), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPolyline(QPolygonF({{3, 8.5}, {6.5, 12}, {13, 4}}));
    } else if (index == 1) {
        p.setPen(QPen(QColor(0xd0, 0x20, 0x20), 2.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    } else {
        p.setPen(QPen(QColor(0x9a, 0x6a, 0x00), 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.setBrush(QColor(0xf5, 0xc2, 0x1b));
        p.drawPolygon(QPolygonF({{8, 1.5}, {15, 14.5}, {1, 14.5}}));
        p.setPen(QPen(QColor(0x20, 0x20, 0x20), 1.8, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(8, 6), QPointF(8, 9.5));
        p.drawPoint(QPointF(8, 12.3));
    }
    return pixmap;
}

QByteArray IconFile(const std::vector<QImage>& pictures) {
    QByteArray file;
    const auto put = [&file](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            file.append(static_cast<char>((value >> (8 * i)) & 0xFF));
        }
    };
    // The header and one directory entry for each picture, then the pictures.
    put(0, 2);
    put(1, 2);
    put(static_cast<std::uint32_t>(pictures.size()), 2);
    std::vector<QByteArray> images;
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(pictures.size());
    for (const QImage& picture : pictures) {
        const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
        const int w = argb.width();
        const int h = argb.height();
        const int maskStride = ((w + 31) / 32) * 4;
        QByteArray image;
        const auto add = [&image](std::uint32_t value, int bytes) {
            for (int i = 0; i < bytes; ++i) {
                image.append(static_cast<char>((value >> (8 * i)) & 0xFF));
            }
        };
        // BITMAPINFOHEADER: the height counts the colour rows and the mask rows.
        add(40, 4);
        add(static_cast<std::uint32_t>(w), 4);
        add(static_cast<std::uint32_t>(2 * h), 4);
        add(1, 2);
        add(32, 2);
        add(0, 4);
        add(static_cast<std::uint32_t>(h * (w * 4 + maskStride)), 4);
        add(0, 4);
        add(0, 4);
        add(0, 4);
        add(0, 4);
        for (int y = h - 1; y >= 0; --y) {  // bottom-up rows of blue, green, red, alpha
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            for (int x = 0; x < w; ++x) {
                add(qBlue(row[x]) | (qGreen(row[x]) << 8) | (qRed(row[x]) << 16) |
                        (static_cast<std::uint32_t>(qAlpha(row[x])) << 24),
                    4);
            }
        }
        for (int y = h - 1; y >= 0; --y) {  // the mask: a set bit where nothing is drawn
            const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
            QByteArray bits(maskStride, '\0');
            for (int x = 0; x < w; ++x) {
                if (qAlpha(row[x]) == 0) {
                    bits[x / 8] = static_cast<char>(bits[x / 8] | (0x80 >> (x % 8)));
                }
            }
            image.append(bits);
        }
        put(static_cast<std::uint32_t>(w >= 256 ? 0 : w), 1);
        put(static_cast<std::uint32_t>(h >= 256 ? 0 : h), 1);
        put(0, 1);
        put(0, 1);
        put(1, 2);
        put(32, 2);
        put(static_cast<std::uint32_t>(image.size()), 4);
        put(offset, 4);
        offset += static_cast<std::uint32_t>(image.size());
        images.push_back(image);
    }
    for (const QByteArray& image : images) {
        file.append(image);
    }
    return file;
}

QFont ProgramFont() {
    const QString preferred =
        QString::fromUtf8(kProgramFontFace.data(), static_cast<qsizetype>(kProgramFontFace.size()));
    QFont font(QFontDatabase::families().contains(preferred) ? preferred
                                                             : QStringLiteral("IPAPGothic"));
    font.setPixelSize(kProgramFontPixels);
    return font;
}

}  // namespace varnelo::gui
