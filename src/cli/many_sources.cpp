// SPDX-License-Identifier: MIT
#include "cli/many_sources.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <iostream>
#include <map>
#include <mutex>
#include <string_view>
#include <thread>

#include "app/folder_scan.hpp"
#include "app/outcome_text.hpp"
#include "app/paths.hpp"
#include "cli/tool_exit.hpp"
#include "engine/convert.hpp"
#include "os/file_system.hpp"
#include "os/interrupt.hpp"

namespace varnelo::cli {
namespace {

constexpr std::string_view kTool = "varnelo-convert: ";

// One source and the shapefiles it is converted into.
struct TJob {
    std::string Source;
    std::vector<TShapefileTarget> Targets;
};

enum class TJobEnd { Written, NothingWritten, Failed };

// A text on one line: its line breaks made blanks.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// The jobs of every source, in the order given, a folder's files in their order.
std::vector<TJob> PlanJobs(const TManySourcesOptions& options) {
    std::vector<TJob> jobs;
    const auto add = [&](const std::string& source, const std::string& relative) {
        const std::string shp = ChangeFileExt(PathUnder(options.OutFolder, relative), ".shp");
        jobs.push_back({source, options.Type ? std::vector<TShapefileTarget>{{*options.Type, shp}}
                                             : EveryKindTargets(shp)});
    };
    for (const std::string& source : options.Sources) {
        if (os::KindOfPath(source) != os::TFileKind::Directory) {
            add(source, ExtractFileName(source));
            continue;
        }
        for (const std::string& relative : ListMifFiles(source, options.Recursive)) {
            add(PathUnder(source, relative), relative);
        }
    }
    return jobs;
}

// The first target that two jobs would write, said as a sentence; empty when there is none.
std::string SharedTargetText(const std::vector<TJob>& jobs) {
    std::map<std::string, const TJob*> writers;
    for (const TJob& job : jobs) {
        for (const TShapefileTarget& target : job.Targets) {
            const auto [at, added] = writers.emplace(FileIdentity(target.ShpPath), &job);
            if (!added) {
                return Text(TText::kCliSharedTarget, at->second->Source, job.Source,
                            target.ShpPath);
            }
        }
    }
    return {};
}

class TManyRun {
  public:
    TManyRun(const TManySourcesOptions& options, std::vector<TJob> jobs)
        : options_(options), jobs_(std::move(jobs)) {}

    // Runs the jobs on the threads the options ask for; answers the exit code.
    int Run() {
        const std::size_t threads = std::clamp<std::size_t>(options_.Jobs, 1, jobs_.size());
        std::vector<std::thread> workers;
        for (std::size_t t = 1; t < threads; ++t) {
            workers.emplace_back([this] { Work(); });
        }
        Work();
        for (std::thread& worker : workers) {
            worker.join();
        }
        const std::size_t notRun = jobs_.size() - counts_[0] - counts_[1] - counts_[2];
        const TText summary = notRun > 0          ? TText::kCliManySummaryNotRun
                              : jobs_.size() == 1 ? TText::kCliManySummaryOne
                                                  : TText::kCliManySummary;
        std::cout << Text(summary, jobs_.size(), counts_[0], counts_[1], counts_[2], notRun)
                  << '\n';
        return counts_[2] > 0 || notRun > 0 ? kExitFailed
               : counts_[1] > 0             ? kExitNothingWritten
                                            : kExitSuccess;
    }

  private:
    void Work() {
        for (;;) {
            const std::size_t index = next_++;
            const std::atomic<bool>* stop = os::TInterruptStop::Flag();
            if (index >= jobs_.size() || (stop != nullptr && stop->load())) {
                return;
            }
            Convert(jobs_[index]);
        }
    }

    void Convert(const TJob& job) {
        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        hooks.ValueRules = options_.ValueRules;
        hooks.KeepPartial = options_.KeepPartial;
        hooks.Threads = 1;
        hooks.Cancel = os::TInterruptStop::Flag();
        bool ok = false;
        try {
            for (const TShapefileTarget& target : job.Targets) {
                os::CreateFolders(ExtractDirWithSlash(target.ShpPath));
            }
            ok = options_.Type ? ConvertMifToShp(*options_.Type, job.Source,
                                                 job.Targets.front().ShpPath, hooks)
                               : ConvertMifToShapefiles(job.Source, job.Targets, hooks);
        } catch (const std::exception& error) {
            report.ErrorText = error.what();
        }
        if (report.Cancelled) {
            return;  // counted as not run
        }
        const TJobEnd end = !ok ? TJobEnd::Failed
                            : report.Outcome == TConversionOutcome::NothingToWrite
                                ? TJobEnd::NothingWritten
                                : TJobEnd::Written;
        const std::lock_guard<std::mutex> lock(print_);
        ++counts_[static_cast<std::size_t>(end)];
        if (end == TJobEnd::Failed) {
            std::cout << Text(TText::kCliManyFailed, job.Source,
                              OneLine(FailureReasonText(job.Source, report)));
        } else if (end == TJobEnd::NothingWritten) {
            std::cout << Text(TText::kCliManyNothingToWrite, job.Source,
                              OneLine(NoRecordText(options_.Type.value_or(-1), report.Objects)));
        } else {
            const char* separator = "";
            for (const TTargetOutcome& target : report.Targets) {
                if (target.Written) {
                    std::cout << separator
                              << Text(TText::kCliManyOk, job.Source, target.ShpPath,
                                      target.RecordsWritten);
                    separator = "\n";
                }
            }
        }
        std::cout << std::endl;  // as each source ends, also into a pipe
    }

    const TManySourcesOptions& options_;
    const std::vector<TJob> jobs_;
    std::atomic<std::size_t> next_{0};
    std::mutex print_;
    std::size_t counts_[3] = {0, 0, 0};  // by TJobEnd
};

}  // namespace

int RunManySources(const TManySourcesOptions& options) {
    std::vector<TJob> jobs;
    try {
        jobs = PlanJobs(options);
    } catch (const std::exception& error) {
        std::cerr << kTool << error.what() << '\n';
        return kExitFailed;
    }
    if (const std::string shared = SharedTargetText(jobs); !shared.empty()) {
        std::cerr << kTool << Text(TText::kCliSharedTargetRefused, shared) << '\n';
        return kExitUsage;
    }
    if (jobs.empty()) {
        std::cout << Text(TText::kCliNoMifToConvert) << '\n';
        return kExitNothingWritten;
    }
    const os::TInterruptStop interrupt;
    const int exitCode = TManyRun(options, std::move(jobs)).Run();
    interrupt.EndIfInterrupted();
    return exitCode;
}

}  // namespace varnelo::cli
