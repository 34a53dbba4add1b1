// SPDX-License-Identifier: MIT
// varnelo-view-bench: times the shapefile viewer (offscreen) on a shapefile: opening it, the
// first drawing of the whole map, the drawing after a drag at four wheel steps in, a click
// that finds the shape under it, a search that scans the whole table without a match and
// scrolling the table to its end; prints the median of each over the runs, the longest the
// window's thread was busy while the map was drawn or a click answered, and the process's
// peak memory before and after opening.
// Usage: varnelo-view-bench [--runs N] SHAPEFILE.shp

#include <QApplication>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

#include "gui/main_window.hpp"
#include "gui/map_widget.hpp"
#include "gui/preview_dialog.hpp"
#include "median.hpp"
#include "os/process.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using varnelo::bench::Median;
using namespace varnelo;

double PeakMegabytes() {
    return os::PeakMemoryMb();
}

// The longest the window's thread was busy with one round of events while waiting for the
// map: what a user would feel as the window not answering.
double longestPause = 0;

// Seconds from `start` until `done` holds, the events running meanwhile.
double Until(Clock::time_point start, const std::function<bool()>& done) {
    while (!done()) {
        const auto before = Clock::now();
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        longestPause =
            std::max(longestPause, std::chrono::duration<double>(Clock::now() - before).count());
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct TTimes {
    double Open = 0, Draw = 0, DraggedDraw = 0, Click = 0, Search = 0, Scroll = 0;
};

TTimes RunOnce(const std::string& shp) {
    TTimes times;
    auto start = Clock::now();
    gui::TdlgPreview dialog(std::make_unique<TShapefileLayer>(shp));
    dialog.resize(860, 640);
    dialog.show();
    QApplication::processEvents();
    times.Open = std::chrono::duration<double>(Clock::now() - start).count();
    gui::TMapWidget& map = dialog.Map();
    times.Draw = Until(start, [&] { return !map.Drawing(); }) - times.Open;

    // Four wheel steps in about the middle (drawn once the wheel rests), then a drag, which
    // is drawn as soon as the button is let go.
    const QPointF middle(map.width() / 2.0, map.height() / 2.0);
    QWheelEvent wheel(middle, map.mapToGlobal(middle), {}, QPoint(0, 4 * 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&map, &wheel);
    Until(Clock::now(), [&] { return !map.Drawing(); });
    const QPointF dragged = middle + QPointF(60, 40);
    for (const auto& [type, at, button] :
         {std::tuple{QEvent::MouseButtonPress, middle, Qt::LeftButton},
          std::tuple{QEvent::MouseMove, dragged, Qt::LeftButton},
          std::tuple{QEvent::MouseButtonRelease, dragged, Qt::NoButton}}) {
        if (type == QEvent::MouseButtonRelease) {
            start = Clock::now();
        }
        QMouseEvent event(type, at, map.mapToGlobal(at), Qt::LeftButton, button, Qt::NoModifier);
        QApplication::sendEvent(&map, &event);
    }
    times.DraggedDraw = Until(start, [&] { return !map.Drawing(); });

    start = Clock::now();
    map.FindAt(middle.toPoint());
    bool answered = false;
    const auto a = QObject::connect(&map, &gui::TMapWidget::shapeClicked, [&] { answered = true; });
    const auto b =
        QObject::connect(&map, &gui::TMapWidget::nothingClicked, [&] { answered = true; });
    times.Click = Until(start, [&] { return answered; });
    QObject::disconnect(a);
    QObject::disconnect(b);

    dialog.findChild<QLineEdit*>("edtSearch")->setText(QStringLiteral("該当なし"));
    start = Clock::now();
    dialog.findChild<QPushButton*>("btnSearch")->click();
    times.Search = std::chrono::duration<double>(Clock::now() - start).count();

    auto* grid = dialog.findChild<QTableView*>("grdRecords");
    start = Clock::now();
    grid->scrollToBottom();
    grid->viewport()->repaint();
    times.Scroll = std::chrono::duration<double>(Clock::now() - start).count();
    return times;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    std::string shp;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else {
            shp = argv[i];
        }
    }
    if (shp.empty() || !std::filesystem::exists(shp)) {
        std::fprintf(stderr,
                     "usage: varnelo-view-bench [--runs N] SHAPEFILE.shp\n"
                     "(a shapefile: varnelo-mifgen --points 1000000 p.mif, then "
                     "varnelo-convert --type point p.mif p.shp)\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    gui::TfrmMain window("/dev/null");  // sets the program's font, as in the program
    const double baseline = PeakMegabytes();
    std::vector<TTimes> all;
    try {
        for (int run = 0; run < runs; ++run) {
            all.push_back(RunOnce(shp));
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "varnelo-view-bench: %s\n", error.what());
        return 1;
    }
    const auto median = [&](double TTimes::*field) {
        std::vector<double> values;
        for (const TTimes& t : all) {
            values.push_back(t.*field);
        }
        return Median(values);
    };
    TShapefileLayer layer(shp);
    std::printf(
        "| Shapefile | Records | Runs | Open s | Draw s | Draw after drag s | Click s | "
        "Search s | Scroll to end s | Longest pause s | Peak MB before / after |\n");
    std::printf("|---|--:|--:|--:|--:|--:|--:|--:|--:|--:|--:|\n");
    std::printf("| %s | %d | %d | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.3f | %.1f / %.1f |\n",
                std::filesystem::path(shp).filename().c_str(), layer.RecordCount(), runs,
                median(&TTimes::Open), median(&TTimes::Draw), median(&TTimes::DraggedDraw),
                median(&TTimes::Click), median(&TTimes::Search), median(&TTimes::Scroll),
                longestPause, baseline, PeakMegabytes());
    return 0;
}
