// SPDX-License-Identifier: MIT
// varnelo: the desktop program. Builds the application and its main window and runs the
// window's message loop until the window is closed.
#include <QApplication>

#include "app/settings.hpp"
#include "gui/main_window.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varnelo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varnelo Converter"));
    QApplication::setDesktopFileName(QStringLiteral("org.example.Varnelo"));
    varnelo::gui::TfrmMain window(varnelo::ProgramSettingsPath());
    window.show();
    return QApplication::exec();
}
