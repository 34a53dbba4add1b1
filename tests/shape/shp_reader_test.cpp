// SPDX-License-Identifier: MIT
#include "shape/shp_reader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "../support/expect_message.hpp"
#include "../support/run_command.hpp"
#include "../support/temp_dir.hpp"
#include "shape/errors.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Writes a pair as the converter does: placeholder headers, then per shape its index entry,
// its record and its box, then the finished headers.
class PairWriter {
  public:
    explicit PairWriter(std::int32_t shapeType) {
        header_.ShapeType = shapeType;
        WriteShpHeader(shp_, header_);
        WriteShxHeader(shx_, header_);
    }
    void Add(const TShpPoint& point) {
        Index(PointContentLength(point));
        WritePointRecord(shp_, count_, point);
        Fold(TShpBox{point.X, point.Y, point.X, point.Y});
    }
    void Add(const TSFPolyLine& line) {
        Index(PolyLineContentLength(line));
        WritePolyLineRecord(shp_, count_, line);
        Fold(line.Box);
    }
    void Add(TSFPolygon polygon) {
        NormalizePolygonRing(polygon);
        Index(PolygonContentLength(polygon));
        WritePolygonRecord(shp_, count_, polygon);
        Fold(polygon.Box);
    }
    // The finished pair as memory files "t.shp" and "t.shx".
    std::shared_ptr<TMemoryFileSet> Finish() {
        header_.FileLength = static_cast<std::int32_t>(shp_.Size() / 2);
        WriteShpHeader(shp_, header_);
        header_.FileLength = static_cast<std::int32_t>(shx_.Size() / 2);
        WriteShxHeader(shx_, header_);
        auto files = std::make_shared<TMemoryFileSet>();
        for (const auto& [name, stream] : {std::pair{"t.shp", &shp_}, std::pair{"t.shx", &shx_}}) {
            auto file = std::make_shared<TMemoryFile>();
            file->Bytes.assign(reinterpret_cast<const char*>(stream->Bytes().data()),
                               stream->Bytes().size());
            (*files)[name] = file;
        }
        return files;
    }

  private:
    void Index(std::int32_t contentLength) {
        ++count_;
        WriteShxRecord(shx_, static_cast<std::int32_t>(shp_.Size()), contentLength);
    }
    void Fold(const TShpBox& box) {
        count_ == 1 ? InitBoxFromBox(header_.Box, box) : ExtendBoxByBox(header_.Box, box);
    }
    TMemoryOutputStream shp_;
    TMemoryOutputStream shx_;
    TShpHeader header_;
    std::int32_t count_ = 0;
};

template <class Shape>
Shape MultiPart(std::vector<std::int32_t> parts, std::vector<TShpPoint> points) {
    Shape shape;
    shape.NumParts = static_cast<std::int32_t>(parts.size());
    shape.NumPoints = static_cast<std::int32_t>(points.size());
    shape.Parts = std::move(parts);
    shape.Points = std::move(points);
    CalcShapeBox(shape);
    return shape;
}

TShapefileReader Open(const std::shared_ptr<TMemoryFileSet>& files) {
    return TShapefileReader("t.shp", "t.shx", MakeMemoryStorageFactory(files));
}

std::vector<TShpPoint> PartPoints(const TShape& shape, std::size_t k) {
    const auto part = shape.Part(k);
    return {part.begin(), part.end()};
}

