// SPDX-License-Identifier: MIT
#include "engine/convert.hpp"

#include <algorithm>
#include <deque>
#include <optional>
#include <stdexcept>
#include <vector>

#include "engine/attribute_table.hpp"
#include "engine/code_page.hpp"
#include "engine/conversion_run.hpp"
#include "engine/coord_sys.hpp"
#include "engine/display_text.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_errors.hpp"
#include "engine/mif_header.hpp"
#include "engine/safe_replace.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"
#include "shape/output_stream.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {

TTableOwner::TTableOwner() = default;
TTableOwner::~TTableOwner() = default;

TLocalDbf& TTableOwner::CreateTable() {
    tables_.push_back(std::make_unique<TLocalDbf>());
    return *tables_.back();
}

std::string TargetClashText(const std::string& mifPath, const std::string& shpPath) {
    const std::string midPath = ChangeFileExt(mifPath, ".mid");
    for (const std::string_view ext : kShapefileSetExtensions) {
        const std::string target = ShapefileSetPath(shpPath, ext);
        for (const auto* source : {&mifPath, &midPath}) {
            // The same file however it is spelled.
            if (os::SameFile(target, *source)) {
                return Text(TText::kEngineTargetIsSource, target);
            }
        }
    }
    return {};
}

namespace {

bool FileExists(const std::string& path) {
    return os::KindOfPath(path) == os::TFileKind::Regular;
}

void ShowStatus(const TConversionHooks& hooks, std::string_view text) {
    if (hooks.Status != nullptr) {
        hooks.Status->SetStatusText(text);
    }
}

// Reads the header and the columns and, when a target takes the .mif's columns, checks that
// the table can hold them, before any output file is made. Columns of a type the reader does
// not know are then named in the report.
TTableLayout ReadTableLayout(TLineReader& mif, bool mifColumnsUsed, TConversionReport& report) {
    TTableLayout layout;
    ReadMifHeader(mif, &layout.Header);
    ReadMifColumns(mif, layout.Columns);
    if (!mifColumnsUsed) {
        layout.Columns.clear();
    }
    const TSourceText source(layout.Header.Charset);
    for (const TSFColumn& column : layout.Columns) {
        if (!column.Known) {
            report.UnknownTypeColumns.push_back(column.Name);
            report.Notes.push_back(KeptAsTextNote(source.Show(column.Name)));
        }
    }
    if (std::string note = CoordSysToPrj(layout.Header.CoordSys).Note; !note.empty()) {
        report.Notes.push_back(std::move(note));
    }
    // Names and texts are cut on the character boundaries of the source's character set.
    layout.Characters = CodePageOfCharset(layout.Header.Charset).Characters;
    ColumnsToDbfFields(layout.Columns, layout.Characters);
    CheckDbfFieldsFit(layout.Columns, layout.Characters);
    return layout;
}

void ReportFailure(TConversionReport& report, const std::exception& e, std::int64_t mifLine) {
    report.ErrorText = e.what();
    report.FailedLine = mifLine;
    if (const auto* value = dynamic_cast<const EMidValueError*>(&e)) {
        report.FailedMidLine = value->MidLine();
    }
}

// Raises when the target's table is open in another program (or another table object), which
// a new table must not replace under it: the lock a table takes while open says so.
void EnsureTableNotInUse(const std::string& dbfPath, const TConversionHooks& hooks) {
    const TTableStorageFactory open =
        hooks.TableStorage ? hooks.TableStorage : TTableStorageFactory(OpenDiskTableStorage);
    const std::unique_ptr<TTableStorage> table = open(dbfPath, TStorageAccess::ReadOnly);
    if (table != nullptr && !table->TryLock(TLockKind::Exclusive)) {
        throw EInOutError(Text(TText::kEngineTableInUse, dbfPath));
    }
}

// An output for each target, into its new set under the temporary name, with a table from
// `owner`.
void OpenOutputs(const std::vector<TShapefileTarget>& targets, const TSafeReplace& replace,
                 const TConversionHooks& hooks, TTableOwner& owner,
                 std::deque<TShapefileOutput>& outputs) {
    const auto createOutput = hooks.CreateOutput ? hooks.CreateOutput : CreateFileOutputStream;
    for (std::size_t i = 0; i < targets.size(); ++i) {
        std::string newShp = replace.TemporaryShp(i);
        auto shp = createOutput(newShp);
        auto shx = createOutput(ChangeFileExt(newShp, ".shx"));
        TShapefileOutput& out =
            outputs.emplace_back(targets[i].ConversionType, std::move(newShp), owner.CreateTable(),
                                 std::move(shp), std::move(shx));
        if (hooks.TableStorage) {
            out.Table.SetStorageFactory(hooks.TableStorage);
        }
    }
}

// The conversion proper, into new sets under temporary names beside the targets, which
// `replace` holds once they are reserved. A conversion into one target writes it even without
// records (`writeEmpty`); one into several marks the targets whose kind the source lacks as
// not written. Every failure is caught and reported.
bool ConvertIntoNewSets(const std::string& mifPath, const std::vector<TShapefileTarget>& targets,
                        bool writeEmpty, const TConversionHooks& hooks, TConversionReport& report,
                        std::optional<TSafeReplace>& replace) {
    std::optional<TLineReader> mif;
    bool reading = false;  // a failure names the .mif line it was met at while this holds
    std::optional<std::int64_t> failedLine;  // the run's own word on that line
    try {
        if (Cancelled(hooks)) {
            throw EConversionCancelled();
        }
        mif.emplace(TLineReader::FromFile(mifPath));
        // A missing .mid reads as empty rows; one that is there must be read.
        const bool midMissing = MidIsMissing(mifPath);
        // On the heap, apart from the .mif's reader: the two may be read on two threads.
        const auto mid = std::make_unique<TLineReader>(
            midMissing ? TLineReader::FromString({})
                       : TLineReader::FromFile(ChangeFileExt(mifPath, ".mid")));
        const bool mifColumnsUsed = std::any_of(targets.begin(), targets.end(), [](const auto& t) {
            return !IsTextConversion(t.ConversionType);
        });
        // A column list the table cannot hold is refused before any file is made.
        TTableLayout layout;
        reading = true;
        try {
            layout = ReadTableLayout(*mif, mifColumnsUsed, report);
        } catch (const ELocalDbfError& e) {
            // A refused layout names its column; the line the reader stopped at would mislead.
            report.ErrorText = e.what();
            return false;
        }
        report.ValuesFromMid = !layout.Columns.empty();
        report.MidMissing = midMissing && report.ValuesFromMid;
        if (!ReadPastDataLine(*mif)) {
            // Refused before any file is made; the line the reader stopped at is its last.
            report.ErrorText = Text(TText::kEngineNoDataLine);
            return false;
        }
        reading = false;  // making the new files
        std::vector<std::string> shpPaths;
        for (const TShapefileTarget& target : targets) {
            shpPaths.push_back(target.ShpPath);
        }
        replace.emplace(shpPaths);
        TTableOwner privateOwner;
        std::deque<TShapefileOutput> outputs;
        OpenOutputs(targets, *replace, hooks, hooks.Owner != nullptr ? *hooks.Owner : privateOwner,
                    outputs);
        ShowStatus(hooks, "");
        ShowStatus(hooks, Text(TText::kEngineConverting, mifPath));

        reading = true;
        RunConversion(*mif, *mid, outputs, layout, hooks, mifPath, writeEmpty, report, failedLine);
        return true;
    } catch (const EConversionCancelled& e) {
        report.Cancelled = true;
        report.ErrorText = e.what();
    } catch (const std::exception& e) {
        ReportFailure(report, e, failedLine ? *failedLine : reading ? mif->LineNumber() : 0);
    }
    return false;
}

// Refuses targets that would take objects of one kind twice.
void CheckTargetKinds(const std::vector<TShapefileTarget>& targets) {
    std::array<int, 4> users{};  // points, polylines, polygons, texts
    for (const TShapefileTarget& target : targets) {
        const int kind = IsTextConversion(target.ConversionType) ? 3 : target.ConversionType;
        if (kind >= 0 && kind < 4 && ++users[static_cast<std::size_t>(kind)] > 1) {
            throw std::invalid_argument("two targets take the same kind of object");
        }
    }
}

// Puts the new sets in place of the targets. A target not written loses its previous files
// with its new set.
void KeepNewSets(TSafeReplace& replace, const std::vector<TShapefileTarget>& targets,
                 const TConversionHooks& hooks, TConversionReport& report) {
    for (std::size_t i = 0; i < targets.size(); ++i) {
        if (!report.Targets[i].Written) {
            replace.DiscardSet(i);
        }
    }
    for (const TShapefileTarget& target : targets) {
        EnsureTableNotInUse(ChangeFileExt(target.ShpPath, ".dbf"), hooks);
    }
    replace.Commit();
    // The files beside the first target written now have its name.
    const auto first = std::find_if(report.Targets.begin(), report.Targets.end(),
                                    [](const auto& t) { return t.Written; });
    for (const auto& [sidecar, ext] :
         {std::pair{&report.CodePage, ".cpg"}, std::pair{&report.CoordSys, ".prj"}}) {
        if (!sidecar->Path.empty()) {
            sidecar->Path = first != report.Targets.end() ? ShapefileSetPath(first->ShpPath, ext)
                                                          : std::string();
        }
    }
}

// A conversion that ended without failing had nothing to write when no target got a record
// while the source holds objects; a conversion into several targets also when the source
// holds none.
bool NothingToWrite(const TConversionReport& report, bool writeEmpty) {
    const TObjectCounts& objects = report.Objects;
    const bool holdsObjects =
        objects.Points + objects.PolyLines + objects.Polygons + objects.Texts > 0;
    return report.RecordsWritten == 0 && (holdsObjects || !writeEmpty);
}

// Nothing was written: the new sets go, and with them whatever the report said of files.
void DiscardNothingWritten(TSafeReplace& replace, TConversionReport& report) {
    replace.Discard();
    for (TTargetOutcome& target : report.Targets) {
        target.Written = false;
    }
    report.CodePage.Path.clear();
    report.CoordSys.Path.clear();
}

bool ConvertInto(const std::string& mifPath, const std::vector<TShapefileTarget>& targets,
                 bool writeEmpty, const TConversionHooks& hooks) {
    CheckTargetKinds(targets);
    TConversionReport privateReport;
    TConversionReport& report = hooks.Report != nullptr ? *hooks.Report : privateReport;
    report.Outcome = TConversionOutcome::Failed;
    report.Targets.clear();
    for (const TShapefileTarget& target : targets) {
        report.Targets.push_back({target.ConversionType, target.ShpPath, 0, false});
    }
    if (!FileExists(mifPath)) {
        report.MissingSource = mifPath;
        report.ErrorText = Text(TText::kEngineSourceNotFound, mifPath);
        return false;
    }
    for (const TShapefileTarget& target : targets) {
        if (std::string clash = TargetClashText(mifPath, target.ShpPath); !clash.empty()) {
            report.ErrorText = std::move(clash);
            return false;
        }
    }

    ShowStatus(hooks, "");
    ShowStatus(hooks, Text(TText::kEnginePreparing));
    std::optional<TSafeReplace> replace;
    const bool ok = ConvertIntoNewSets(mifPath, targets, writeEmpty, hooks, report, replace);
    const bool nothing = ok && NothingToWrite(report, writeEmpty);
    ShowStatus(hooks, Text(TText::kEngineFinishing));
    if (replace) {
        report.ErrorText = replace->ShowAsTarget(std::move(report.ErrorText));
        const bool keep = ok || (hooks.KeepPartial && !report.Cancelled);
        try {
            if (nothing) {
                DiscardNothingWritten(*replace, report);
            } else if (keep) {
                KeepNewSets(*replace, targets, hooks, report);
            } else {
                replace->Discard();
            }
        } catch (const std::exception& e) {
            report.ErrorText = e.what();
            ShowStatus(hooks, "");
            return false;
        }
    }
    ShowStatus(hooks, "");
    if (ok) {
        report.Outcome = nothing ? TConversionOutcome::NothingToWrite : TConversionOutcome::Written;
    }
    return ok;
}

}  // namespace

