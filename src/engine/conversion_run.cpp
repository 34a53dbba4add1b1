// SPDX-License-Identifier: MIT
#include "engine/conversion_run.hpp"

#include <algorithm>
#include <array>
#include <exception>
#include <span>
#include <thread>
#include <utility>

#include "engine/attribute_table.hpp"
#include "engine/display_text.hpp"
#include "engine/mid_rows.hpp"
#include "engine/mif_objects.hpp"
#include "engine/objects_ahead.hpp"
#include "engine/row_thread.hpp"
#include "engine/sidecar_files.hpp"
#include "engine/text_ops.hpp"
#include "shape/local_dbf.hpp"

namespace varnelo {

namespace {

constexpr std::uint64_t kProgressStep = std::uint64_t{1} << 20;

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

void CloseQuietly(TLocalDbf& table) noexcept {
    try {
        table.Close();
    } catch (...) {
        // Closing writes nothing; a failure here has nothing left to lose.
    }
}

// The one column of the text conversions' tables, in place of the .mif's columns.
const TSFColumns& TextColumns() {
    static const TSFColumns columns{TSFColumn{"MIF_TEXT", 0, 100}};
    return columns;
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

// The state of one conversion between opening the files and finishing them: one pass over
// the .mif and the .mid, each object written to the output that takes its kind, if any.
class TConversionRun final : private IRowSteps, private IPartTaking {
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
            const int type = out.ConversionType;
            if (type == ctTextAsPoint || type == ctTextAsLine) {
                textAsLine_ = type == ctTextAsLine;
                routes_[3] = &out;
            } else if (type == ctPoint || type == ctPolyLine || type == ctPolygon) {
                routes_[static_cast<std::size_t>(type)] = &out;
            }  // any other converts nothing
        }
    }

    void Run(const TTableLayout& layout) {
        characters_ = layout.Characters;
        source_ = std::make_unique<TSourceText>(layout.Header.Charset);
        for (TShapefileOutput& out : outputs_) {
            const std::string dbfPath = ChangeFileExt(out.NewShp, ".dbf");
            CreateDbfFile(dbfPath, out.TextRows ? TextColumns() : layout.Columns, characters_);
            WriteSidecars(dbfPath, layout.Header, &out == &outputs_.front());
        }
        if (hooks_.ProcessMessages) {
            hooks_.ProcessMessages();
        }
        for (TShapefileOutput& out : outputs_) {
            out.Table.SetTableName(ChangeFileExt(out.NewShp, ".dbf"));
            out.Table.SetTextCharacterSet(characters_);
            out.Table.Open();
            out.Writer.Start();
        }
        rows_ = std::make_unique<TMidRowReader>(mid_, layout.Header.Delimiter,
                                                layout.Columns.size(), characters_);
        if (hooks_.PlainRowWriter) {
            ConvertObjects();
        } else {
            ConvertInBulk();
        }
        for (TShapefileOutput& out : outputs_) {
            out.Table.Close();
            out.Writer.Finish();
        }
    }

    // On the thread that reads ahead: converts the objects of a part of the .mif into
    // `part`, from the line the reader stands at to the first object at or after `limit`;
    // see TAheadPart. The run's one output writes to memory, and its row steps are kept.
    void ConvertAhead(TAheadPart& part, std::uint64_t limit) {
        part_ = &part;
        partLimit_ = limit;
        part.Steps.clear();
        try {
            ConvertObjects();
            part.Stop = mif_.BytesConsumed();
            part.StopLine = mif_.LineNumber();
            part.AtEnd = mif_.Eof();
        } catch (...) {
            part.Converted = false;
        }
        const TShapefileWriter& writer = outputs_.front().Writer;
        part.Records = writer.Records();
        part.Box = writer.Box();
        part.Objects = objects_;
        part_ = nullptr;
    }

    // Records written to `out`, or as many as the run had written where it stopped.
    std::int32_t RecordsWritten(const TShapefileOutput& out) const {
        const auto route = std::find(routes_.begin(), routes_.end(), &out);
        if (stoppedAt_ && route != routes_.end()) {
            return stoppedAt_->Records[static_cast<std::size_t>(route - routes_.begin())];
        }
        return out.Writer.Records();
    }
    std::int64_t RowsOverSeveralLines() const { return rows_ ? rows_->RowsOverSeveralLines() : 0; }
    const TValuesLeftEmpty& ValuesLeftEmpty() const { return leftEmpty_; }
    const TObjectCounts& Objects() const { return objects_; }
    // The .mif line a failure of the rows' side is reported at: where the objects' side stood
    // when it asked for that step, not where it has got to since.
    std::optional<std::int64_t> FailedLine() const { return failedLine_; }

