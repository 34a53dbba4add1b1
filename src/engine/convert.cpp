// SPDX-License-Identifier: MIT
#include "engine/convert.hpp"

#include <sys/stat.h>

#include <filesystem>
#include <optional>

#include "engine/attribute_table.hpp"
#include "engine/code_page.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_header.hpp"
#include "engine/mif_objects.hpp"
#include "engine/sidecar_files.hpp"
#include "engine/text_ops.hpp"
#include "shape/errors.hpp"
#include "shape/geometry.hpp"
#include "shape/local_dbf.hpp"
#include "shape/output_stream.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {

TTableOwner::TTableOwner() = default;
TTableOwner::~TTableOwner() = default;

TLocalDbf& TTableOwner::CreateTable() {
    tables_.push_back(std::make_unique<TLocalDbf>());
    return *tables_.back();
}

std::string ChangeFileExt(std::string_view path, std::string_view ext) {
    const std::size_t slash = path.find_last_of('/');
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    const std::size_t dot = path.find_last_of('.');
    const std::size_t stem = dot != std::string_view::npos && dot >= nameStart ? dot : path.size();
    std::string result(path.substr(0, stem));
    result += ext;
    return result;
}

namespace {

constexpr std::string_view kPreparingText = "変換の準備をしています。";
constexpr std::string_view kConvertingSuffix = "を変換しています。";
constexpr std::string_view kFinishingText = "変換の後処理をしています。";
constexpr std::string_view kTargetIsSourceText =
    "出力先のファイルが変換元のファイルと同じため変換できません";
constexpr std::uint64_t kProgressStep = std::uint64_t{1} << 20;

// The object keywords the driver knows, in the order it tests them. Each one takes one
// .mid line, converted or not.
enum class TKeyword {
    None,
    Point,
    Line,
    Pline,
    Region,
    Arc,
    Text,
    Rect,
    RoundRect,
    Ellipse,
    Other
};

bool SameLetters(std::string_view word, std::string_view upper) noexcept {
    if (word.size() != upper.size()) {
        return false;
    }
    for (std::size_t i = 0; i < word.size(); ++i) {
        const char c = word[i];
        if ((c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) != upper[i]) {
            return false;
        }
    }
    return true;
}

// The keyword a line's first field names, its ASCII letters compared without regard to
// case; a double-byte character never matches, as no keyword holds one.
TKeyword KeywordOf(std::string_view word) {
    static constexpr std::pair<std::string_view, TKeyword> kTable[] = {
        {"POINT", TKeyword::Point},     {"LINE", TKeyword::Line},
        {"PLINE", TKeyword::Pline},     {"REGION", TKeyword::Region},
        {"ARC", TKeyword::Arc},         {"TEXT", TKeyword::Text},
        {"RECT", TKeyword::Rect},       {"ROUNDRECT", TKeyword::RoundRect},
        {"ELLIPSE", TKeyword::Ellipse}, {"MULTIPOINT", TKeyword::Other},
        {"NONE", TKeyword::Other},
    };
    if (word.size() < 3 || word.size() > 10) {
        return TKeyword::None;  // shorter or longer than every keyword
    }
    for (const auto& [upper, keyword] : kTable) {
        if (SameLetters(word, upper)) {
            return keyword;
        }
    }
    return TKeyword::None;
}

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
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// True when `target` names the same file as one of the sources, however it is spelled.
bool IsSourceFile(const std::string& target, const std::string& mif, const std::string& mid) {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const auto* source : {&mif, &mid}) {
        if (fs::equivalent(target, *source, ec)) {
            return true;
        }
    }
    return false;
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

// The state of one conversion between opening the files and finishing them.
class TConversionRun {
  public:
    TConversionRun(int conversionType, TLineReader& mif, TLineReader& mid, TOutputStream& shp,
                   TOutputStream& shx, const TConversionHooks& hooks)
        : type_(conversionType), mif_(mif), mid_(mid), shp_(shp), shx_(shx), hooks_(hooks) {
        header_.ShapeType = ShapeTypeOf(conversionType);
    }

    void Run(const std::string& dbfPath, TLocalDbf& table) {
        TMifHeaderInfo header;
        ReadMifHeader(mif_, &header);
        TSFColumns columns;
        ReadMifColumns(mif_, columns);
        if (type_ == ctTextAsPoint || type_ == ctTextAsLine) {
            columns.assign(1, TSFColumn{"MIF_TEXT", 0, 100});
        }
        // Names and texts are cut on the character boundaries of the source's character set.
        const TCharacterSet characters = CodePageOfCharset(header.Charset).Characters;
        ColumnsToDbfFields(columns, characters);
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
            const TKeyword kind = KindOfFirstField(line);
            if (kind == TKeyword::None) {
                continue;
            }
            CollapseBlanksInto(line, keywordLine);
            // Only the .mif is read while the object is converted, so the .mid line can
            // stay where the reader holds it.
            midLine_ = mid_.ReadLineView();
            ConvertObject(kind, keywordLine);
            ReportProgress();
        }
    }

    // The keyword named by field 1 of the line by the field rules, so a quoted first word
    // counts as its content. The word is judged while the scanner lives: a quoted field with
    // doubled quotes is held by the scanner itself.
    static TKeyword KindOfFirstField(std::string_view line) {
        TFieldScanner fields(line, ' ');
        return fields.Next() ? KeywordOf(fields.Field()) : TKeyword::None;
    }

