// SPDX-License-Identifier: MIT
// The program's pictures, drawn in code so that every size stays sharp: the program icon
// (the same shapes as data/varnelo.svg) and the three status images of the batch list.
#pragma once

#include <QFont>
#include <QIcon>
#include <QPixmap>
#include <vector>

namespace varnelo::gui {

// The program icon at `size` × `size` pixels.
QPixmap ProgramIcon(int size);

// The icon in the sizes a window manager asks for.
QIcon ProgramWindowIcon();

// The batch list's status images, 16 × 16 unless asked larger: 0 a green check mark, 1 a red
// cross, 2 a yellow warning triangle.
QPixmap StatusImage(int index, int size = 16);

// Pictures as a Windows icon file: one 32-bit image with its mask for each picture, so that
// the Windows build shows the same artwork.
QByteArray IconFile(const std::vector<QImage>& pictures);

// "ＭＳ Ｐゴシック" at 12 pixels when installed, else a Japanese proportional Gothic.
QFont ProgramFont();

}  // namespace varnelo::gui
