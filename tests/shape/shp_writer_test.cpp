// SPDX-License-Identifier: MIT
#include "shape/shp_writer.hpp"
#include "shape/shapefile_writer.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "../support/expect_message.hpp"
#include "../support/expected_bytes.hpp"
#include "../support/polygon_of.hpp"
#include "../support/run_command.hpp"
#include "os/process.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::MessageOf;
using testing::PolygonOf;
using testing::SameBytes;
using testing::TExpectedBytes;

constexpr std::uint64_t k2GiB = std::uint64_t{1} << 31;

std::string TooLargeText() {
    return Text(TText::kShapeFileTooLarge);
}

TExpectedBytes ExpectedHeader(std::int32_t fileLength, std::int32_t shapeType, TShpBox box) {
    TExpectedBytes bytes;
    bytes.Int32BE(9994).Zeros(20).Int32BE(fileLength).Int32LE(1000).Int32LE(shapeType);
    bytes.DoubleLE(box.Xmin).DoubleLE(box.Ymin).DoubleLE(box.Xmax).DoubleLE(box.Ymax);
    return bytes.Zeros(32);
}

TExpectedBytes ExpectedPointRecord(std::int32_t number, double x, double y) {
    TExpectedBytes bytes;
    bytes.Int32BE(number).Int32BE(10).Int32LE(1).DoubleLE(x).DoubleLE(y);
    return bytes;
}

TExpectedBytes ExpectedMultiPartRecord(std::int32_t number, std::int32_t shapeType,
                                       const TSFMultiPart& shape) {
    TExpectedBytes bytes;
    bytes.Int32BE(number).Int32BE(22 + 2 * shape.NumParts + 8 * shape.NumPoints);
    bytes.Int32LE(shapeType);
    bytes.DoubleLE(shape.Box.Xmin).DoubleLE(shape.Box.Ymin);
    bytes.DoubleLE(shape.Box.Xmax).DoubleLE(shape.Box.Ymax);
    bytes.Int32LE(shape.NumParts).Int32LE(shape.NumPoints);
    for (std::int32_t k = 0; k < shape.NumParts; ++k) {
        bytes.Int32LE(shape.Parts[k]);
    }
    for (std::int32_t i = 0; i < shape.NumPoints; ++i) {
        bytes.DoubleLE(shape.Points[i].X).DoubleLE(shape.Points[i].Y);
    }
    return bytes;
}

TExpectedBytes ExpectedShxEntry(std::int32_t offsetWords, std::int32_t contentLength) {
    TExpectedBytes bytes;
    bytes.Int32BE(offsetWords).Int32BE(contentLength);
    return bytes;
}

// A shapefile written to memory, started: the bytes are read back from its two streams.
struct TPairInMemory {
    explicit TPairInMemory(std::int32_t shapeType)
        : Writer(shapeType, std::make_unique<TMemoryOutputStream>(),
                 std::make_unique<TMemoryOutputStream>()) {
        Writer.Start();
    }
    const std::vector<std::byte>& Shp() const { return BytesOf(Writer.Shp()); }
    const std::vector<std::byte>& Shx() const { return BytesOf(Writer.Shx()); }

    static const std::vector<std::byte>& BytesOf(TOutputStream& stream) {
        return static_cast<TMemoryOutputStream&>(stream).Bytes();
    }
    mutable TShapefileWriter Writer;
};

// A stream whose first byte sits at a far offset, standing in for a file that has already
// grown close to the size limit.
class TFarStream final : public TOutputStream {
  public:
    explicit TFarStream(std::uint64_t origin) : origin_(origin) {}
    void Write(const void* data, std::size_t count) override { tail_.Write(data, count); }
    void Seek(std::uint64_t position) override { tail_.Seek(position - origin_); }
    std::uint64_t Position() const override { return origin_ + tail_.Position(); }
    std::uint64_t Size() const override { return origin_ + tail_.Size(); }
    void Flush() override {}
    void Close() override {}
    std::size_t BytesWritten() const { return tail_.Bytes().size(); }

