#!/usr/bin/python3
# SPDX-License-Identifier: MIT
"""Writes docs/layers.svg: the layers of the program, each a folder under src/ and a CMake
target, with the dependencies pointing down. Standard library only; run it when the layers
change and commit its output:

    python3 scripts/layers-picture.py
"""

import os
from xml.sax.saxutils import escape

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
OUTPUT = os.path.join(ROOT, "docs", "layers.svg")

BOX_W, BOX_H, GAP_Y = 200, 50, 40
WIDTH = 3 * BOX_W + 4 * 30 + 190

# name, what it holds, column (0-2, or 1 for the one-wide rows), row
LAYERS = [
    ("gui", "Qt 6 window: widgets, wiring", 0, 0),
    ("win32", "Win32 window: controls, GDI", 1, 0),
    ("cli", "command-line tools", 2, 0),
    ("app", "logic without a window", 1, 1),
    ("engine", "MIF/MID reading, conversion", 1, 2),
    ("shape", ".shp/.shx/.dbf, geometry", 1, 3),
]
# The operating system: one interface, beside the layers, used by every layer below the windows.
OS_BOX = ("os", "POSIX side | Win32 side")


def box_x(column):
    return 30 + column * (BOX_W + 30)


def box_y(row):
    return 20 + row * (BOX_H + GAP_Y)


def box(out, x, y, w, h, name, text, fill):
    out.append('<rect x="%d" y="%d" width="%d" height="%d" rx="6" fill="%s" stroke="#333"/>'
               % (x, y, w, h, fill))
    out.append('<text x="%d" y="%d" text-anchor="middle" font-weight="bold">%s</text>'
               % (x + w // 2, y + 21, escape(name)))
    out.append('<text x="%d" y="%d" text-anchor="middle" font-size="12">%s</text>'
               % (x + w // 2, y + 39, escape(text)))


def arrow(out, x1, y1, x2, y2):
    out.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="#333" stroke-width="1.5" '
               'marker-end="url(#head)"/>' % (x1, y1, x2, y2))


def picture():
    height = box_y(4) + 10
    out = ['<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
           'font-family="sans-serif" font-size="15">' % (WIDTH, height),
           '<defs><marker id="head" markerWidth="10" markerHeight="8" refX="9" refY="4" '
           'orient="auto"><path d="M0,0 L10,4 L0,8 z" fill="#333"/></marker></defs>',
           '<rect width="100%" height="100%" fill="white"/>']
    fills = {0: "#dbe9f6", 1: "#e3f1dc", 2: "#fdf1d6", 3: "#f6dede"}
    for name, text, column, row in LAYERS:
        box(out, box_x(column), box_y(row), BOX_W, BOX_H, name, text, fills[row])
    # The three programs point at app; each layer below at the next.
    app_top = box_y(1)
    for column in range(3):
        arrow(out, box_x(column) + BOX_W // 2, box_y(0) + BOX_H,
              box_x(1) + BOX_W // 2 + (column - 1) * 60, app_top - 2)
    for row in (1, 2):
        arrow(out, box_x(1) + BOX_W // 2, box_y(row) + BOX_H, box_x(1) + BOX_W // 2,
              box_y(row + 1) - 2)
    # os: a tall box on the right, reached from every layer.
    os_x = box_x(3) - 10
    os_w = WIDTH - os_x - 20
    box(out, os_x, box_y(1), os_w, box_y(3) + BOX_H - box_y(1), OS_BOX[0], "", "#eeeeee")
    for i, line in enumerate(OS_BOX[1].split(" | ") + ["files, folders,", "console, processes"]):
        out.append('<text x="%d" y="%d" text-anchor="middle" font-size="12">%s</text>'
                   % (os_x + os_w // 2, box_y(1) + 70 + 18 * i, escape(line)))
    for row in (1, 2, 3):
        arrow(out, box_x(1) + BOX_W, box_y(row) + BOX_H // 2, os_x - 2, box_y(row) + BOX_H // 2)
    out.append('<text x="%d" y="%d" font-size="12" fill="#555">Arrows: "uses". Nothing points '
               'up; no system header outside os (and win32 for windows.h).</text>'
               % (30, height - 8))
    out.append("</svg>")
    return "\n".join(out) + "\n"


def main():
    with open(OUTPUT, "w", encoding="utf-8", newline="\n") as f:
        f.write(picture())
    print(os.path.relpath(OUTPUT, ROOT))


if __name__ == "__main__":
    main()