  private:
    TRunMark Mark() const override {
        TRunMark mark{objects_, {}};
        for (std::size_t i = 0; i < routes_.size(); ++i) {
            mark.Records[i] = routes_[i] != nullptr ? routes_[i]->Writer.Records() : 0;
        }
        return mark;
    }

    // Every stop raises at once after this: nothing is written after it.
    void Restore(const TRunMark& mark) {
        objects_ = mark.Objects;
        stoppedAt_ = mark;
    }

    void StopAt(const TRunMark& mark, std::int64_t mifLine) override {
        Restore(mark);
        failedLine_ = mifLine;
    }

    void StopIfCancelled(const TRowStep& step) override {
        if (Cancelled(hooks_)) {
            Restore(step.Mark);
            throw EConversionCancelled();
        }
    }

    void SetObjects(const TObjectCounts& objects) override { objects_ = objects; }

    // The conversion holds its tables alone, so their rows are written in large blocks.
    // However the loop ends, the rows posted so far are in the files, with the end byte and
    // the record count, before this is left.
    void ConvertInBulk() {
        std::deque<TBulkAppendScope> bulk;
        for (TShapefileOutput& out : outputs_) {
            bulk.emplace_back(out.Table);
        }
        const bool midRowsWritten = std::any_of(outputs_.begin(), outputs_.end(),
                                                [](const auto& out) { return !out.TextRows; });
        if (!midRowsWritten || !RowThreadAllowed(hooks_)) {
            ConvertObjects();
        } else if (ObjectsAheadWorthIt()) {
            ConvertWithObjectsAhead();
        } else {
            ConvertObjectsBesideRows();
        }
        for (TBulkAppendScope& scope : bulk) {
            scope.Finish();
        }
    }

    // The objects on this thread and the .mid rows on a second one; see TRowThread.
    void ConvertObjectsBesideRows() {
        TRowThread rowThread(*this);
        rowThread_ = &rowThread;
        std::exception_ptr objectFailure;
        bool cancelled = false;
        try {
            ConvertObjects();
            rowThread.Send();
        } catch (const EConversionCancelled&) {
            cancelled = true;
            objectFailure = std::current_exception();
        } catch (...) {
            objectFailure = std::current_exception();
        }
        rowThread.End(objectFailure != nullptr, cancelled);
        rowThread_ = nullptr;
        if (rowThread.Failure()) {
            StopAt(rowThread.FailedStep().Mark, rowThread.FailedStep().MifLine);
            std::rethrow_exception(rowThread.Failure());
        }
        if (objectFailure) {
            std::rethrow_exception(objectFailure);
        }
    }

    // For a large source whose geometry outweighs its rows by far, the second processor
    // reads objects ahead; the rows stay on this thread, beside geometry this large they take
    // little of it.
    void ConvertWithObjectsAhead();

    // A part size given by the caller reads ahead whatever the sizes of the two files.
    bool ObjectsAheadWorthIt() const {
        if (outputs_.size() != 1 || mifPath_.empty()) {
            return false;
        }
        const int type = outputs_.front().ConversionType;
        return (type == ctPolyLine || type == ctPolygon) &&
               (hooks_.ReadAheadBytes > 0 ||
                ReadingAheadPays(mif_.TotalBytes(), mid_.TotalBytes()));
    }

    bool AheadPartFull() const {
        return mif_.BytesConsumed() >= partLimit_ ||
               outputs_.front().Writer.ShpSize() >= kAheadShpBytes ||
               part_->Steps.size() >= kAheadSteps;
    }

    // Reads the next .mid row (no table) or appends the row read last to `table`: at once on
    // one thread, else as a step handed to the rows' side or kept with the part read ahead.
    void RowStep(TLocalDbf* table) {
        if (rowThread_ == nullptr && part_ == nullptr) {
            DoRowStep(table);
        } else {
            KeepRowStep(table);
        }
    }

    void KeepRowStep(TLocalDbf* table) {
        const TRowStep step{table, mif_.LineNumber(), Mark()};
        if (rowThread_ != nullptr) {
            rowThread_->Add(step);
        } else {
            part_->Steps.push_back(step);
        }
    }

    // A step read ahead, in file order with the steps of this thread: done at once on one
    // thread, where a failure is reported at the step's line and mark, else handed on.
    void ReplayRowStep(const TRowStep& step) override {
        if (rowThread_ != nullptr) {
            rowThread_->Add(step);
            return;
        }
        try {
            DoRowStep(step.Table);
        } catch (...) {
            StopAt(step.Mark, step.MifLine);
            throw;
        }
    }