TEST(ShapefileReader, ReadsBackEveryKindOfRecordAsWritten) {
    PairWriter points(kShapeTypePoint);
    points.Add(TShpPoint{139.7671, 35.6812});
    points.Add(TShpPoint{-1.5, 2.25});
    auto pointReader = Open(points.Finish());
    EXPECT_EQ(pointReader.ShapeType(), kShapeTypePoint);
    EXPECT_EQ(pointReader.RecordCount(), 2);
    EXPECT_EQ(pointReader.Box(), (TShpBox{-1.5, 2.25, 139.7671, 35.6812}));
    TShape shape;
    pointReader.ReadShape(1, shape);
    EXPECT_THAT(shape.Points, ElementsAre(TShpPoint{-1.5, 2.25}));
    EXPECT_EQ(shape.Box, (TShpBox{-1.5, 2.25, -1.5, 2.25}));
    EXPECT_TRUE(shape.Parts.empty());

    PairWriter lines(kShapeTypePolyLine);
    const auto twoParts = MultiPart<TSFPolyLine>({0, 2}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 2}});
    lines.Add(twoParts);
    lines.Add(MultiPart<TSFPolyLine>({}, {}));
    auto lineReader = Open(lines.Finish());
    lineReader.ReadShape(0, shape);
    EXPECT_EQ(shape.ShapeType, kShapeTypePolyLine);
    EXPECT_EQ(shape.Box, (TShpBox{0, 0, 4, 3}));
    ASSERT_EQ(shape.Parts.size(), 2u);
    EXPECT_THAT(PartPoints(shape, 0), ElementsAre(TShpPoint{0, 0}, TShpPoint{1, 1}));
    EXPECT_THAT(PartPoints(shape, 1),
                ElementsAre(TShpPoint{2, 2}, TShpPoint{3, 3}, TShpPoint{4, 2}));
    lineReader.ReadShape(1, shape);  // the vectors of the last record are reused, not kept
    EXPECT_TRUE(shape.Parts.empty() && shape.Points.empty());

    PairWriter polygons(kShapeTypePolygon);
    polygons.Add(MultiPart<TSFPolygon>(
        {0, 4}, {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {2, 2}, {4, 2}, {4, 4}, {2, 4}}));
    auto polygonReader = Open(polygons.Finish());
    polygonReader.ReadShape(0, shape);
    EXPECT_EQ(shape.ShapeType, kShapeTypePolygon);
    EXPECT_EQ(shape.Points.size(), 10u);  // both rings closed
    EXPECT_THAT(PartPoints(shape, 1), ElementsAre(TShpPoint{2, 2}, TShpPoint{4, 2}, TShpPoint{4, 4},
                                                  TShpPoint{2, 4}, TShpPoint{2, 2}));
}

TEST(ShapefileReader, NullShapesAmongTheRecordsReadAsEmpty) {
    PairWriter lines(kShapeTypePolyLine);
    lines.Add(MultiPart<TSFPolyLine>({0}, {{0, 0}, {1, 1}}));
    auto files = lines.Finish();
    files->at("t.shp")->Bytes[108] = 0;  // the record's shape type
    auto reader = Open(files);
    TShape shape;
    reader.ReadShape(0, shape);
    EXPECT_TRUE(shape.IsNull());
    EXPECT_TRUE(shape.Points.empty());
}

// A polyline pair of two records: record 1 at byte 100, 2 parts {0, 2} and 4 points (content
// 116 bytes: type 108, box 112, NumParts 144, NumPoints 148, parts 152 and 156); record 2 at
// 224. Index entries at 100 and 108 of the .shx.
std::shared_ptr<TMemoryFileSet> TwoLines() {
    PairWriter lines(kShapeTypePolyLine);
    lines.Add(MultiPart<TSFPolyLine>({0, 2}, {{0, 0}, {1, 1}, {2, 2}, {3, 3}}));
    lines.Add(MultiPart<TSFPolyLine>({0}, {{5, 5}, {6, 6}}));
    return lines.Finish();
}

void PutInt32(std::string& bytes, std::size_t at, std::uint32_t value, bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> shift) & 0xFF);
    }
}

struct Damage {
    const char* what;
    std::function<void(std::string& shp, std::string& shx)> apply;
    const char* file;     // the file the message names
    const char* message;  // the part of the message after the file name
    bool atOpen;
};