bool ConvertMifToShp(int conversionType, const std::string& mifPath, const std::string& shpPath,
                     const TConversionHooks& hooks) {
    return ConvertInto(mifPath, {TShapefileTarget{conversionType, shpPath}}, true, hooks);
}

bool ConvertMifToShapefiles(const std::string& mifPath,
                            const std::vector<TShapefileTarget>& targets,
                            const TConversionHooks& hooks) {
    return ConvertInto(mifPath, targets, false, hooks);
}

std::vector<TShapefileTarget> EveryKindTargets(std::string_view target) {
    std::string stem(target);
    const std::string withoutExt = ChangeFileExt(target, "");
    if (stem.size() == withoutExt.size() + 4 &&
        SameKeyword(target.substr(withoutExt.size()), ".shp") &&
        FileNameStart(withoutExt) < withoutExt.size()) {
        stem = withoutExt;
    }
    return {{ctPoint, stem + "_point.shp"},
            {ctPolyLine, stem + "_line.shp"},
            {ctPolygon, stem + "_polygon.shp"},
            {ctTextAsPoint, stem + "_text.shp"}};
}

bool MidIsMissing(const std::string& mifPath) {
    return os::KindOfEntry(ChangeFileExt(mifPath, ".mid")) == os::TFileKind::None;
}

}  // namespace varnelo