  private:
    std::uint64_t origin_;
    TMemoryOutputStream tail_;
};

TEST(ShpHeader, PlacesBigAndLittleEndianFieldsAtTheirOffsets) {
    TMemoryOutputStream stream;
    const std::vector<std::byte> filler(150, std::byte{0xEE});
    stream.Write(filler.data(), filler.size());
    const TShpHeader header{0x01020304, 5, {1.5, -2.0, 3.25, 4.0}};
    WriteShpHeader(stream, header);

    EXPECT_EQ(stream.Position(), 100u);  // written at the start, whatever the position was
    const std::vector<std::byte> first100(stream.Bytes().begin(), stream.Bytes().begin() + 100);
    EXPECT_TRUE(SameBytes(first100, ExpectedHeader(0x01020304, 5, header.Box).Bytes()));
    const auto at = [&](std::size_t i) { return std::to_integer<int>(stream.Bytes()[i]); };
    EXPECT_EQ(at(24), 0x01);  // file length: most significant byte first
    EXPECT_EQ(at(27), 0x04);
    EXPECT_EQ(at(28), 0xE8);  // version: least significant byte first
    EXPECT_EQ(at(32), 0x05);
    EXPECT_EQ(at(100), 0xEE);  // the bytes after the header are left alone
}

TEST(ShpPair, WritesNoRecordAsTwoBareHeaders) {
    TPairInMemory pair(kShapeTypePolyLine);
    pair.Writer.Finish();
    const auto expected = ExpectedHeader(50, 3, {0, 0, 0, 0});
    EXPECT_TRUE(SameBytes(pair.Shp(), expected.Bytes()));
    EXPECT_TRUE(SameBytes(pair.Shx(), expected.Bytes()));
}

TEST(ShpPair, WritesOnePointWithItsDegenerateBox) {
    TPairInMemory pair(kShapeTypePoint);
    pair.Writer.Append(TShpPoint{12.5, -3.0});
    pair.Writer.Finish();
    const TShpBox box{12.5, -3.0, 12.5, -3.0};
    EXPECT_TRUE(SameBytes(
        pair.Shp(), ExpectedHeader(64, 1, box).Append(ExpectedPointRecord(1, 12.5, -3.0)).Bytes()));
    EXPECT_TRUE(
        SameBytes(pair.Shx(), ExpectedHeader(54, 1, box).Append(ExpectedShxEntry(50, 10)).Bytes()));
    EXPECT_EQ(pair.Shp().size(), 128u);
    EXPECT_EQ(pair.Shx().size(), 108u);
}

TEST(ShpPair, WritesThreePointsWithConsecutiveNumbersAndOffsets) {
    TPairInMemory pair(kShapeTypePoint);
    pair.Writer.Append(TShpPoint{1, 2});
    pair.Writer.Append(TShpPoint{3, -4});
    pair.Writer.Append(TShpPoint{-5, 6});
    pair.Writer.Finish();
    const TShpBox box{-5, -4, 3, 6};
    EXPECT_TRUE(SameBytes(pair.Shp(), ExpectedHeader(92, 1, box)
                                          .Append(ExpectedPointRecord(1, 1, 2))
                                          .Append(ExpectedPointRecord(2, 3, -4))
                                          .Append(ExpectedPointRecord(3, -5, 6))
                                          .Bytes()));
    EXPECT_TRUE(SameBytes(pair.Shx(), ExpectedHeader(62, 1, box)
                                          .Append(ExpectedShxEntry(50, 10))
                                          .Append(ExpectedShxEntry(64, 10))
                                          .Append(ExpectedShxEntry(78, 10))
                                          .Bytes()));
}

