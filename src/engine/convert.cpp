// SPDX-License-Identifier: MIT
#include "engine/convert.hpp"

#include <optional>

#include "engine/attribute_table.hpp"
#include "engine/code_page.hpp"
#include "engine/line_reader.hpp"
#include "engine/mid_rows.hpp"
#include "engine/mif_errors.hpp"
#include "engine/mif_header.hpp"
#include "engine/mif_objects.hpp"
#include "engine/safe_replace.hpp"
#include "engine/sidecar_files.hpp"
#include "engine/text_ops.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"
#include "shape/geometry.hpp"
#include "shape/local_dbf.hpp"
#include "shape/output_stream.hpp"
#include "shape/shp_writer.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {

TTableOwner::TTableOwner() = default;
TTableOwner::~TTableOwner() = default;

TLocalDbf& TTableOwner::CreateTable() {
    tables_.push_back(std::make_unique<TLocalDbf>());
    return *tables_.back();
}

std::string TargetClashText(const std::string& mifPath, const std::string& shpPath) {
    constexpr std::string_view kTargetIsSourceText =
        "出力先のファイルが変換元のファイルと同じため変換できません";
    const std::string midPath = ChangeFileExt(mifPath, ".mid");
    for (const std::string_view ext : kShapefileSetExtensions) {
        const std::string target = ShapefileSetPath(shpPath, ext);
        for (const auto* source : {&mifPath, &midPath}) {
            // The same file however it is spelled.
            if (os::SameFile(target, *source)) {
                return std::string(kTargetIsSourceText) + ": " + target;
            }
        }
    }
    return {};
}

namespace {

constexpr std::string_view kPreparingText = "変換の準備をしています。";
constexpr std::string_view kConvertingSuffix = "を変換しています。";
constexpr std::string_view kFinishingText = "変換の後処理をしています。";
constexpr std::uint64_t kProgressStep = std::uint64_t{1} << 20;

// Raised before the next object once the caller asked the conversion to stop.
class EConversionCancelled : public Exception {
  public:
    EConversionCancelled() : Exception(std::string(kCancelledText)) {}
};

std::int32_t ShapeTypeOf(int conversionType) {
    switch (conversionType) {
        case ctPoint:
        case ctTextAsPoint:
            return kShapeTypePoint;
        case ctPolyLine:
        case ctTextAsLine:
            return kShapeTypePolyLine;
        case ctPolygon:
            return kShapeTypePolygon;
        default:
            return 0;
    }
}

bool FileExists(const std::string& path) {
    return os::KindOfPath(path) == os::TFileKind::Regular;
}

void CloseQuietly(TLocalDbf& table) noexcept {
    try {
        table.Close();
    } catch (...) {
        // Closing writes nothing; a failure here has nothing left to lose.
    }
}

void ShowStatus(const TConversionHooks& hooks, std::string_view text) {
    if (hooks.Status != nullptr) {
        hooks.Status->SetStatusText(text);
    }
}

// What the .mif declares before its objects, made ready for the attribute table.
struct TTableLayout {
    TMifHeaderInfo Header;
    TSFColumns Columns;  // with the names of the table's fields
    TCharacterSet Characters = TCharacterSet::ShiftJis;
};

// Reads the header and the columns and checks that the table can hold them, before any
// output file is made. Columns of a type the reader does not know are named in the report.
TTableLayout ReadTableLayout(int conversionType, TLineReader& mif, TConversionReport* report) {
    TTableLayout layout;
    ReadMifHeader(mif, &layout.Header);
    ReadMifColumns(mif, layout.Columns);
    if (conversionType == ctTextAsPoint || conversionType == ctTextAsLine) {
        layout.Columns.assign(1, TSFColumn{"MIF_TEXT", 0, 100});
    }
    if (report != nullptr) {
        for (const TSFColumn& column : layout.Columns) {
            if (!column.Known) {
                report->UnknownTypeColumns.push_back(column.Name);
            }
        }
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
        throw EInOutError("テーブル \"" + dbfPath + "\" は使用中のため置き換えできません");
    }
}

bool Cancelled(const TConversionHooks& hooks) {
    return hooks.Cancel != nullptr && hooks.Cancel->load(std::memory_order_relaxed);
}

// The state of one conversion between opening the files and finishing them.
class TConversionRun {
  public:
    TConversionRun(int conversionType, TLineReader& mif, TLineReader& mid, TOutputStream& shp,
                   TOutputStream& shx, const TConversionHooks& hooks)
        : type_(conversionType),
          mif_(mif),
          mid_(mid),
          shp_(shp),
          shx_(shx),
          hooks_(hooks),
          cancel_(hooks.Cancel) {
        header_.ShapeType = ShapeTypeOf(conversionType);
    }