    void ConvertObject(TKeyword kind, std::string_view line) {
        switch (kind) {
            case TKeyword::Point:
                if (type_ == ctPoint) {
                    ReadMifPoint(line, mif_, point_);
                    WritePoint(midLine_);
                }
                break;
            case TKeyword::Line:
            case TKeyword::Pline:
            case TKeyword::Arc:
                if (type_ == ctPolyLine) {
                    if (kind == TKeyword::Line) {
                        ReadMifLine(line, mif_, polyLine_);
                    } else if (kind == TKeyword::Pline) {
                        ReadMifPline(line, mif_, polyLine_);
                    } else {
                        ReadMifArc(line, mif_, polyLine_);
                    }
                    WritePolyLine(midLine_);
                }
                break;
            case TKeyword::Region:
            case TKeyword::Rect:
            case TKeyword::RoundRect:
            case TKeyword::Ellipse:
                if (type_ == ctPolygon) {
                    if (kind == TKeyword::Region) {
                        ReadMifRegion(line, mif_, polygon_);
                    } else if (kind == TKeyword::Ellipse) {
                        ReadMifEllipse(line, mif_, polygon_);
                    } else {
                        ReadMifRect(line, mif_, polygon_);
                    }
                    WritePolygon(midLine_);
                }
                break;
            case TKeyword::Text:
                if (type_ == ctTextAsPoint) {
                    ReadMifTextPoint(line, mif_, text_, point_);
                    WritePoint(text_);
                } else if (type_ == ctTextAsLine) {
                    ReadMifTextLine(line, mif_, text_, polyLine_);
                    WritePolyLine(text_);
                }
                break;
            case TKeyword::Other:
            case TKeyword::None:
                break;
        }
    }

    void WritePoint(std::string_view row) {
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
        AppendRow(row);
    }

    void WritePolyLine(std::string_view row) {
        const std::int32_t number = records_ + 1;
        WriteIndexEntry(PolyLineContentLength(polyLine_));
        WritePolyLineRecord(shp_, number, polyLine_);
        records_ = number;
        FoldBox(number, polyLine_.Box);
        AppendRow(row);
    }

    void WritePolygon(std::string_view row) {
        const std::int32_t number = records_ + 1;
        NormalizePolygonRing(polygon_);
        WriteIndexEntry(PolygonContentLength(polygon_));
        WriteNormalizedPolygonRecord(shp_, number, polygon_);
        records_ = number;
        FoldBox(number, polygon_.Box);
        AppendRow(row);
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

    void AppendRow(std::string_view row) {
        if (type_ == ctTextAsPoint || type_ == ctTextAsLine) {
            AppendDbfTextRecord(*table_, row);
        } else if (hooks_.PlainRowWriter) {
            hooks_.PlainRowWriter(*table_, row);
        } else {
            AppendDbfRecord(*table_, row);
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
    TLocalDbf* table_ = nullptr;
    TShpHeader header_{};
    // Records written to the .shp in full; the next one gets the number after it, and a
    // record whose writing fails is not counted.
    std::int32_t records_ = 0;
    std::uint64_t nextProgress_ = 0;
    std::string_view midLine_;
    std::string text_;
    TShpPoint point_;
    TSFPolyLine polyLine_;
    TSFPolygon polygon_;
};

}  // namespace

bool ConvertMifToShp(int conversionType, const std::string& mifPath, const std::string& shpPath,
                     const TConversionHooks& hooks) {
    const std::string midPath = ChangeFileExt(mifPath, ".mid");
    if (!FileExists(mifPath) || !FileExists(midPath)) {
        return false;
    }
    const std::string shxPath = ChangeFileExt(shpPath, ".shx");
    const std::string dbfPath = ChangeFileExt(shpPath, ".dbf");
    const std::string cpgPath = ChangeFileExt(shpPath, ".cpg");
    const std::string prjPath = ChangeFileExt(shpPath, ".prj");
    for (const auto* target : {&shpPath, &shxPath, &dbfPath, &cpgPath, &prjPath}) {
        if (IsSourceFile(*target, mifPath, midPath)) {
            if (hooks.Report != nullptr) {
                hooks.Report->ErrorText = std::string(kTargetIsSourceText) + ": " + *target;
            }
            return false;
        }
    }

    ShowStatus(hooks, "");
    ShowStatus(hooks, kPreparingText);
    TLineReader mif = TLineReader::FromFile(mifPath);
    TLineReader mid = TLineReader::FromFile(midPath);
    const auto createOutput = hooks.CreateOutput ? hooks.CreateOutput : CreateFileOutputStream;
    auto shp = createOutput(shpPath);
    auto shx = createOutput(shxPath);
    ShowStatus(hooks, "");
    ShowStatus(hooks, mifPath + std::string(kConvertingSuffix));

    TTableOwner privateOwner;
    TLocalDbf& table = (hooks.Owner != nullptr ? *hooks.Owner : privateOwner).CreateTable();
    if (hooks.TableStorage) {
        table.SetStorageFactory(hooks.TableStorage);
    }
    TConversionRun run(conversionType, mif, mid, *shp, *shx, hooks);
    bool ok = false;
    try {
        run.Run(dbfPath, table);
        ok = true;
    } catch (const std::exception& e) {
        // A failed conversion lets go of its table so the target can be written again.
        CloseQuietly(table);
        if (hooks.Report != nullptr) {
            hooks.Report->ErrorText = e.what();
            hooks.Report->FailedLine = mif.LineNumber();
        }
    }
    if (hooks.Report != nullptr) {
        hooks.Report->RecordsWritten = run.Records();
    }
    ShowStatus(hooks, kFinishingText);
    shp.reset();
    shx.reset();
    ShowStatus(hooks, "");
    return ok;
}

}  // namespace varnelo
