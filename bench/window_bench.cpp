// SPDX-License-Identifier: MIT
// varnelo-window-bench: times convert now through the main window (offscreen, conversion on
// the worker thread, texts and progress through the event queue) against the command-line
// tool on the same source, alternating, and prints the median of each.
// Usage: varnelo-window-bench [--runs N] [--type N] SOURCE.mif
#include <QApplication>
#include <QPushButton>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "gui/main_window.hpp"
#include "median.hpp"
#include "os/process.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using varnelo::bench::Median;

// The main window with its result box replaced by a note, so that nobody has to close it.
class TTimedWindow final : public varnelo::gui::TfrmMain {
  public:
    using TfrmMain::TfrmMain;
    void ShowMessage(varnelo::TMessageKind, std::string_view text) override {
        Result = std::string(text);
    }
    std::string Result;
};

double ConvertThroughWindow(int type, const std::string& mif, const std::string& shp,
                            std::string& result) {
    TTimedWindow window("/dev/null");
    window.Logic().lstMifTypeClick(type);
    window.Logic().SetMifFileText(mif);
    window.Logic().SetShpFileText(shp);
    auto* convert = window.findChild<QPushButton*>("btnConvert");
    const auto start = Clock::now();
    convert->click();
    while (window.Result.empty()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    result = window.Result;
    return seconds;
}

double ConvertWithTool(int type, const std::string& mif, const std::string& shp) {
    varnelo::os::TCommand command;
    command.Args = {VARNELO_CONVERT_EXE, "--type", std::to_string(type), mif, shp};
    const varnelo::os::TChildOutcome outcome = varnelo::os::RunCommand(command);
    return outcome.Exited(0) ? outcome.Seconds : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    int type = 2;
    std::string mif;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--type") == 0 && i + 1 < argc) {
            type = std::atoi(argv[++i]);
        } else {
            mif = argv[i];
        }
    }
    if (mif.empty() || !std::filesystem::exists(mif)) {
        std::fprintf(stderr,
                     "usage: varnelo-window-bench [--runs N] [--type N] SOURCE.mif\n"
                     "(a source: varnelo-mifgen --kind regions --size-mb 100 regions.mif)\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::string out =
        (std::filesystem::temp_directory_path() / "varnelo-window-bench").string();
    std::filesystem::create_directories(out);

    std::vector<double> window;
    std::vector<double> tool;
    for (int run = 0; run < runs; ++run) {
        std::string result;
        window.push_back(ConvertThroughWindow(type, mif, out + "/window.shp", result));
        tool.push_back(ConvertWithTool(type, mif, out + "/tool.shp"));
        if (result.rfind("変換に成功しました。", 0) != 0 || tool.back() < 0) {
            std::fprintf(stderr, "varnelo-window-bench: a conversion failed (%s)\n",
                         result.c_str());
            return 1;
        }
    }
    const double mb = static_cast<double>(std::filesystem::file_size(mif)) / 1e6;
    const double w = Median(window);
    const double t = Median(tool);
    std::printf("| Source | .mif MB | Runs | Convert now s | varnelo-convert s | Difference |\n");
    std::printf("|---|--:|--:|--:|--:|--:|\n");
    std::printf("| %s | %.1f | %d | %.3f | %.3f | %+.1f %% |\n",
                std::filesystem::path(mif).filename().c_str(), mb, runs, w, t, (w - t) / t * 100.0);
    std::filesystem::remove_all(out);
    return 0;
}
