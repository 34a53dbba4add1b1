// SPDX-License-Identifier: MIT
// varnelo: the desktop program. Builds the application and its main window and runs the
// window's message loop until the window is closed.
#include <QApplication>

#include "app/settings.hpp"
#include "gui/main_window.hpp"
#include "gui/translations.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnelo"));
    // The application's title is the main window's caption, "Varnelo Converter". It is not
    // set as the display name, which X11 and Wayland append to every window title: message
    // boxes are captioned "警告", "エラー" and "情報" alone.
    QApplication::setDesktopFileName(QStringLiteral("org.example.Varnelo"));
    varnelo::gui::InstallQtTranslations(app);
    varnelo::gui::TfrmMain window(varnelo::ProgramSettingsPath());
    window.show();
    return QApplication::exec();
}