    void Run(const std::string& dbfPath, const TTableLayout& layout, TLocalDbf& table) {
        const TMifHeaderInfo& header = layout.Header;
        const TSFColumns& columns = layout.Columns;
        const TCharacterSet characters = layout.Characters;
        characters_ = characters;
        CreateDbfFile(dbfPath, columns, characters);
        WriteSidecars(dbfPath, header);
        if (hooks_.ProcessMessages) {
            hooks_.ProcessMessages();
        }
        table_ = &table;
        table.SetTableName(dbfPath);
        table.SetTextCharacterSet(characters);
        table.Open();
        WriteShpHeader(shp_, header_);
        WriteShxHeader(shx_, header_);

        // The text conversions fill their table from the objects, not from the .mid rows.
        const bool rowsUsed = type_ != ctTextAsPoint && type_ != ctTextAsLine;
        rows_.emplace(mid_, header.Delimiter, rowsUsed ? columns.size() : 0, characters);
        if (hooks_.PlainRowWriter) {
            ConvertObjects();
        } else {
            // The conversion holds the table alone, so its rows are written in large
            // blocks. However the loop ends, the rows posted so far are in the file, with
            // the end byte and the record count, before this scope is left.
            TBulkAppendScope bulk(table);
            ConvertObjects();
            bulk.Finish();
        }

        table.Close();
        FinishHeader(shp_, &WriteShpHeader);
        FinishHeader(shx_, &WriteShxHeader);
        shp_.Close();
        shx_.Close();
    }

    std::int32_t Records() const { return records_; }
    std::int64_t RowsOverSeveralLines() const { return rows_ ? rows_->RowsOverSeveralLines() : 0; }
    const TValuesLeftEmpty& ValuesLeftEmpty() const { return leftEmpty_; }
    const TObjectCounts& Objects() const { return objects_; }

  private:
    void WriteSidecars(const std::string& dbfPath, const TMifHeaderInfo& header) {
        TSidecarOutcome codePage;
        TSidecarOutcome coordSys;
        WriteSidecarFiles(dbfPath, header, hooks_.CreateOutput, codePage, coordSys);
        if (hooks_.Report != nullptr) {
            hooks_.Report->CodePage = std::move(codePage);
            hooks_.Report->CoordSys = std::move(coordSys);
        }
    }

    void ConvertObjects() {
        std::string keywordLine;
        while (!mif_.Eof()) {
            // Collapsing runs of spaces cannot make or unmake a keyword (none holds a
            // space), so only the object lines are collapsed, for their readers.
            const std::string_view line = TrimView(mif_.ReadLineView());
            const TMifObjectKind kind = MifObjectKindOfLine(line);
            if (kind == TMifObjectKind::None) {
                continue;
            }
            if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
                throw EConversionCancelled();
            }
            CollapseBlanksInto(line, keywordLine);
            // Only the .mif is read while the object is converted, so the .mid row can
            // stay where the reader holds it.
            row_ = &rows_->ReadRow();
            ConvertObject(kind, keywordLine);
            ReportProgress();
        }
    }

    void ConvertObject(TMifObjectKind kind, std::string_view line) {
        switch (kind) {
            case TMifObjectKind::Point:
                ++objects_.Points;
                if (type_ == ctPoint) {
                    ReadMifPoint(line, mif_, point_);
                    WritePoint();
                }
                break;
            case TMifObjectKind::Line:
            case TMifObjectKind::Pline:
            case TMifObjectKind::Arc:
                ++objects_.PolyLines;
                if (type_ == ctPolyLine) {
                    if (kind == TMifObjectKind::Line) {
                        ReadMifLine(line, mif_, polyLine_);
                    } else if (kind == TMifObjectKind::Pline) {
                        ReadMifPline(line, mif_, polyLine_);
                    } else {
                        ReadMifArc(line, mif_, polyLine_);
                    }
                    WritePolyLine();
                }
                break;
            case TMifObjectKind::Region:
            case TMifObjectKind::Rect:
            case TMifObjectKind::RoundRect:
            case TMifObjectKind::Ellipse:
                ++objects_.Polygons;
                if (type_ == ctPolygon) {
                    if (kind == TMifObjectKind::Region) {
                        ReadMifRegion(line, mif_, polygon_);
                    } else if (kind == TMifObjectKind::Ellipse) {
                        ReadMifEllipse(line, mif_, polygon_);
                    } else {
                        ReadMifRect(line, mif_, polygon_);
                    }
                    WritePolygon();
                }
                break;
            case TMifObjectKind::Text:
                ++objects_.Texts;
                if (type_ == ctTextAsPoint) {
                    ReadMifTextPoint(line, mif_, text_, point_, characters_);
                    WritePoint();
                } else if (type_ == ctTextAsLine) {
                    ReadMifTextLine(line, mif_, text_, polyLine_, characters_);
                    WritePolyLine();
                }
                break;
            case TMifObjectKind::Collection: {
                // Read in every conversion, so that its parts are not taken for objects; only
                // the part this conversion takes is parsed, so that a damaged part of another
                // kind fails nothing.
                const TMifCollectionParts wanted{type_ == ctPolygon, type_ == ctPolyLine};
                const TMifCollectionParts parts =
                    ReadMifCollection(line, mif_, polygon_, polyLine_, wanted);
                objects_.Polygons += parts.Region ? 1 : 0;
                objects_.PolyLines += parts.Polyline ? 1 : 0;
                if (wanted.Region && parts.Region) {
                    WritePolygon();
                } else if (wanted.Polyline && parts.Polyline) {
                    WritePolyLine();
                }
                break;
            }
            case TMifObjectKind::Multipoint:
            case TMifObjectKind::NoGeometry:
            case TMifObjectKind::None:
                break;
        }
    }