TEST(ShpPair, WritesRectangleAsClosedClockwiseRing) {
    TPairInMemory pair(kShapeTypePolygon);
    TSFPolygon rectangle = PolygonOf({{{1, 2}, {5, 2}, {5, 7}, {1, 7}}});
    pair.Writer.Append(rectangle);
    pair.Writer.Finish();

    const TShpBox box{1, 2, 5, 7};
    TExpectedBytes record;
    record.Int32BE(1).Int32BE(64).Int32LE(5);
    record.DoubleLE(1).DoubleLE(2).DoubleLE(5).DoubleLE(7);
    record.Int32LE(1).Int32LE(5).Int32LE(0);
    for (const TShpPoint& p : {TShpPoint{1, 7}, {5, 7}, {5, 2}, {1, 2}, {1, 7}}) {
        record.DoubleLE(p.X).DoubleLE(p.Y);
    }
    EXPECT_TRUE(SameBytes(pair.Shp(), ExpectedHeader(118, 5, box).Append(record).Bytes()));
    EXPECT_TRUE(
        SameBytes(pair.Shx(), ExpectedHeader(54, 5, box).Append(ExpectedShxEntry(50, 64)).Bytes()));
}

TEST(ShpPair, IndexLengthMatchesRecordLengthOfNormalisedPolygons) {
    TPairInMemory pair(kShapeTypePolygon);
    // Open rings: an outer square and a hole; normalising adds one point to each.
    TSFPolygon holed =
        PolygonOf({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{2, 2}, {2, 8}, {8, 8}, {8, 2}}});
    TSFPolygon triangle = PolygonOf({{{20, 0}, {20, 1}, {21, 0}, {20, 0}}});
    pair.Writer.Append(holed);
    pair.Writer.Append(triangle);
    pair.Writer.Finish();

    const std::int32_t first = 22 + 2 * 2 + 8 * 10;
    const std::int32_t second = 22 + 2 * 1 + 8 * 4;
    EXPECT_TRUE(SameBytes(pair.Shx(), ExpectedHeader(58, 5, {0, 0, 21, 10})
                                          .Append(ExpectedShxEntry(50, first))
                                          .Append(ExpectedShxEntry(50 + 4 + first, second))
                                          .Bytes()));
    EXPECT_EQ(pair.Shp().size(), 100u + 8 + 2 * first + 8 + 2 * second);
    // Each record header repeats the index entry's length.
    const auto word = [&](std::size_t at) {
        return (std::to_integer<int>(pair.Shp()[at + 2]) << 8) |
               std::to_integer<int>(pair.Shp()[at + 3]);
    };
    EXPECT_EQ(word(104), first);
    EXPECT_EQ(word(100 + 8 + 2 * first + 4), second);
}

// A two-point line from (0, 0) to (2, 1) as encoded elsewhere, under the number 9.
TExpectedBytes EncodedLineRecord() {
    TExpectedBytes record;
    record.Int32BE(9).Int32BE(40).Int32LE(3);
    record.DoubleLE(0).DoubleLE(0).DoubleLE(2).DoubleLE(1);
    record.Int32LE(1).Int32LE(2).Int32LE(0);
    record.DoubleLE(0).DoubleLE(0).DoubleLE(2).DoubleLE(1);
    return record;
}

TEST(ShpPair, WritesEncodedRecordsUnderTheNextNumbers) {
    const TExpectedBytes encoded = EncodedLineRecord();
    TPairInMemory pair(kShapeTypePolyLine);
    EXPECT_EQ(pair.Writer.AppendEncoded(encoded.Bytes().data()), 88u);
    EXPECT_EQ(pair.Writer.AppendEncoded(encoded.Bytes().data()), 88u);
    pair.Writer.FoldBox({0, 0, 2, 1});
    pair.Writer.Finish();

    TExpectedBytes content;
    content.Int32LE(3).DoubleLE(0).DoubleLE(0).DoubleLE(2).DoubleLE(1);
    content.Int32LE(1).Int32LE(2).Int32LE(0);
    content.DoubleLE(0).DoubleLE(0).DoubleLE(2).DoubleLE(1);
    const TShpBox box{0, 0, 2, 1};
    EXPECT_TRUE(SameBytes(pair.Shp(), ExpectedHeader(138, 3, box)
                                          .Int32BE(1)
                                          .Int32BE(40)
                                          .Append(content)
                                          .Int32BE(2)
                                          .Int32BE(40)
                                          .Append(content)
                                          .Bytes()));
    EXPECT_TRUE(SameBytes(pair.Shx(), ExpectedHeader(58, 3, box)
                                          .Append(ExpectedShxEntry(50, 40))
                                          .Append(ExpectedShxEntry(94, 40))
                                          .Bytes()));
}

