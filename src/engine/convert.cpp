// SPDX-License-Identifier: MIT
#include "engine/convert.hpp"

#include <algorithm>
#include <deque>
#include <exception>
#include <limits>
#include <optional>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine/attribute_table.hpp"
#include "engine/bounded_queue.hpp"
#include "engine/code_page.hpp"
#include "engine/coord_sys.hpp"
#include "engine/line_reader.hpp"
#include "engine/mid_rows.hpp"
#include "engine/mif_errors.hpp"
#include "engine/mif_header.hpp"
#include "engine/mif_objects.hpp"
#include "engine/objects_ahead.hpp"
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

// What the .mif declares before its objects, made ready for the attribute tables.
struct TTableLayout {
    TMifHeaderInfo Header;
    TSFColumns Columns;  // the .mif's, with the names of the table's fields
    TCharacterSet Characters = TCharacterSet::ShiftJis;
};

bool IsTextConversion(int conversionType) {
    return conversionType == ctTextAsPoint || conversionType == ctTextAsLine;
}

// The one column of the text conversions' tables, in place of the .mif's columns.
const TSFColumns& TextColumns() {
    static const TSFColumns columns{TSFColumn{"MIF_TEXT", 0, 100}};
    return columns;
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
    for (const TSFColumn& column : layout.Columns) {
        if (!column.Known) {
            report.UnknownTypeColumns.push_back(column.Name);
            report.Notes.push_back(KeptAsTextNote(column.Name));
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
        throw EInOutError("テーブル \"" + dbfPath + "\" は使用中のため置き換えできません");
    }
}

bool Cancelled(const TConversionHooks& hooks) {
    return hooks.Cancel != nullptr && hooks.Cancel->load(std::memory_order_relaxed);
}

// Whether the hooks let the .mid rows go to a thread of their own.
bool RowThreadAllowed(const TConversionHooks& hooks) {
    if (hooks.PlainRowWriter || hooks.KeepPartial) {
        // Rows posted one by one are checked against the bulk path in step with the objects,
        // and a partial set must end where the one thread would have stopped.
        return false;
    }
    const int threads =
        hooks.Threads > 0 ? hooks.Threads : (std::thread::hardware_concurrency() > 1 ? 2 : 1);
    return threads > 1;
}

// Raised on the objects' side when the rows' side has stopped on a failure of its own, which
// is then the one reported.
class ERowSideStopped : public std::exception {
  public:
    const char* what() const noexcept override { return "the rows' side stopped"; }
};

// The converting thread reads this many bytes of .mif between two parts read ahead (which
// are half as large again). Parts this small stay in a processor's own cache and cost
// little fresh memory, which is dear, while the threads still meet only every few
// milliseconds.
constexpr std::uint64_t kReadAheadBytes = std::uint64_t{512} << 10;
// A part holds at most about this much in memory, so that two of them stay small, and ends
// sooner when it would hold more (objects that make many points from few bytes).
constexpr std::size_t kAheadShpBytes = std::size_t{1} << 20;
constexpr std::size_t kAheadSteps = std::size_t{16} << 10;
// Room made at once for a part's records: growing it would copy it.
constexpr std::size_t kAheadShpRoom = kAheadShpBytes + (std::size_t{64} << 10);
// Objects are read ahead when the geometry is at least this many times the .mid rows: the
// rows then take little of the converting thread.
constexpr std::uint64_t kGeometryOverRows = 8;

// One shapefile being written: its geometry files, its table and its header values.
struct TShapefileOutput {
    TShapefileOutput(int conversionType, std::string newShp, TLocalDbf& table)
        : ConversionType(conversionType),
          TextRows(IsTextConversion(conversionType)),
          NewShp(std::move(newShp)),
          Table(table) {
        Header.ShapeType = ShapeTypeOf(conversionType);
    }

    int ConversionType;
    bool TextRows;       // rows are the objects' texts, not .mid rows
    std::string NewShp;  // under the temporary name
    TLocalDbf& Table;
    std::unique_ptr<TOutputStream> Shp;
    std::unique_ptr<TOutputStream> Shx;
    TShpHeader Header{};
    // Records written to the .shp in full; the next one gets the number after it, and a
    // record whose writing fails is not counted.
    std::int32_t Records = 0;
};

// The state of one conversion between opening the files and finishing them: one pass over
// the .mif and the .mid, each object written to the output that takes its kind, if any.
class TConversionRun {
  public:
    TConversionRun(TLineReader& mif, TLineReader& mid, std::deque<TShapefileOutput>& outputs,
                   const TConversionHooks& hooks, std::string mifPath = {})
        : mif_(mif),
          mid_(mid),
          outputs_(outputs),
          hooks_(hooks),
          cancel_(hooks.Cancel),
          mifPath_(std::move(mifPath)) {
        for (TShapefileOutput& out : outputs_) {
            switch (out.ConversionType) {
                case ctPoint:
                    pointOut_ = &out;
                    break;
                case ctPolyLine:
                    polyLineOut_ = &out;
                    break;
                case ctPolygon:
                    polygonOut_ = &out;
                    break;
                case ctTextAsPoint:
                case ctTextAsLine:
                    textOut_ = &out;
                    textAsLine_ = out.ConversionType == ctTextAsLine;
                    break;
                default:
                    break;  // converts nothing
            }
        }
        routes_ = {pointOut_, polyLineOut_, polygonOut_, textOut_};
    }

    void Run(const TTableLayout& layout) {
        const TMifHeaderInfo& header = layout.Header;
        characters_ = layout.Characters;
        for (TShapefileOutput& out : outputs_) {
            const std::string dbfPath = ChangeFileExt(out.NewShp, ".dbf");
            CreateDbfFile(dbfPath, out.TextRows ? TextColumns() : layout.Columns, characters_);
            WriteSidecars(dbfPath, header, &out == &outputs_.front());
        }
        if (hooks_.ProcessMessages) {
            hooks_.ProcessMessages();
        }
        for (TShapefileOutput& out : outputs_) {
            out.Table.SetTableName(ChangeFileExt(out.NewShp, ".dbf"));
            out.Table.SetTextCharacterSet(characters_);
            out.Table.Open();
            WriteShpHeader(*out.Shp, out.Header);
            WriteShxHeader(*out.Shx, out.Header);
        }

        rows_ = std::make_unique<TMidRowReader>(mid_, header.Delimiter, layout.Columns.size(),
                                                characters_);
        if (hooks_.PlainRowWriter) {
            ConvertObjects();
        } else {
            // The conversion holds its tables alone, so their rows are written in large
            // blocks. However the loop ends, the rows posted so far are in the files, with
            // the end byte and the record count, before this scope is left.
            std::deque<TBulkAppendScope> bulk;
            for (TShapefileOutput& out : outputs_) {
                bulk.emplace_back(out.Table);
            }
            const bool midRowsWritten = std::any_of(outputs_.begin(), outputs_.end(),
                                                    [](const auto& out) { return !out.TextRows; });
            if (midRowsWritten && RowThreadAllowed(hooks_)) {
                ConvertWithSecondThread();
            } else {
                ConvertObjects();
            }
            for (TBulkAppendScope& scope : bulk) {
                scope.Finish();
            }
        }

        for (TShapefileOutput& out : outputs_) {
            out.Table.Close();
            FinishHeader(out, *out.Shp, &WriteShpHeader);
            FinishHeader(out, *out.Shx, &WriteShxHeader);
            out.Shp->Close();
            out.Shx->Close();
        }
    }

    // On the thread that reads ahead: converts the objects of a part of the .mif into
    // `part`, from the line the reader stands at to the first object at or after `limit`;
    // see TAheadPart. The run's one output writes to memory, and its row steps are kept.
    void ConvertAhead(TAheadPart& part, std::uint64_t limit) {
        part_ = &part;
        partLimit_ = limit;
        steps_.swap(part.Steps);
        steps_.clear();
        try {
            ConvertObjects();
            part.Stop = mif_.BytesConsumed();
            part.StopLine = mif_.LineNumber();
            part.AtEnd = mif_.Eof();
        } catch (...) {
            part.Converted = false;
        }
        const TShapefileOutput& out = outputs_.front();
        part.Records = out.Records;
        part.Box = out.Header.Box;
        part.Objects = objects_;
        steps_.swap(part.Steps);
        part_ = nullptr;
    }

    std::int64_t RowsOverSeveralLines() const { return rows_ ? rows_->RowsOverSeveralLines() : 0; }
    const TValuesLeftEmpty& ValuesLeftEmpty() const { return leftEmpty_; }
    const TObjectCounts& Objects() const { return objects_; }
    // The .mif line a failure of the rows' side is reported at: where the objects' side stood
    // when it asked for that step, not where it has got to since.
    std::optional<std::int64_t> FailedLine() const { return failedLine_; }

  private:
    using TRowQueue = TBoundedQueue<std::vector<TRowStep>>;
    // Steps go over in batches, so that the threads meet seldom; a few batches may wait, so
    // that neither side stalls on the other's short delays while memory stays small.
    static constexpr std::size_t kStepsPerBatch = 512;
    static constexpr std::size_t kQueuedBatches = 8;

    TRunMark Mark() const {
        TRunMark mark{objects_, {}};
        for (std::size_t i = 0; i < routes_.size(); ++i) {
            mark.Records[i] = routes_[i] != nullptr ? routes_[i]->Records : 0;
        }
        return mark;
    }

    void Restore(const TRunMark& mark) {
        objects_ = mark.Objects;
        for (std::size_t i = 0; i < routes_.size(); ++i) {
            if (routes_[i] != nullptr) {
                routes_[i]->Records = mark.Records[i];
            }
        }
    }

    // The objects on this thread and the .mid rows on a second one. The rows' side does its
    // steps in the order they were asked for; a failure on either side stops both, and the
    // one reported is the one met first in file order: a step the rows' side was given
    // always comes before whatever stopped the objects' side, so its failure wins.
    void ConvertObjectsBesideRows() {
        TRowQueue queue(kQueuedBatches);
        rowQueue_ = &queue;
        steps_.reserve(kStepsPerBatch);
        std::exception_ptr objectFailure;
        bool cancelled = false;
        std::thread rows([this, &queue] { WriteRows(queue); });
        try {
            ConvertObjects();
            SendSteps();
        } catch (const EConversionCancelled&) {
            cancelled = true;
            objectFailure = std::current_exception();
        } catch (...) {
            objectFailure = std::current_exception();
        }
        if (cancelled) {
            queue.Abandon();
        } else {
            try {
                if (objectFailure && !steps_.empty()) {
                    // The steps asked for before the failure are still done.
                    queue.Push(std::move(steps_));
                }
                queue.Close();
            } catch (...) {
                queue.Abandon();
            }
        }
        rows.join();
        rowQueue_ = nullptr;
        if (rowFailure_) {
            Restore(rowFailureStep_.Mark);
            failedLine_ = rowFailureStep_.MifLine;
            std::rethrow_exception(rowFailure_);
        }
        if (objectFailure) {
            std::rethrow_exception(objectFailure);
        }
    }

    // The rows' side: does the steps as they come until the objects' side is done.
    void WriteRows(TRowQueue& queue) noexcept {
        std::vector<TRowStep> steps;
        const TRowStep* current = nullptr;
        try {
            while (queue.Pop(steps)) {
                for (const TRowStep& step : steps) {
                    current = &step;
                    DoRowStep(step.Table);
                }
                current = nullptr;
            }
        } catch (...) {
            rowFailure_ = std::current_exception();
            if (current != nullptr) {
                rowFailureStep_ = *current;
            }
            queue.Abandon();
        }
    }

    // Reads the next .mid row (no table) or appends the row read last to `table`: at once on
    // one thread, else as a step handed to the rows' side.
    void RowStep(TLocalDbf* table) {
        if (rowQueue_ == nullptr && part_ == nullptr) {
            DoRowStep(table);
            return;
        }
        steps_.push_back({table, mif_.LineNumber(), Mark()});
        if (rowQueue_ != nullptr && steps_.size() >= kStepsPerBatch) {
            SendSteps();
        }
    }

    // A step read ahead, in file order with the steps of this thread: done at once on one
    // thread, where a failure is reported at the step's line and mark, else handed on.
    void ReplayRowStep(const TRowStep& step) {
        if (rowQueue_ != nullptr) {
            steps_.push_back(step);
            if (steps_.size() >= kStepsPerBatch) {
                SendSteps();
            }
            return;
        }
        try {
            DoRowStep(step.Table);
        } catch (...) {
            Restore(step.Mark);
            failedLine_ = step.MifLine;
            throw;
        }
    }

    void SendSteps() {
        if (!rowQueue_->Push(std::move(steps_))) {
            throw ERowSideStopped();
        }
        steps_ = {};
        steps_.reserve(kStepsPerBatch);
    }

    // The second processor goes where the work is: to the .mid rows beside the objects, or,
    // for a large source whose geometry outweighs its rows by far, to reading objects ahead.
    void ConvertWithSecondThread();
    bool TakeObjectsAhead();
    void TakePart(TAheadPart& part);
    void WriteRecordTakenAhead(TShapefileOutput& out, std::size_t route, const std::byte* record,
                               const TRowStep& after);

    std::uint64_t ReadAheadBytes() const {
        return hooks_.ReadAheadBytes > 0 ? hooks_.ReadAheadBytes : kReadAheadBytes;
    }

    // A part size given by the caller reads ahead whatever the sizes of the two files.
    bool ObjectsAheadWorthIt() const {
        if (outputs_.size() != 1 || mifPath_.empty()) {
            return false;
        }
        const int type = outputs_.front().ConversionType;
        const std::uint64_t geometry = mif_.TotalBytes();
        return (type == ctPolyLine || type == ctPolygon) &&
               (hooks_.ReadAheadBytes > 0 || (geometry >= 8 * kReadAheadBytes &&
                                              mid_.TotalBytes() <= geometry / kGeometryOverRows));
    }

    bool AheadPartFull() const {
        return mif_.BytesConsumed() >= partLimit_ ||
               outputs_.front().Shp->Size() >= kAheadShpBytes || steps_.size() >= kAheadSteps;
    }

    void DoRowStep(TLocalDbf* table) {
        if (table == nullptr) {
            row_ = &rows_->ReadRow();
        } else {
            AppendDbfRecord(*table, *row_, rows_->RowLine(), hooks_.ValueRules, &leftEmpty_);
        }
    }

    void WriteSidecars(const std::string& dbfPath, const TMifHeaderInfo& header, bool reported) {
        TSidecarOutcome codePage;
        TSidecarOutcome coordSys;
        WriteSidecarFiles(dbfPath, header, hooks_.CreateOutput, codePage, coordSys);
        if (reported && hooks_.Report != nullptr) {
            hooks_.Report->CodePage = std::move(codePage);
            hooks_.Report->CoordSys = std::move(coordSys);
        }
    }

    void ConvertObjects() {
        std::string keywordLine;
        while (!mif_.Eof()) {
            if (part_ != nullptr && AheadPartFull()) {
                break;
            }
            if (mif_.BytesConsumed() >= nextAhead_ && TakeObjectsAhead()) {
                continue;
            }
            const std::uint64_t lineStart = mif_.BytesConsumed();
            // Collapsing runs of spaces cannot make or unmake a keyword (none holds a
            // space), so only the object lines are collapsed, for their readers.
            const std::string_view line = TrimView(mif_.ReadLineView());
            const TMifObjectKind kind = MifObjectKindOfLine(line);
            if (kind == TMifObjectKind::None) {
                continue;
            }
            if (part_ != nullptr && !part_->Converted) {
                part_->Converted = true;
                part_->FirstObject = lineStart;
                part_->FirstLine = mif_.LineNumber() - 1;
            }
            if (cancel_ != nullptr && cancel_->load(std::memory_order_relaxed)) {
                throw EConversionCancelled();
            }
            CollapseBlanksInto(line, keywordLine);
            // Only the .mif is read while the object is converted, so the .mid row can
            // stay where the reader holds it.
            RowStep(nullptr);
            ConvertObject(kind, keywordLine);
            ReportProgress();
        }
    }

    void ConvertObject(TMifObjectKind kind, std::string_view line) {
        switch (kind) {
            case TMifObjectKind::Point:
                ++objects_.Points;
                if (pointOut_ != nullptr) {
                    ReadMifPoint(line, mif_, point_);
                    WritePoint(*pointOut_);
                }
                break;
            case TMifObjectKind::Line:
            case TMifObjectKind::Pline:
            case TMifObjectKind::Arc:
                ++objects_.PolyLines;
                if (polyLineOut_ != nullptr) {
                    if (kind == TMifObjectKind::Line) {
                        ReadMifLine(line, mif_, polyLine_);
                    } else if (kind == TMifObjectKind::Pline) {
                        ReadMifPline(line, mif_, polyLine_);
                    } else {
                        ReadMifArc(line, mif_, polyLine_);
                    }
                    WritePolyLine(*polyLineOut_);
                }
                break;
            case TMifObjectKind::Region:
            case TMifObjectKind::Rect:
            case TMifObjectKind::RoundRect:
            case TMifObjectKind::Ellipse:
                ++objects_.Polygons;
                if (polygonOut_ != nullptr) {
                    if (kind == TMifObjectKind::Region) {
                        ReadMifRegion(line, mif_, polygon_);
                    } else if (kind == TMifObjectKind::Ellipse) {
                        ReadMifEllipse(line, mif_, polygon_);
                    } else {
                        ReadMifRect(line, mif_, polygon_);
                    }
                    WritePolygon(*polygonOut_);
                }
                break;
            case TMifObjectKind::Text:
                ++objects_.Texts;
                if (textOut_ == nullptr) {
                    break;
                }
                if (textAsLine_) {
                    ReadMifTextLine(line, mif_, text_, polyLine_, characters_);
                    WritePolyLine(*textOut_);
                } else {
                    ReadMifTextPoint(line, mif_, text_, point_, characters_);
                    WritePoint(*textOut_);
                }
                break;
            case TMifObjectKind::Collection: {
                // Read in every conversion, so that its parts are not taken for objects; only
                // the parts a target takes are parsed, so that a damaged part of another kind
                // fails nothing. Each part taken is a record of its own with the one row.
                const TMifCollectionParts wanted{polygonOut_ != nullptr, polyLineOut_ != nullptr};
                const TMifCollectionParts parts =
                    ReadMifCollection(line, mif_, polygon_, polyLine_, wanted);
                objects_.Polygons += parts.Region ? 1 : 0;
                objects_.PolyLines += parts.Polyline ? 1 : 0;
                if (wanted.Region && parts.Region) {
                    WritePolygon(*polygonOut_);
                }
                if (wanted.Polyline && parts.Polyline) {
                    WritePolyLine(*polyLineOut_);
                }
                break;
            }
            case TMifObjectKind::Multipoint:
            case TMifObjectKind::NoGeometry:
            case TMifObjectKind::None:
                break;
        }
    }

    void WritePoint(TShapefileOutput& out) {
        const std::int32_t number = out.Records + 1;
        const std::int32_t length = PointContentLength(point_);
        WriteIndexEntry(out, length);
        WritePointRecord(*out.Shp, number, point_);
        out.Records = number;
        if (number == 1) {
            InitBoxFromPoint(out.Header.Box, point_);
        } else {
            ExtendBoxByPoint(out.Header.Box, point_);
        }
        AppendRow(out);
    }

    void WritePolyLine(TShapefileOutput& out) {
        const std::int32_t number = out.Records + 1;
        WriteIndexEntry(out, PolyLineContentLength(polyLine_));
        WritePolyLineRecord(*out.Shp, number, polyLine_);
        out.Records = number;
        FoldBox(out, polyLine_.Box);
        AppendRow(out);
    }

    void WritePolygon(TShapefileOutput& out) {
        const std::int32_t number = out.Records + 1;
        NormalizePolygonRing(polygon_);
        WriteIndexEntry(out, PolygonContentLength(polygon_));
        WriteNormalizedPolygonRecord(*out.Shp, number, polygon_);
        out.Records = number;
        FoldBox(out, polygon_.Box);
        AppendRow(out);
    }

    static void WriteIndexEntry(TShapefileOutput& out, std::int32_t contentLength) {
        const std::uint64_t offset = out.Shp->Size();
        EnsureRecordFits(offset, contentLength);
        WriteShxRecord(*out.Shx, static_cast<std::int32_t>(offset), contentLength);
    }

    static void FoldBox(TShapefileOutput& out, const TShpBox& box) {
        if (out.Records == 1) {
            InitBoxFromBox(out.Header.Box, box);
        } else {
            ExtendBoxByBox(out.Header.Box, box);
        }
    }

    // The row of the record just written: the object's text for the text conversions, else
    // the object's .mid row.
    void AppendRow(TShapefileOutput& out) {
        if (out.TextRows) {
            AppendDbfTextRecord(out.Table, text_);
        } else if (hooks_.PlainRowWriter) {
            hooks_.PlainRowWriter(out.Table, row_->Row());
        } else {
            RowStep(&out.Table);
        }
    }

    static void FinishHeader(TShapefileOutput& out, TOutputStream& stream,
                             void (*write)(TOutputStream&, const TShpHeader&)) {
        out.Header.FileLength = static_cast<std::int32_t>(stream.Size() / 2);
        write(stream, out.Header);
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

    TLineReader& mif_;
    TLineReader& mid_;
    std::deque<TShapefileOutput>& outputs_;
    const TConversionHooks& hooks_;
    const std::atomic<bool>* cancel_;
    // The output each kind of object goes to; none for a kind no target takes.
    TShapefileOutput* pointOut_ = nullptr;
    TShapefileOutput* polyLineOut_ = nullptr;
    TShapefileOutput* polygonOut_ = nullptr;
    TShapefileOutput* textOut_ = nullptr;
    std::array<TShapefileOutput*, 4> routes_{};  // the four above
    bool textAsLine_ = false;
    TObjectCounts objects_;
    std::uint64_t nextProgress_ = 0;
    // What the rows' side reads and writes lies apart from what the objects' side writes, on
    // cache lines of its own, so that the two threads do not take each other's lines away.
    std::unique_ptr<TMidRowReader> rows_;
    alignas(64) TValuesLeftEmpty leftEmpty_;
    const TMidRowSplitter* row_ = nullptr;
    alignas(64) std::string text_;
    TCharacterSet characters_ = TCharacterSet::ShiftJis;  // of the source's text
    TShpPoint point_;
    TSFPolyLine polyLine_;
    TSFPolygon polygon_;
    // With the rows on a thread of their own: the queue to it, the steps not yet sent, and
    // its failure with the step that met it.
    TRowQueue* rowQueue_ = nullptr;
    std::vector<TRowStep> steps_;
    std::exception_ptr rowFailure_;
    TRowStep rowFailureStep_;
    std::optional<std::int64_t> failedLine_;
    // The .mif's path, from which a second reader reads ahead.
    std::string mifPath_;
    // On the thread that reads ahead: the part being read, and where it is to end.
    TAheadPart* part_ = nullptr;
    std::uint64_t partLimit_ = 0;
    // On the converting thread: the parts read ahead, and from where on to look at them.
    TObjectsAhead* ahead_ = nullptr;
    std::uint64_t nextAhead_ = std::numeric_limits<std::uint64_t>::max();
};

// Converts the parts read ahead, each with a run of its own whose one output writes to
// memory: the records go into the part's own memory, which is handed back and forth so that
// no part's memory is made anew.
class TAheadConverter final : public IAheadConverter {
  public:
    TAheadConverter(int conversionType, const TConversionHooks& hooks)
        : out_(outputs_.emplace_back(conversionType, std::string(), unusedTable_)) {
        // The runs ahead only count their objects and stop when asked to.
        hooks_.Cancel = hooks.Cancel;
        out_.Shp = std::make_unique<TMemoryOutputStream>();
        out_.Shx = std::make_unique<TMemoryOutputStream>();
    }

    void ConvertPart(TLineReader& mif, TAheadPart& part, std::uint64_t limit) override {
        auto& shp = static_cast<TMemoryOutputStream&>(*out_.Shp);
        part.ShpBytes.reserve(kAheadShpRoom);
        shp.Bytes().swap(part.ShpBytes);
        shp.Clear();
        // The index entries are made anew where the records are taken.
        static_cast<TMemoryOutputStream&>(*out_.Shx).Clear();
        out_.Records = 0;
        out_.Header.Box = {};
        TConversionRun run(mif, noRows_, outputs_, hooks_);
        run.ConvertAhead(part, limit);
        shp.Bytes().swap(part.ShpBytes);
    }

  private:
    TConversionHooks hooks_;
    TLineReader noRows_ = TLineReader::FromString({});
    TLocalDbf unusedTable_;  // the steps name it; the conversion puts its own table instead
    std::deque<TShapefileOutput> outputs_;
    TShapefileOutput& out_;
};

void TConversionRun::ConvertWithSecondThread() {
    if (!ObjectsAheadWorthIt()) {
        ConvertObjectsBesideRows();
        return;
    }
    TAheadConverter converter(outputs_.front().ConversionType, hooks_);
    TObjectsAhead ahead(mifPath_, mif_.TotalBytes(), ReadAheadBytes(), converter);
    ahead_ = &ahead;
    nextAhead_ = ahead.NextBegin();
    struct TAheadEnd {
        TConversionRun& Run;
        ~TAheadEnd() {
            Run.ahead_ = nullptr;
            Run.nextAhead_ = std::numeric_limits<std::uint64_t>::max();
        }
    } end{*this};
    // The rows stay on this thread: beside geometry this large they take little of it.
    ConvertObjects();
}

// Called between objects once the reader has reached the next part read ahead.
bool TConversionRun::TakeObjectsAhead() {
    if (mif_.LineWaiting()) {
        return false;  // the line pushed back comes first
    }
    const std::uint64_t position = mif_.BytesConsumed();
    while (nextAhead_ <= position) {
        TAheadPart& part = ahead_->WaitNext();
        if (part.Converted && position < part.FirstObject) {
            nextAhead_ = part.FirstObject;
            return false;
        }
        const bool taken = part.Converted && position == part.FirstObject;
        if (taken) {
            TakePart(part);
        }
        ahead_->Release();
        nextAhead_ = ahead_->NextBegin();
        if (taken) {
            return true;
        }
    }
    return false;
}

// Writes the part's records and does its row steps as reading the part here would have, in
// the same order, so that a failure stops at the same place with the same report.
void TConversionRun::TakePart(TAheadPart& part) {
    TShapefileOutput& out = outputs_.front();
    const auto route =
        static_cast<std::size_t>(std::find(routes_.begin(), routes_.end(), &out) - routes_.begin());
    const TRunMark base = Mark();
    const std::int64_t lineBase = mif_.LineNumber() - part.FirstLine;
    const std::int32_t recordsBefore = out.Records;
    // The part's records lie one after the other from its start.
    std::int32_t written = 0;
    const std::byte* record = part.ShpBytes.data();
    const auto writeUpTo = [&](std::int32_t count, const TRowStep& after) {
        for (; written < count; ++written) {
            WriteRecordTakenAhead(out, route, record, after);
            record +=
                kShpRecordHeaderBytes + 2 * static_cast<std::size_t>(RecordContentLength(record));
        }
    };
    for (const TRowStep& read : part.Steps) {
        TRowStep step = read;
        step.Table = read.Table != nullptr ? &out.Table : nullptr;
        step.MifLine += lineBase;
        step.Mark.Objects += base.Objects;
        for (std::size_t i = 0; i < routes_.size(); ++i) {
            step.Mark.Records[i] += base.Records[i];
        }
        writeUpTo(read.Mark.Records[route], step);
        if (step.Table == nullptr && cancel_ != nullptr &&
            cancel_->load(std::memory_order_relaxed)) {
            // Where reading the object here would have stopped: before it is counted.
            Restore(step.Mark);
            throw EConversionCancelled();
        }
        ReplayRowStep(step);
    }
    // Every record is followed by its row's step; this is only for safety's sake.
    TRowStep last{nullptr, part.StopLine + lineBase, Mark()};
    last.Mark.Objects += part.Objects;
    writeUpTo(part.Records, last);
    if (part.Records > 0) {
        if (recordsBefore == 0) {
            InitBoxFromBox(out.Header.Box, part.Box);
        } else {
            ExtendBoxByBox(out.Header.Box, part.Box);
        }
    }
    objects_ = base.Objects;
    objects_ += part.Objects;
    mif_.SkipTo(part.Stop, part.StopLine - part.FirstLine, part.AtEnd);
    ReportProgress();
}

// One record as WritePolygon and WritePolyLine write it, numbered in this file. A failure is
// reported at the line and with the counts that writing it after reading its object gives.
void TConversionRun::WriteRecordTakenAhead(TShapefileOutput& out, std::size_t route,
                                           const std::byte* record, const TRowStep& after) {
    try {
        WriteIndexEntry(out, RecordContentLength(record));
        WriteRenumberedRecord(*out.Shp, out.Records + 1, record);
    } catch (...) {
        TRunMark mark = after.Mark;
        mark.Records[route] = out.Records;
        Restore(mark);
        failedLine_ = after.MifLine;
        throw;
    }
    ++out.Records;
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
        reading = false;  // making the new files
        std::vector<std::string> shpPaths;
        for (const TShapefileTarget& target : targets) {
            shpPaths.push_back(target.ShpPath);
        }
        replace.emplace(shpPaths);
        const auto createOutput = hooks.CreateOutput ? hooks.CreateOutput : CreateFileOutputStream;
        TTableOwner privateOwner;
        TTableOwner& owner = hooks.Owner != nullptr ? *hooks.Owner : privateOwner;
        std::deque<TShapefileOutput> outputs;
        for (std::size_t i = 0; i < targets.size(); ++i) {
            TShapefileOutput& out = outputs.emplace_back(
                targets[i].ConversionType, replace->TemporaryShp(i), owner.CreateTable());
            out.Shp = createOutput(out.NewShp);
            out.Shx = createOutput(ChangeFileExt(out.NewShp, ".shx"));
            if (hooks.TableStorage) {
                out.Table.SetStorageFactory(hooks.TableStorage);
            }
        }
        ShowStatus(hooks, "");
        ShowStatus(hooks, mifPath + std::string(kConvertingSuffix));

        TConversionRun run(*mif, *mid, outputs, hooks, mifPath);
        // However the run ends, what it counted reaches the report, and a failed run lets go
        // of its tables before they are replaced or removed.
        struct TRunEnd {
            TConversionRun& Run;
            std::deque<TShapefileOutput>& Outputs;
            TConversionReport& Report;
            bool WriteEmpty;
            std::optional<std::int64_t>& FailedLine;
            ~TRunEnd() {
                FailedLine = Run.FailedLine();
                Report.RecordsWritten = 0;
                for (std::size_t i = 0; i < Outputs.size(); ++i) {
                    CloseQuietly(Outputs[i].Table);
                    TTargetOutcome& outcome = Report.Targets[i];
                    outcome.RecordsWritten = Outputs[i].Records;
                    outcome.Written = WriteEmpty || Outputs[i].Records > 0;
                    Report.RecordsWritten += Outputs[i].Records;
                }
                Report.RowsOverSeveralLines = Run.RowsOverSeveralLines();
                Report.ValuesLeftEmpty = Run.ValuesLeftEmpty();
                Report.Objects = Run.Objects();
            }
        } end{run, outputs, report, writeEmpty, failedLine};
        reading = true;
        run.Run(layout);
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

bool ConvertInto(const std::string& mifPath, const std::vector<TShapefileTarget>& targets,
                 bool writeEmpty, const TConversionHooks& hooks) {
    CheckTargetKinds(targets);
    TConversionReport privateReport;
    TConversionReport& report = hooks.Report != nullptr ? *hooks.Report : privateReport;
    report.Targets.clear();
    for (const TShapefileTarget& target : targets) {
        report.Targets.push_back({target.ConversionType, target.ShpPath, 0, false});
    }
    if (!FileExists(mifPath)) {
        report.MissingSource = mifPath;
        report.ErrorText = "変換元のファイル \"" + mifPath + "\" が見つかりません";
        return false;
    }
    for (const TShapefileTarget& target : targets) {
        if (std::string clash = TargetClashText(mifPath, target.ShpPath); !clash.empty()) {
            report.ErrorText = std::move(clash);
            return false;
        }
    }

    ShowStatus(hooks, "");
    ShowStatus(hooks, kPreparingText);
    std::optional<TSafeReplace> replace;
    const bool ok = ConvertIntoNewSets(mifPath, targets, writeEmpty, hooks, report, replace);
    ShowStatus(hooks, kFinishingText);
    if (replace) {
        report.ErrorText = replace->ShowAsTarget(std::move(report.ErrorText));
        const bool keep = ok || (hooks.KeepPartial && !report.Cancelled);
        try {
            if (keep) {
                // A target not written loses its previous files with its new set.
                for (std::size_t i = 0; i < targets.size(); ++i) {
                    if (!report.Targets[i].Written) {
                        replace->DiscardSet(i);
                    }
                }
                for (const TShapefileTarget& target : targets) {
                    EnsureTableNotInUse(ChangeFileExt(target.ShpPath, ".dbf"), hooks);
                }
                replace->Commit();
                // The files beside the first target written now have its name.
                const auto first = std::find_if(report.Targets.begin(), report.Targets.end(),
                                                [](const auto& t) { return t.Written; });
                for (const auto& [sidecar, ext] :
                     {std::pair{&report.CodePage, ".cpg"}, std::pair{&report.CoordSys, ".prj"}}) {
                    if (!sidecar->Path.empty()) {
                        sidecar->Path = first != report.Targets.end()
                                            ? ShapefileSetPath(first->ShpPath, ext)
                                            : std::string();
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