TEST(ShapefileReader, DamagedFilesRaiseAClearErrorAndNothingElse) {
    const Damage cases[] = {
        {"short .shp", [](auto& shp, auto&) { shp.resize(60); }, "t.shp",
         "100 バイトのヘッダーがありません", true},
        {"file code", [](auto& shp, auto&) { shp[3] = 0; }, "t.shp",
         "ファイルコードが 9994 ではありません", true},
        {"version", [](auto&, auto& shx) { shx[28] = 0; }, "t.shx",
         "バージョンが 1000 ではありません", true},
        {"multipoint file", [](auto& shp, auto& shx) { shp[32] = shx[32] = 8; }, "t.shp",
         "シェープタイプ 8 には対応していません (点 1、ポリライン 3、ポリゴン 5 のみ)", true},
        {"placeholder header", [](auto& shp, auto&) { PutInt32(shp, 24, 0, true); }, "t.shp",
         "ヘッダーにファイル長がありません (書き込みが終わっていないファイルです)", true},
        {"cut .shp", [](auto& shp, auto&) { shp.resize(300); }, "t.shp",
         "ヘッダーのファイル長 312 バイトがファイルの大きさ 300 バイトを超えています "
         "(ファイルが途中で切れています)",
         true},
        {"index type", [](auto&, auto& shx) { shx[32] = 5; }, "t.shx",
         "シェープタイプ 5 が .shp のシェープタイプ 3 と異なります", true},
        {"index entry cut",
         [](auto&, auto& shx) {
             shx.resize(120);
             PutInt32(shx, 24, 60, true);
         },
         "t.shx", "インデックスの長さ 120 バイトがヘッダーと 8 バイトの項目に分かれません", true},
        {"offset beyond the file", [](auto&, auto& shx) { PutInt32(shx, 100, 0x7FFFFFFF, true); },
         "t.shp",
         "レコード 1: インデックスの位置 2147483647 と長さ 58 (16 ビット語) がファイルの範囲外です",
         false},
        {"offset in the header", [](auto&, auto& shx) { PutInt32(shx, 100, 10, true); }, "t.shp",
         "レコード 1: インデックスの位置 10 と長さ 58 (16 ビット語) がファイルの範囲外です", false},
        {"negative length", [](auto&, auto& shx) { PutInt32(shx, 104, 0xFFFFFFFF, true); }, "t.shp",
         "レコード 1: インデックスの位置 50 と長さ -1 (16 ビット語) がファイルの範囲外です", false},
        {"lengths differ", [](auto&, auto& shx) { PutInt32(shx, 104, 57, true); }, "t.shp",
         "レコード 1: 長さ 58 がインデックスの長さ 57 と異なります", false},
        {"record type", [](auto& shp, auto&) { shp[108] = 5; }, "t.shp",
         "レコード 1: シェープタイプ 5 がファイルのシェープタイプ 3 と異なります", false},
        {"no room for the type",
         [](auto& shp, auto& shx) {
             PutInt32(shx, 104, 1, true);
             PutInt32(shp, 104, 1, true);
         },
         "t.shp", "レコード 1: シェープタイプがありません", false},
        {"negative points", [](auto& shp, auto&) { PutInt32(shp, 148, 0xFFFFFFFF, false); },
         "t.shp", "レコード 1: パート数 2、点数 -1 が不正です", false},
        {"parts beyond the content",
         [](auto& shp, auto&) { PutInt32(shp, 144, 0x7FFFFFFF, false); }, "t.shp",
         "レコード 1: パート数 2147483647、点数 4 が内容の 116 バイトに収まりません", false},
        {"part beyond the points", [](auto& shp, auto&) { PutInt32(shp, 156, 5, false); }, "t.shp",
         "レコード 1: パート 2 の開始位置 5 が不正です (点数 4)", false},
        {"parts out of order", [](auto& shp, auto&) { PutInt32(shp, 152, 3, false); }, "t.shp",
         "レコード 1: パート 2 の開始位置 2 が不正です (点数 4)", false},
    };
    for (const Damage& damage : cases) {
        auto files = TwoLines();
        std::string& shp = files->at("t.shp")->Bytes;
        std::string& shx = files->at("t.shx")->Bytes;
        damage.apply(shp, shx);
        const std::string expected =
            std::string("\"") + damage.file + "\" を読めません: " + damage.message;
        try {
            auto reader = Open(files);
            ASSERT_FALSE(damage.atOpen) << damage.what;
            TShape shape;
            try {
                reader.ReadShape(0, shape);
                ADD_FAILURE() << damage.what << ": no error";
            } catch (const EShapefileError& e) {
                EXPECT_EQ(e.Message(), expected) << damage.what;
                EXPECT_TRUE(shape.IsNull() && shape.Parts.empty()) << damage.what;
            }
            reader.ReadShape(1, shape);  // the next record is still read
            EXPECT_THAT(shape.Points, ElementsAre(TShpPoint{5, 5}, TShpPoint{6, 6}));
        } catch (const EShapefileError& e) {
            EXPECT_TRUE(damage.atOpen) << damage.what << ": " << e.Message();
            EXPECT_EQ(e.Message(), expected) << damage.what;
        }
    }
}