    void DoRowSteps(std::span<const TRowStep> steps, const TRowStep*& current) override {
        for (const TRowStep& step : steps) {
            current = &step;
            DoRowStep(step.Table);
        }
    }

    void DoRowStep(TLocalDbf* table) {
        if (table == nullptr) {
            row_ = &rows_->ReadRow();
        } else {
            AppendDbfRecord(*table, *row_, rows_->RowLine(), hooks_.ValueRules, &leftEmpty_,
                            source_.get());
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
            if (ahead_ != nullptr && ahead_->Due() && ahead_->TakeAtReader()) {
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
                if (routes_[ctPoint] != nullptr) {
                    ReadMifPoint(line, mif_, point_);
                    Write(*routes_[ctPoint], point_);
                }
                break;
            case TMifObjectKind::Line:
            case TMifObjectKind::Pline:
            case TMifObjectKind::Arc:
                ++objects_.PolyLines;
                if (routes_[ctPolyLine] != nullptr) {
                    ReadPolyLine(kind, line);
                    Write(*routes_[ctPolyLine], polyLine_);
                }
                break;
            case TMifObjectKind::Region:
            case TMifObjectKind::Rect:
            case TMifObjectKind::RoundRect:
            case TMifObjectKind::Ellipse:
                ++objects_.Polygons;
                if (routes_[ctPolygon] != nullptr) {
                    ReadPolygon(kind, line);
                    Write(*routes_[ctPolygon], polygon_);
                }
                break;
            case TMifObjectKind::Text:
                ++objects_.Texts;
                ConvertText(line);
                break;
            case TMifObjectKind::Collection:
                ConvertCollection(line);
                break;
            case TMifObjectKind::Multipoint:
            case TMifObjectKind::NoGeometry:
            case TMifObjectKind::None:
                break;
        }
    }

    void ReadPolyLine(TMifObjectKind kind, std::string_view line) {
        if (kind == TMifObjectKind::Line) {
            ReadMifLine(line, mif_, polyLine_);
        } else if (kind == TMifObjectKind::Pline) {
            ReadMifPline(line, mif_, polyLine_);
        } else {
            ReadMifArc(line, mif_, polyLine_);
        }
    }

    void ReadPolygon(TMifObjectKind kind, std::string_view line) {
        if (kind == TMifObjectKind::Region) {
            ReadMifRegion(line, mif_, polygon_);
        } else if (kind == TMifObjectKind::Ellipse) {
            ReadMifEllipse(line, mif_, polygon_);
        } else {
            ReadMifRect(line, mif_, polygon_);
        }
    }

    void ConvertText(std::string_view line) {
        TShapefileOutput* out = routes_[3];
        if (out == nullptr) {
            return;
        }
        if (textAsLine_) {
            ReadMifTextLine(line, mif_, text_, polyLine_, characters_);
            Write(*out, polyLine_);
        } else {
            ReadMifTextPoint(line, mif_, text_, point_, characters_);
            Write(*out, point_);
        }
    }

    // Read in every conversion, so that its parts are not taken for objects; only the parts a
    // target takes are parsed, so that a damaged part of another kind fails nothing. Each
    // part taken is a record of its own with the one row.
    void ConvertCollection(std::string_view line) {
        const TMifCollectionParts wanted{routes_[ctPolygon] != nullptr,
                                         routes_[ctPolyLine] != nullptr};
        const TMifCollectionParts parts =
            ReadMifCollection(line, mif_, polygon_, polyLine_, wanted);
        objects_.Polygons += parts.Region ? 1 : 0;
        objects_.PolyLines += parts.Polyline ? 1 : 0;
        if (wanted.Region && parts.Region) {
            Write(*routes_[ctPolygon], polygon_);
        }
        if (wanted.Polyline && parts.Polyline) {
            Write(*routes_[ctPolyLine], polyLine_);
        }
    }

    // The record, then its row: the object's text for the text conversions, else the
    // object's .mid row.
    template <typename TShape>
    void Write(TShapefileOutput& out, TShape& shape) {
        out.Writer.Append(shape);
        if (out.TextRows) {
            AppendDbfTextRecord(out.Table, text_);
        } else if (hooks_.PlainRowWriter) {
            hooks_.PlainRowWriter(out.Table, row_->Row());
        } else {
            RowStep(&out.Table);
        }
    }

    void ReportProgress() override {
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
    // The output each kind of object goes to, by its conversion type (texts last); none for
    // a kind no target takes.
    std::array<TShapefileOutput*, 4> routes_{};
    bool textAsLine_ = false;
    TObjectCounts objects_;
    std::uint64_t nextProgress_ = 0;
    // What the rows' side reads and writes lies apart from what the objects' side writes, on
    // cache lines of its own, so that the two threads do not take each other's lines away.
    std::unique_ptr<TMidRowReader> rows_;
    alignas(64) TValuesLeftEmpty leftEmpty_;
    std::unique_ptr<TSourceText> source_;  // the rows' names and values in messages
    const TMidRowSplitter* row_ = nullptr;
    alignas(64) std::string text_;
    TCharacterSet characters_ = TCharacterSet::ShiftJis;  // of the source's text
    TShpPoint point_;
    TSFPolyLine polyLine_;
    TSFPolygon polygon_;
    // With the rows on a thread of their own: its side of the queue.
    TRowThread* rowThread_ = nullptr;
    // Where the run stopped, when it stopped at a step before the last one it had done.
    std::optional<TRunMark> stoppedAt_;
    std::optional<std::int64_t> failedLine_;
    // The .mif's path, from which a second reader reads ahead.
    std::string mifPath_;
    // On the thread that reads ahead: the part being read, and where it is to end.
    TAheadPart* part_ = nullptr;
    std::uint64_t partLimit_ = 0;
    // On the converting thread: takes the parts read ahead.
    TAheadTaker* ahead_ = nullptr;
};

// Converts the parts read ahead, each with a run of its own whose one output writes to
// memory: the records go into the part's own memory, which is handed back and forth so that
// no part's memory is made anew.
class TAheadConverter final : public IAheadConverter {
  public:
    TAheadConverter(int conversionType, const TConversionHooks& hooks)
        : out_(outputs_.emplace_back(conversionType, std::string(), unusedTable_,
                                     std::make_unique<TMemoryOutputStream>(),
                                     std::make_unique<TMemoryOutputStream>())) {
        // The runs ahead only count their objects and stop when asked to.
        hooks_.Cancel = hooks.Cancel;
    }

    void ConvertPart(TLineReader& mif, TAheadPart& part, std::uint64_t limit) override {
        auto& shp = static_cast<TMemoryOutputStream&>(out_.Writer.Shp());
        part.ShpBytes.reserve(kAheadShpRoom);
        shp.Bytes().swap(part.ShpBytes);
        shp.Clear();
        // The index entries are made anew where the records are taken.
        static_cast<TMemoryOutputStream&>(out_.Writer.Shx()).Clear();
        out_.Writer.Restart();
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

void TConversionRun::ConvertWithObjectsAhead() {
    TShapefileOutput& out = outputs_.front();
    const auto route =
        static_cast<std::size_t>(std::find(routes_.begin(), routes_.end(), &out) - routes_.begin());
    TAheadConverter converter(out.ConversionType, hooks_);
    const std::uint64_t between =
        hooks_.ReadAheadBytes > 0 ? hooks_.ReadAheadBytes : kReadAheadBytes;
    TObjectsAhead ahead(mifPath_, mif_.TotalBytes(), between, converter);
    TAheadTaker taker(ahead, mif_, out.Writer, out.Table, route, *this);
    ahead_ = &taker;
    struct TAheadEnd {
        TAheadTaker*& Taker;
        ~TAheadEnd() { Taker = nullptr; }
    } end{ahead_};
    ConvertObjects();
}

}  // namespace

TShapefileOutput::TShapefileOutput(int conversionType, std::string newShp, TLocalDbf& table,
                                   std::unique_ptr<TOutputStream> shp,
                                   std::unique_ptr<TOutputStream> shx)
    : ConversionType(conversionType),
      TextRows(IsTextConversion(conversionType)),
      NewShp(std::move(newShp)),
      Table(table),
      Writer(ShapeTypeOf(conversionType), std::move(shp), std::move(shx)) {}

void RunConversion(TLineReader& mif, TLineReader& mid, std::deque<TShapefileOutput>& outputs,
                   const TTableLayout& layout, const TConversionHooks& hooks,
                   const std::string& mifPath, bool writeEmpty, TConversionReport& report,
                   std::optional<std::int64_t>& failedLine) {
    TConversionRun run(mif, mid, outputs, hooks, mifPath);
    // However the run ends, what it counted reaches the report, and a failed run lets go of
    // its tables before they are replaced or removed.
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
                outcome.RecordsWritten = Run.RecordsWritten(Outputs[i]);
                outcome.Written = WriteEmpty || outcome.RecordsWritten > 0;
                Report.RecordsWritten += outcome.RecordsWritten;
            }
            Report.RowsOverSeveralLines = Run.RowsOverSeveralLines();
            Report.ValuesLeftEmpty = Run.ValuesLeftEmpty();
            Report.Objects = Run.Objects();
        }
    } end{run, outputs, report, writeEmpty, failedLine};
    run.Run(layout);
}

}  // namespace varnelo
