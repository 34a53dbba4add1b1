// SPDX-License-Identifier: MIT
// The about box: the program's icon, name and version, and an OK button that Enter, Esc and
// the close box press too. Made for each opening and released after it.
#pragma once

#include <QDialog>

#include "app/main_form.hpp"

class QLabel;
class QPushButton;

namespace varnelo::gui {

class TdlgAbout : public QDialog {
    Q_OBJECT

  public:
    static constexpr int kClientWidth = kAboutClientWidth;
    static constexpr int kOuterHeight = kAboutOuterHeight;

    // `frameHeight` is what the window manager's frame adds to a window's height, so the
    // dialog's outer height comes to kOuterHeight.
    TdlgAbout(QWidget* parent, const QString& versionText, int frameHeight);

    // Esc and the close box end the dialog as the OK button does.
    void reject() override { accept(); }

  private:
    QLabel* Image2;
    QLabel* Label1;
    QLabel* lblVersion;
    QPushButton* Button1;
};

}  // namespace varnelo::gui
