// SPDX-License-Identifier: MIT
#include "gui/about_dialog.hpp"

#include <QLabel>
#include <QPushButton>

#include "app/main_form.hpp"
#include "gui/artwork.hpp"
#include "gui/main_window.hpp"

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
    setWindowTitle(ScreenText(kAboutCaption));
    setFixedSize(kClientWidth, kOuterHeight - frameHeight);

    Image2 = new QLabel(this);
    Image2->setObjectName("Image2");
    Image2->setGeometry(kAboutIcon.Left, kAboutIcon.Top, kAboutIcon.Width, kAboutIcon.Height);
    Image2->setPixmap(ProgramIcon(32));
    Label1 = PlacedLabel(this, "Label1", ScreenText(kAboutName.Caption), kAboutName.Left,
                         kAboutName.Top);
    lblVersion =
        PlacedLabel(this, "lblVersion", versionText, kAboutVersion.Left, kAboutVersion.Top);

    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName("Button1");
    Button1->setGeometry(kAboutButton.Left, kAboutButton.Top, kAboutButton.Width,
                         kAboutButton.Height);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace varnelo::gui