    void WritePoint() {
        const std::int32_t number = records_ + 1;
        const std::int32_t length = PointContentLength(point_);
        WriteIndexEntry(length);
        WritePointRecord(shp_, number, point_);
        records_ = number;
        if (number == 1) {
            InitBoxFromPoint(header_.Box, point_);
        } else {
            ExtendBoxByPoint(header_.Box, point_);
        }
        AppendRow();
    }

    void WritePolyLine() {
        const std::int32_t number = records_ + 1;
        WriteIndexEntry(PolyLineContentLength(polyLine_));
        WritePolyLineRecord(shp_, number, polyLine_);
        records_ = number;
        FoldBox(number, polyLine_.Box);
        AppendRow();
    }

    void WritePolygon() {
        const std::int32_t number = records_ + 1;
        NormalizePolygonRing(polygon_);
        WriteIndexEntry(PolygonContentLength(polygon_));
        WriteNormalizedPolygonRecord(shp_, number, polygon_);
        records_ = number;
        FoldBox(number, polygon_.Box);
        AppendRow();
    }

    void WriteIndexEntry(std::int32_t contentLength) {
        const std::uint64_t offset = shp_.Size();
        EnsureRecordFits(offset, contentLength);
        WriteShxRecord(shx_, static_cast<std::int32_t>(offset), contentLength);
    }

    void FoldBox(std::int32_t number, const TShpBox& box) {
        if (number == 1) {
            InitBoxFromBox(header_.Box, box);
        } else {
            ExtendBoxByBox(header_.Box, box);
        }
    }

    // The row of the record just written: the object's text for the text conversions, else
    // the object's .mid row.
    void AppendRow() {
        if (type_ == ctTextAsPoint || type_ == ctTextAsLine) {
            AppendDbfTextRecord(*table_, text_);
        } else if (hooks_.PlainRowWriter) {
            hooks_.PlainRowWriter(*table_, row_->Row());
        } else {
            AppendDbfRecord(*table_, *row_, rows_->RowLine(), hooks_.ValueRules, &leftEmpty_);
        }
    }

    void FinishHeader(TOutputStream& stream, void (*write)(TOutputStream&, const TShpHeader&)) {
        header_.FileLength = static_cast<std::int32_t>(stream.Size() / 2);
        write(stream, header_);
    }

    void ReportProgress() {
        if (!hooks_.Progress) {
            return;
        }
        const std::uint64_t done = mif_.BytesConsumed();
        if (done >= nextProgress_) {
            hooks_.Progress(done, mif_.TotalBytes());
            nextProgress_ = done + kProgressStep;
        }
    }

    int type_;
    TLineReader& mif_;
    TLineReader& mid_;
    TOutputStream& shp_;
    TOutputStream& shx_;
    const TConversionHooks& hooks_;
    const std::atomic<bool>* cancel_;
    TLocalDbf* table_ = nullptr;
    TObjectCounts objects_;
    TShpHeader header_{};
    // Records written to the .shp in full; the next one gets the number after it, and a
    // record whose writing fails is not counted.
    std::int32_t records_ = 0;
    std::uint64_t nextProgress_ = 0;
    std::optional<TMidRowReader> rows_;
    TValuesLeftEmpty leftEmpty_;
    const TMidRowSplitter* row_ = nullptr;
    std::string text_;
    TCharacterSet characters_ = TCharacterSet::ShiftJis;  // of the source's text
    TShpPoint point_;
    TSFPolyLine polyLine_;
    TSFPolygon polygon_;
};