TEST(PolyLineRecord, WritesEveryFieldInItsOrder) {
    TSFPolyLine line;
    line.Parts = {0, 2};
    line.Points = {{1, 2}, {3, 4}, {5, 6}};
    line.NumParts = 2;
    line.NumPoints = 3;
    line.Box = {-9, -8, 9, 8};  // written as held, not recomputed from the points
    TMemoryOutputStream stream;
    WritePolyLineRecord(stream, 7, line);
    EXPECT_TRUE(SameBytes(stream.Bytes(), ExpectedMultiPartRecord(7, 3, line).Bytes()));
    EXPECT_EQ(PolyLineContentLength(line), 22 + 4 + 24);
}

TEST(PolyLineRecord, WritesEmptyLineAsFiftyTwoBytes) {
    TMemoryOutputStream stream;
    WritePolyLineRecord(stream, 1, TSFPolyLine{});
    EXPECT_EQ(stream.Size(), 52u);
    EXPECT_TRUE(SameBytes(stream.Bytes(), ExpectedMultiPartRecord(1, 3, TSFPolyLine{}).Bytes()));
}

TEST(PolyLineRecord, WritesLongLinesAcrossInternalBlocks) {
    TSFPolyLine line;
    for (int i = 0; i < 1000; ++i) {
        line.Points.push_back({i * 0.5, -i * 0.25});
    }
    line.Parts = {0};
    line.NumParts = 1;
    line.NumPoints = 1000;
    CalcShapeBox(line);
    TMemoryOutputStream stream;
    WritePolyLineRecord(stream, 3, line);
    EXPECT_TRUE(SameBytes(stream.Bytes(), ExpectedMultiPartRecord(3, 3, line).Bytes()));
}

TEST(PolygonRecord, LeavesTheCallerWithTheNormalisedPolygon) {
    TSFPolygon closedClockwise = PolygonOf({{{0, 0}, {0, 1}, {1, 0}, {0, 0}}});
    TMemoryOutputStream unchanged;
    WritePolygonRecord(unchanged, 1, closedClockwise);
    EXPECT_EQ(closedClockwise.NumPoints, 4);
    EXPECT_TRUE(
        SameBytes(unchanged.Bytes(), ExpectedMultiPartRecord(1, 5, closedClockwise).Bytes()));

    TSFPolygon open = PolygonOf({{{0, 0}, {1, 0}, {0, 1}}});
    TMemoryOutputStream stream;
    WritePolygonRecord(stream, 2, open);
    EXPECT_EQ(open.NumPoints, 4);
    EXPECT_THAT(open.Points, ::testing::ElementsAre(TShpPoint{0, 1}, TShpPoint{1, 0},
                                                    TShpPoint{0, 0}, TShpPoint{0, 1}));
    EXPECT_TRUE(SameBytes(stream.Bytes(), ExpectedMultiPartRecord(2, 5, open).Bytes()));
}

