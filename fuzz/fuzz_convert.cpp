// SPDX-License-Identifier: MIT
// Whole conversions of arbitrary MIF/MID pairs. The input is split at its first zero byte:
// what comes before is the .mif, what comes after the .mid (no zero byte: an empty .mid).
// Both are written to a folder private to this process and converted with one of the five
// conversion types or into every kind at once; every result, finished or failed, must leave a
// consistent set.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>

#include "engine/convert.hpp"
#include "os/process.hpp"
#include "shapefile_check.hpp"

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kFolderPrefix = "varnelo-fuzz-convert-";

// Memory-backed when the system has it: the conversions write many small files.
fs::path BaseFolder() {
    std::error_code ec;
    return fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
}

// The fuzzer ends its process without running exit handlers, so each run removes the folders
// that runs before it left, once their process is gone.
void RemoveFoldersOfEndedRuns(const fs::path& base) {
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(base, ec)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kFolderPrefix)) {
            continue;
        }
        const long pid = std::atol(name.c_str() + kFolderPrefix.size());
        if (pid > 0 && !varnelo::os::ProcessExists(pid)) {
            fs::remove_all(entry.path(), ec);
        }
    }
}

const fs::path& Folder() {
    static const fs::path folder = [] {
        const fs::path base = BaseFolder();
        RemoveFoldersOfEndedRuns(base);
        fs::path made =
            base / (std::string(kFolderPrefix) + std::to_string(varnelo::os::ProcessId()));
        fs::create_directories(made);
        return made;
    }();
    return folder;
}

void WriteFile(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The conversion an input gets: one of the five types, or every kind in one pass. Taken from
// the input's bytes, so that an input always meets the same conversion (a crash repeats) while
// the mutations of one input meet all of them; one conversion an input keeps the search fast.
int ConversionOf(std::string_view input) {
    return static_cast<int>(std::hash<std::string_view>{}(input) % 6) + varnelo::ctPoint;
}

constexpr int kEveryKind = varnelo::ctTextAsLine + 1;

// Removes a set a conversion left: a conversion refused before it creates its files must not
// find the last one's.
void RemoveSet(const std::string& shpPath) {
    std::error_code ec;
    for (const std::string_view ext : varnelo::kShapefileSetExtensions) {
        fs::remove(varnelo::ShapefileSetPath(shpPath, ext), ec);
    }
}

void ConvertWithOneType(int type, const std::string& mifPath, const fs::path& folder) {
    const std::string shpPath = (folder / "target.shp").string();
    const std::string dbfPath = (folder / "target.dbf").string();
    RemoveSet(shpPath);
    varnelo::TConversionReport report;
    varnelo::TConversionHooks hooks;
    hooks.Report = &report;
    hooks.KeepPartial = true;  // what a failed conversion wrote is checked too
    const bool finished = varnelo::ConvertMifToShp(type, mifPath, shpPath, hooks);
    if (report.Outcome == varnelo::TConversionOutcome::NothingToWrite) {
        // Nothing of the type's kinds: no file of the set is written.
        std::error_code ec;
        for (const std::string_view ext : varnelo::kShapefileSetExtensions) {
            varnelo::fuzz::Require(!fs::exists(varnelo::ShapefileSetPath(shpPath, ext), ec),
                                   "a conversion with nothing to write wrote a file");
        }
        return;
    }
    varnelo::fuzz::CheckShapefilePair(shpPath, (folder / "target.shx").string(),
                                      report.RecordsWritten, finished);
    std::error_code ec;
    if (finished) {
        varnelo::fuzz::CheckDbfRows(dbfPath, report.RecordsWritten, report.RecordsWritten);
    } else if (fs::exists(dbfPath, ec)) {
        varnelo::fuzz::CheckDbfRows(dbfPath, std::max<std::int64_t>(report.RecordsWritten - 1, 0),
                                    report.RecordsWritten);
    }
}

// Every kind in one pass: each shapefile written is whole, or whole as far as a failure let it
// go.
void ConvertEveryKind(const std::string& mifPath, const fs::path& folder) {
    const auto targets = varnelo::EveryKindTargets((folder / "all").string());
    for (const varnelo::TShapefileTarget& target : targets) {
        RemoveSet(target.ShpPath);
    }
    varnelo::TConversionReport report;
    varnelo::TConversionHooks hooks;
    hooks.Report = &report;
    hooks.KeepPartial = true;
    const bool finished = varnelo::ConvertMifToShapefiles(mifPath, targets, hooks);
    for (const varnelo::TTargetOutcome& target : report.Targets) {
        if (!target.Written) {
            continue;
        }
        const std::int64_t records = target.RecordsWritten;
        varnelo::fuzz::CheckShapefilePair(
            target.ShpPath, varnelo::ChangeFileExt(target.ShpPath, ".shx"), records, finished);
        varnelo::fuzz::CheckDbfRows(varnelo::ChangeFileExt(target.ShpPath, ".dbf"),
                                    finished ? records : std::max<std::int64_t>(records - 1, 0),
                                    records);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = input.find('\0');
    const std::string_view mif = input.substr(0, split);
    const std::string_view mid =
        split == std::string_view::npos ? std::string_view{} : input.substr(split + 1);

    const fs::path& folder = Folder();
    const std::string mifPath = (folder / "source.mif").string();
    WriteFile(mifPath, mif);
    WriteFile(folder / "source.mid", mid);
    const int conversion = ConversionOf(input);
    if (conversion == kEveryKind) {
        ConvertEveryKind(mifPath, folder);
    } else {
        ConvertWithOneType(conversion, mifPath, folder);
    }
    return 0;
}
