// SPDX-License-Identifier: MIT
// varnelo-shots: renders the main window (with a few jobs in its batch list) and the about box
// offscreen into PNG pictures for the documentation, and the program icon at 32 × 32.
// Usage: varnelo-shots MAIN.png ABOUT.png ICON.png SAMPLES_DIR
#include <QApplication>
#include <QPixmap>
#include <cstdio>

#include "app/paths.hpp"
#include "gui/about_dialog.hpp"
#include "gui/artwork.hpp"
#include "gui/main_window.hpp"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: varnelo-shots MAIN.png ABOUT.png ICON.png SAMPLES_DIR\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    using namespace varnelo;
    const std::string samples = std::string(argv[4]) + "/";

    gui::TfrmMain window("/dev/null");
    TMainLogic& logic = window.Logic();
    const struct {
        int type;
        const char* name;
    } jobs[] = {{0, "points"}, {0, "stations"}, {1, "roads"}, {2, "parcels"}, {3, "labels"}};
    for (const auto& job : jobs) {
        logic.lstMifTypeClick(job.type);
        logic.SetMifFileText(samples + job.name + ".mif");
        logic.SetShpFileText("/home/user/out/" + std::string(job.name) + ".shp");
        logic.btnAddClick();
    }
    logic.SetEntryStatus(0, TEntryStatus::Success);
    logic.SetEntryStatus(1, TEntryStatus::Success);
    logic.SetEntryStatus(2, TEntryStatus::Failure);
    logic.DropFiles({samples + "parcels.mif"});
    logic.lstMifTypeClick(2);
    logic.DropFiles({samples + "parcels.mif"});
    window.SelectEntry(3);
    window.SetStatusText("変換に成功しました。");
    window.show();
    QApplication::processEvents();
    bool ok = window.grab().save(QString::fromLocal8Bit(argv[1]));

    gui::TdlgAbout about(&window, "Version " + QString::fromStdString(GetExeFileVersion()), 0);
    about.show();
    QApplication::processEvents();
    ok = about.grab().save(QString::fromLocal8Bit(argv[2])) && ok;
    ok = gui::ProgramIcon(32).save(QString::fromLocal8Bit(argv[3])) && ok;
    return ok ? 0 : 1;
}
