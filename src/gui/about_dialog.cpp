// SPDX-License-Identifier: MIT
#include "gui/about_dialog.hpp"

#include <QLabel>
#include <QPushButton>

#include "gui/artwork.hpp"

namespace varnelo::gui {
namespace {

QLabel* PlacedLabel(QWidget* parent, const char* name, const QString& text, int left, int top) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(left, top);
    label->adjustSize();
    return label;
}

}  // namespace

TdlgAbout::TdlgAbout(QWidget* parent, const QString& versionText, int frameHeight)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowCloseButtonHint) {
    setObjectName("dlgAbout");
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(kClientWidth, kOuterHeight - frameHeight);

    Image2 = new QLabel(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(64, 16, 32, 32);
    Image2->setPixmap(ProgramIcon(32));
    Label1 = PlacedLabel(this, "Label1", QStringLiteral("Varnelo Converter"), 104, 16);
    lblVersion = PlacedLabel(this, "lblVersion", versionText, 104, 32);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(144, 152, 75, 21);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace varnelo::gui