// The conversion proper, into a new set under a temporary name beside the target, which
// `replace` holds once it is reserved. Every failure is caught and reported.
bool ConvertIntoNewSet(int conversionType, const std::string& mifPath, const std::string& midPath,
                       const std::string& shpPath, const TConversionHooks& hooks,
                       TConversionReport& report, std::optional<TSafeReplace>& replace) {
    std::optional<TLineReader> mif;
    bool reading = false;  // a failure names the .mif line it was met at while this holds
    try {
        if (Cancelled(hooks)) {
            throw EConversionCancelled();
        }
        mif.emplace(TLineReader::FromFile(mifPath));
        TLineReader mid = TLineReader::FromFile(midPath);
        // A column list the table cannot hold is refused before any file is made.
        TTableLayout layout;
        reading = true;
        try {
            layout = ReadTableLayout(conversionType, *mif, &report);
        } catch (const ELocalDbfError& e) {
            // A refused layout names its column; the line the reader stopped at would mislead.
            report.ErrorText = e.what();
            return false;
        }
        reading = false;  // making the new files
        replace.emplace(std::vector<std::string>{shpPath});
        const std::string& newShp = replace->TemporaryShp(0);
        const auto createOutput = hooks.CreateOutput ? hooks.CreateOutput : CreateFileOutputStream;
        auto shp = createOutput(newShp);
        auto shx = createOutput(ChangeFileExt(newShp, ".shx"));
        ShowStatus(hooks, "");
        ShowStatus(hooks, mifPath + std::string(kConvertingSuffix));

        TTableOwner privateOwner;
        TLocalDbf& table = (hooks.Owner != nullptr ? *hooks.Owner : privateOwner).CreateTable();
        if (hooks.TableStorage) {
            table.SetStorageFactory(hooks.TableStorage);
        }
        TConversionRun run(conversionType, *mif, mid, *shp, *shx, hooks);
        // However the run ends, what it counted reaches the report, and a failed run lets go
        // of its table and files before they are replaced or removed.
        struct TRunEnd {
            TConversionRun& Run;
            TLocalDbf& Table;
            TConversionReport& Report;
            ~TRunEnd() {
                CloseQuietly(Table);
                Report.RecordsWritten = Run.Records();
                Report.RowsOverSeveralLines = Run.RowsOverSeveralLines();
                Report.ValuesLeftEmpty = Run.ValuesLeftEmpty();
                Report.Objects = Run.Objects();
            }
        } end{run, table, report};
        reading = true;
        run.Run(ChangeFileExt(newShp, ".dbf"), layout, table);
        return true;
    } catch (const EConversionCancelled& e) {
        report.Cancelled = true;
        report.ErrorText = e.what();
    } catch (const std::exception& e) {
        ReportFailure(report, e, reading ? mif->LineNumber() : 0);
    }
    return false;
}

}  // namespace

bool ConvertMifToShp(int conversionType, const std::string& mifPath, const std::string& shpPath,
                     const TConversionHooks& hooks) {
    TConversionReport privateReport;
    TConversionReport& report = hooks.Report != nullptr ? *hooks.Report : privateReport;
    const std::string midPath = ChangeFileExt(mifPath, ".mid");
    for (const auto& [source, what] :
         {std::pair{&mifPath, "変換元のファイル"}, std::pair{&midPath, "属性ファイル"}}) {
        if (!FileExists(*source)) {
            report.MissingSource = *source;
            report.ErrorText = std::string(what) + " \"" + *source + "\" が見つかりません";
            return false;
        }
    }
    if (std::string clash = TargetClashText(mifPath, shpPath); !clash.empty()) {
        report.ErrorText = std::move(clash);
        return false;
    }

    ShowStatus(hooks, "");
    ShowStatus(hooks, kPreparingText);
    std::optional<TSafeReplace> replace;
    const bool ok =
        ConvertIntoNewSet(conversionType, mifPath, midPath, shpPath, hooks, report, replace);
    ShowStatus(hooks, kFinishingText);
    if (replace) {
        report.ErrorText = replace->ShowAsTarget(std::move(report.ErrorText));
        const bool keep = ok || (hooks.KeepPartial && !report.Cancelled);
        try {
            if (keep) {
                EnsureTableNotInUse(ChangeFileExt(shpPath, ".dbf"), hooks);
                replace->Commit();
                for (const auto& [sidecar, ext] :
                     {std::pair{&report.CodePage, ".cpg"}, std::pair{&report.CoordSys, ".prj"}}) {
                    if (!sidecar->Path.empty()) {
                        sidecar->Path = ShapefileSetPath(shpPath, ext);
                    }
                }
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
    return ok;
}

}  // namespace varnelo
