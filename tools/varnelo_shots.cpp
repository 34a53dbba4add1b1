// SPDX-License-Identifier: MIT
// varnelo-shots: renders the main window (with a few jobs in its batch list, one of them
// crossed and selected) and the about box offscreen into PNG pictures for the documentation,
// and the program icon at 32 × 32; with a fifth name, also the shapefile viewer on a converted
// sample, after a search.
// Usage: varnelo-shots MAIN.png ABOUT.png ICON.png SAMPLES_DIR [PREVIEW.png]
//        varnelo-shots --add-folder PICTURE SAMPLES_DIR: the main window after フォルダを追加 on
//        the samples folder.
//        varnelo-shots --icons DIR: the Windows build's icon files from the same artwork,
//        varnelo.ico, status-success.ico, status-failure.ico and status-nothing.ico, in the
//        sizes that monitors of 96 to 192 pixels per inch ask for.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <cstdio>

#include "app/paths.hpp"
#include "gui/about_dialog.hpp"
#include "gui/artwork.hpp"
#include "gui/main_window.hpp"
#include "gui/map_widget.hpp"
#include "gui/preview_dialog.hpp"
#include "picture_scene.hpp"

namespace {

// The viewer on the parcels sample converted as polygons, after a search for "区画b" (which
// finds 区画B, ignoring case), once the map is drawn.
bool ShootPreview(const std::string& samples, const QString& picture) {
    using namespace varnelo;
    QTemporaryDir dir;
    const std::string shp = QDir(dir.path()).filePath("parcels.shp").toStdString();
    if (!dir.isValid() || !ConvertMifToShp(2, samples + "parcels.mif", shp)) {
        std::fprintf(stderr, "varnelo-shots: cannot convert the parcels sample\n");
        return false;
    }
    gui::TdlgPreview preview(std::make_unique<TShapefileLayer>(shp));
    preview.resize(760, 560);
    preview.show();
    preview.findChild<QLineEdit*>("edtSearch")->setText(QStringLiteral("区画b"));
    preview.findChild<QPushButton*>("btnSearch")->click();
    QElapsedTimer clock;
    clock.start();
    do {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    } while ((preview.Map().Drawing() || clock.elapsed() < 300) && clock.elapsed() < 10000);
    return preview.grab().save(picture);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool WriteIcons(const QString& dir) {
    using namespace varnelo::gui;
    std::vector<QImage> program;
    for (const int size : {16, 20, 24, 32, 40, 48, 64}) {
        program.push_back(ProgramIcon(size).toImage());
    }
    bool ok = WriteFile(dir + "/varnelo.ico", IconFile(program));
    const char* const names[] = {"/status-success.ico", "/status-failure.ico",
                                 "/status-nothing.ico"};
    for (const int index : {0, 1, 2}) {
        std::vector<QImage> status;
        for (const int size : {16, 20, 24, 32}) {
            status.push_back(StatusImage(index, size).toImage());
        }
        ok = WriteFile(dir + names[index], IconFile(status)) && ok;
    }
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--icons") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return WriteIcons(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    if (argc == 4 && std::string_view(argv[1]) == "--add-folder") {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        varnelo::gui::TfrmMain window("/dev/null");
        varnelo::tools::SetUpAddFolderScene(window.Logic(), std::string(argv[3]) + "/",
                                            "/home/user/out");
        window.show();
        QApplication::processEvents();
        return window.grab().save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    if (argc != 5 && argc != 6) {
        std::fprintf(
            stderr, "usage: varnelo-shots MAIN.png ABOUT.png ICON.png SAMPLES_DIR [PREVIEW.png]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace varnelo;
    const std::string samples = std::string(argv[4]) + "/";

    gui::TfrmMain window("/dev/null");
    TMainLogic& logic = window.Logic();
    tools::SetUpPictureScene(logic, samples, "/home/user/out/");
    window.show();
    window.SelectEntry(2);  // a crossed entry says why in the status bar
    QApplication::processEvents();
    bool ok = window.grab().save(QString::fromLocal8Bit(argv[1]));

    gui::TdlgAbout about(&window, "Version " + QString::fromStdString(GetExeFileVersion()), 0);
    about.show();
    QApplication::processEvents();
    ok = about.grab().save(QString::fromLocal8Bit(argv[2])) && ok;
    ok = gui::ProgramIcon(32).save(QString::fromLocal8Bit(argv[3])) && ok;
    if (argc == 6) {
        ok = ShootPreview(samples, QString::fromLocal8Bit(argv[5])) && ok;
    }
    return ok ? 0 : 1;
}