TEST(PolygonRecord, AnAlreadyNormalisedPolygonIsWrittenAsItStands) {
    // An outer ring and a hole, both open and oriented the wrong way round.
    TSFPolygon polygon = PolygonOf({{{0, 0}, {4, 0}, {4, 4}, {0, 4}}, {{1, 1}, {1, 2}, {2, 2}}});
    NormalizePolygonRing(polygon);
    TSFPolygon again = polygon;
    TMemoryOutputStream normalised;
    WriteNormalizedPolygonRecord(normalised, 7, polygon);
    TMemoryOutputStream plain;
    WritePolygonRecord(plain, 7, again);
    EXPECT_TRUE(SameBytes(normalised.Bytes(), plain.Bytes()));
    EXPECT_TRUE(SameBytes(normalised.Bytes(), ExpectedMultiPartRecord(7, 5, polygon).Bytes()));
}

TEST(ContentLength, CountsWordsAndSaturatesBeyondTheRange) {
    EXPECT_EQ(PointContentLength({}), 10);
    TSFPolygon huge;
    huge.NumParts = 1;
    huge.NumPoints = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(PolygonContentLength(huge), std::numeric_limits<std::int32_t>::max());
    huge.NumPoints = 5;
    EXPECT_EQ(PolygonContentLength(huge), 64);
}

TEST(ShxRecord, HalvesTheByteOffset) {
    TMemoryOutputStream stream;
    WriteShxRecord(stream, 100, 10);
    WriteShxRecord(stream, 0x7FFFFFFE, 0x01020304);
    EXPECT_TRUE(SameBytes(
        stream.Bytes(),
        ExpectedShxEntry(50, 10).Append(ExpectedShxEntry(0x3FFFFFFF, 0x01020304)).Bytes()));
}

TEST(SizeLimit, RefusesARecordEndingBeyondTwoGigabytesBeforeWritingIt) {
    EXPECT_TRUE(RecordFits(k2GiB - 30, 10));   // ends at 2^31 - 2
    EXPECT_FALSE(RecordFits(k2GiB - 28, 10));  // would end at 2^31
    EXPECT_FALSE(RecordFits(100, std::numeric_limits<std::int32_t>::max()));
    EXPECT_FALSE(RecordFits(k2GiB * 4, 10));

    TFarStream fits(k2GiB - 30);
    WritePointRecord(fits, 1, {1, 2});
    EXPECT_EQ(fits.Size(), k2GiB - 2);

    TFarStream full(k2GiB - 28);
    EXPECT_EQ(MessageOf([&] { WritePointRecord(full, 1, {1, 2}); }), TooLargeText());
    TSFPolygon square = PolygonOf({{{0, 0}, {0, 1}, {1, 1}, {1, 0}}});
    EXPECT_THROW(WritePolygonRecord(full, 2, square), EInOutError);
    EXPECT_EQ(full.BytesWritten(), 0u);
    EXPECT_THROW(EnsureRecordFits(full.Size(), 10), EInOutError);
}

TEST(SizeLimit, WriterRefusesARecordBeyondTwoGigabytesBeforeWritingEitherFile) {
    auto far = std::make_unique<TFarStream>(k2GiB - 80);
    const TFarStream& shp = *far;
    TShapefileWriter writer(kShapeTypePolyLine, std::move(far),
                            std::make_unique<TMemoryOutputStream>());
    const TExpectedBytes encoded = EncodedLineRecord();
    EXPECT_EQ(MessageOf([&] { writer.AppendEncoded(encoded.Bytes().data()); }), TooLargeText());
    EXPECT_EQ(shp.BytesWritten(), 0u);
    EXPECT_EQ(writer.Shx().Size(), 0u);
    EXPECT_EQ(writer.Records(), 0);
}

TEST(SizeLimit, RefusesAnIndexEntryEndingBeyondTwoGigabytes) {
    TFarStream fits(k2GiB - 10);
    WriteShxRecord(fits, 100, 10);
    EXPECT_EQ(fits.Size(), k2GiB - 2);

    TFarStream full(k2GiB - 8);
    EXPECT_EQ(MessageOf([&] { WriteShxRecord(full, 100, 10); }), TooLargeText());
    EXPECT_EQ(full.BytesWritten(), 0u);
}