TEST(ShapefileReader, MissingFilesAndRecordsAreNamed) {
    auto files = TwoLines();
    auto reader = Open(files);
    TShape shape;
    testing::ExpectError<EShapefileError>([&] { reader.ReadShape(2, shape); },
                                          "レコード 3 はありません (レコード数 2)");
    files->erase("t.shx");
    testing::ExpectError<EInOutError>([&] { Open(files); },
                                      "インデックスファイル \"t.shx\" が見つかりません");
}

TEST(ShapefileReader, DamageReadsInEnglishInAnEnglishRun) {
    auto files = TwoLines();
    PutInt32(files->at("t.shp")->Bytes, 156, 5, false);
    auto reader = Open(files);
    TShape shape;
    SetTextLanguage(TLanguage::English);
    testing::ExpectError<EShapefileError>(
        [&] { reader.ReadShape(0, shape); },
        "cannot read \"t.shp\": record 1: part 2 starts at 5, which is not valid (point count 4)");
    files->erase("t.shx");
    testing::ExpectError<EInOutError>([&] { Open(files); }, "index file \"t.shx\" not found");
    SetTextLanguage(TLanguage::Japanese);
}

// A shapefile written by another program (GDAL), read on disk: every record, and as many as
// GDAL counts. GDAL leaves out what does not fit the file's shape type (the stations
// sample's multipoint). Skipped when GDAL is not installed.
TEST(ShapefileReader, ReadsWhatGdalWrites) {
    if (!testing::HaveTool("ogr2ogr")) {
        GTEST_SKIP() << testing::NoToolReason("ogr2ogr");
    }
    testing::TempDir dir;
    const std::pair<const char*, std::int32_t> samples[] = {{"stations", kShapeTypePoint},
                                                            {"roads", kShapeTypePolyLine},
                                                            {"parcels", kShapeTypePolygon}};
    for (const auto& [sample, type] : samples) {
        const std::string shp = dir.Path(std::string(sample) + ".shp");
        const std::string command = std::string("ogr2ogr -skipfailures -f 'ESRI Shapefile' '") +
                                    shp + "' '" + VARNELO_SOURCE_DIR + "/samples/" + sample +
                                    ".mif' 2>&1";
        ASSERT_EQ(testing::RunCommand(command).ExitCode, 0) << command;
        const std::string info =
            testing::RunCommand("ogrinfo -ro -so -al '" + shp + "' 2>&1").Output;
        TShapefileReader reader(shp, dir.Path(std::string(sample) + ".shx"));
        EXPECT_EQ(reader.ShapeType(), type) << sample;
        EXPECT_THAT(info, HasSubstr("Feature Count: " + std::to_string(reader.RecordCount())))
            << sample;
        TShape shape;
        std::size_t points = 0;
        for (int i = 0; i < reader.RecordCount(); ++i) {
            reader.ReadShape(i, shape);
            points += shape.Points.size();
        }
        EXPECT_GT(points, 0u) << sample;
    }
}

}  // namespace
}  // namespace varnelo