TEST(RecordWriters, RefuseCountsBeyondTheArraysBeforeWriting) {
    TSFPolyLine line;
    line.NumParts = 1;
    line.NumPoints = 2;
    line.Parts = {0};
    line.Points = {{0, 0}};
    TMemoryOutputStream stream;
    EXPECT_EQ(MessageOf([&] { WritePolyLineRecord(stream, 1, line); }),
              Text(TText::kShapeInconsistentShape));
    line.NumPoints = -1;
    EXPECT_THROW(WritePolyLineRecord(stream, 1, line), Exception);
    EXPECT_EQ(stream.Size(), 0u);
}

TEST(RecordWriters, RaiseStreamWriteErrorOnAShortWrite) {
    TSFPolyLine line;
    line.Parts = {0};
    line.Points.assign(500, TShpPoint{1, 1});
    line.NumParts = 1;
    line.NumPoints = 500;
    TMemoryOutputStream target;
    TFaultInjectingOutputStream stream(target, 5000);
    EXPECT_EQ(MessageOf([&] { WritePolyLineRecord(stream, 1, line); }),
              "ストリームへの書き込みエラー");

    TMemoryOutputStream headerTarget;
    TFaultInjectingOutputStream headerStream(headerTarget, 99);
    EXPECT_THROW(WriteShpHeader(headerStream, TShpHeader{}), EWriteError);
}

// --- Files on disk -------------------------------------------------------------------------

class ShpFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("varnelo_shp_writer_" + std::to_string(os::ProcessId()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string Path(const std::string& name) const { return (dir_ / name).string(); }

    static std::string ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    template <class Fill>
    void WritePair(const std::string& stem, std::int32_t shapeType, Fill fill) {
        TShapefileWriter writer(shapeType, CreateFileOutputStream(Path(stem + ".shp")),
                                CreateFileOutputStream(Path(stem + ".shx")));
        writer.Start();
        fill(writer);
        writer.Finish();
    }

    fs::path dir_;
};

TEST_F(ShpFiles, WritingTheSameShapesTwiceGivesIdenticalFiles) {
    const auto fill = [](TShapefileWriter& writer) {
        writer.Append(TShpPoint{1, 2});
        writer.Append(TShpPoint{3, 4});
    };
    WritePair("points", kShapeTypePoint, fill);
    const std::string firstShp = ReadFile(Path("points.shp"));
    WritePair("points", kShapeTypePoint, fill);
    EXPECT_EQ(ReadFile(Path("points.shp")), firstShp);
    EXPECT_EQ(firstShp.size(), 156u);
    EXPECT_EQ(ReadFile(Path("points.shx")).size(), 116u);
}

TEST_F(ShpFiles, IndependentReaderSeesOuterRingAndHole) {
    if (!testing::HaveTool("shpdump")) {
        GTEST_SKIP() << testing::NoToolReason("shpdump");
    }
    WritePair("holes", kShapeTypePolygon, [](TShapefileWriter& writer) {
        TSFPolygon holed =
            PolygonOf({{{0, 0}, {10, 0}, {10, 10}, {0, 10}}, {{2, 2}, {2, 8}, {8, 8}, {8, 2}}});
        writer.Append(holed);
    });
    const std::string command = "shpdump -validate '" + Path("holes.shp") + "' 2>&1";
    const testing::TCommandResult run = testing::RunCommand(command);
    const std::string& output = run.Output;
    ASSERT_EQ(run.ExitCode, 0) << output;
    EXPECT_THAT(output, ::testing::HasSubstr("Shapefile Type: Polygon"));
    EXPECT_THAT(output, ::testing::HasSubstr("# of Shapes: 1"));
    EXPECT_THAT(output, ::testing::HasSubstr("nVertices=10, nParts=2"));
    EXPECT_THAT(output, ::testing::HasSubstr("0 object has invalid ring orderings"));
    EXPECT_THAT(output, ::testing::Not(::testing::HasSubstr("wrong direction")));
}

}  // namespace
}  // namespace varnelo
