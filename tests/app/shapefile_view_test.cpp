// SPDX-License-Identifier: MIT
// Looking at a converted shapefile without a window: fitting and zooming the map, what a
// drawing pass hands to the canvas, which shape a click hits, opening a layer and searching
// its table, and the window commands that open one.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <limits>
#include <set>

#include "../support/temp_dir.hpp"
#include "app/main_logic.hpp"
#include "app/map_drawing.hpp"
#include "app/map_style.hpp"
#include "app/map_transform.hpp"
#include "app/preview_logic.hpp"
#include "app/shapefile_layer.hpp"
#include "engine/convert.hpp"
#include "fake_main_view.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using testing::TempDir;
using testing::TFakeMainView;
using testing::WriteFileBytes;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Converts a MIF body (objects, and the .mid rows) with one Char column NAME.
std::string Convert(const TempDir& dir, const std::string& name, int type,
                    const std::string& objects, const std::string& rows) {
    WriteFileBytes(dir.Path(name + ".mif"),
                   "Version 300\r\nCharset \"WindowsJapanese\"\r\nColumns 1\r\n  NAME Char(10)\r\n"
                   "Data\r\n" +
                       objects);
    WriteFileBytes(dir.Path(name + ".mid"), rows);
    const std::string shp = dir.Path(name + ".shp");
    EXPECT_TRUE(ConvertMifToShp(type, dir.Path(name + ".mif"), shp));
    return shp;
}

void ExpectAt(const TScreenPoint& actual, double x, double y) {
    EXPECT_NEAR(actual.X, x, 1e-9);
    EXPECT_NEAR(actual.Y, y, 1e-9);
}

TEST(MapTransform, FitsZoomsAboutTheMouseAndPlacesOldPictures) {
    TMapTransform t;
    t.Fit({0, 0, 100, 50}, 220, 120);  // 200 × 100 pixels inside the margin: 2 pixels a unit
    EXPECT_EQ(t.Scale(), 2.0);
    ExpectAt(t.ToScreen({0, 50}), 10, 10);
    ExpectAt(t.ToScreen({100, 0}), 210, 110);

    const TMapTransform before = t;
    const TShpPoint underMouse = t.ToWorld({30, 40});
    t.ZoomAt(2.5, {30, 40});
    ExpectAt(t.ToScreen(underMouse), 30, 40);
    t.PanBy(7, -3);
    ExpectAt(t.ToScreen(underMouse), 37, 37);
    // A picture drawn before lies where its map points now are.
    const auto place = t.PlacementOf(before);
    const TScreenPoint old = before.ToScreen({60, 20});
    ExpectAt({old.X * place.Scale + place.DX, old.Y * place.Scale + place.DY},
             t.ToScreen({60, 20}).X, t.ToScreen({60, 20}).Y);

    // Zooming stops at a limit rather than at numbers that are no longer finite.
    for (int i = 0; i < 2000; ++i) {
        t.ZoomAt(10, {5, 5});
    }
    EXPECT_EQ(t.Scale(), 2.0 * 1e9);
    EXPECT_TRUE(std::isfinite(t.ToWorld({0, 0}).X));

    // A single point shows one unit around it; a box a damaged header gives, the unit square.
    t.Fit({5, 5, 5, 5}, 120, 120);
    ExpectAt(t.ToScreen({5, 5}), 60, 60);
    EXPECT_EQ(t.Scale(), 100.0);
    t.Fit({kNaN, 0, 1, 1}, 120, 120);
    ExpectAt(t.ToScreen({0, 0}), 60, 60);
    t.Fit({-1e308, -1e308, 1e308, 1e308}, 120, 120);
    EXPECT_EQ(t.Scale(), 50.0);
}

// What a drawing pass hands to the canvas.
struct TRecordingCanvas final : IMapCanvas {
    std::vector<std::pair<int, int>> Dots;
    std::set<int> Sizes;  // how many pixels across
    int Lines = 0;
    std::vector<std::size_t> PolygonRings;
    void Dot(int x, int y, int pixels) override {
        Dots.emplace_back(x, y);
        Sizes.insert(pixels);
    }
    void Line(std::span<const TScreenPoint>) override { ++Lines; }
    void Polygon(std::span<const TScreenPoint>, std::span<const std::size_t> ends) override {
        PolygonRings.push_back(ends.size());
    }
};

TEST(DrawShapes, LeavesOutWhatIsNotInViewAndDrawsEachPixelOfPointsOnce) {
    TempDir dir;
    std::string points;
    std::string rows;
    for (int i = 0; i < 3000; ++i) {  // the same spot, and a spot beside it
        points += i % 2 == 0 ? "Point 10 10\r\n" : "Point 10.001 10\r\n";
        rows += "\"\"\r\n";
    }
    points += "Point 1000 1000\r\nPoint 0 0\r\n";
    rows += "\"\"\r\n\"\"\r\n";
    TShapefileReader pointReader(Convert(dir, "points", 0, points, rows), dir.Path("points.shx"));
    TMapTransform t;
    t.Fit({0, 0, 20, 20}, 220, 220);  // 10 pixels a unit; 1000,1000 lies far outside
    TRecordingCanvas canvas;
    std::atomic<bool> stop{false};
    TDrawResult result = DrawShapes(pointReader, t, 220, 220, canvas, stop);
    EXPECT_TRUE(result.Finished);
    EXPECT_EQ(result.Drawn, 3001);
    EXPECT_THAT(canvas.Dots, ElementsAre(std::pair{110, 110}, std::pair{10, 210}));
    EXPECT_EQ(canvas.Sizes, std::set<int>{kPointSymbolPixels});
    canvas = {};
    DrawShapes(pointReader, t, 220, 220, canvas, stop, 2.0);  // twice as many device pixels
    EXPECT_EQ(canvas.Sizes, std::set<int>{2 * kPointSymbolPixels + 1});

    stop = true;
    EXPECT_FALSE(DrawShapes(pointReader, t, 220, 220, canvas, stop).Finished);

    // A polygon with a hole, one smaller than a pixel and one outside.
    const std::string polygons =
        "Region 2\r\n  4\r\n0 0\r\n0 10\r\n10 10\r\n10 0\r\n  4\r\n2 2\r\n2 4\r\n4 4\r\n4 2\r\n"
        "Region 1\r\n  3\r\n5 5\r\n5.01 5\r\n5 5.01\r\n"
        "Region 1\r\n  3\r\n-50 -50\r\n-40 -50\r\n-50 -40\r\n";
    TShapefileReader polygonReader(
        Convert(dir, "polygons", 2, polygons, "\"\"\r\n\"\"\r\n\"\"\r\n"),
        dir.Path("polygons.shx"));
    stop = false;
    canvas = {};
    result = DrawShapes(polygonReader, t, 220, 220, canvas, stop);
    EXPECT_EQ(result.Drawn, 2);
    EXPECT_THAT(canvas.Dots, ElementsAre(std::pair{60, 159}));  // 5.005 is 159.95 pixels down
    EXPECT_EQ(canvas.Sizes, std::set<int>{kDotPixels});
    ASSERT_FALSE(canvas.PolygonRings.empty());
    EXPECT_EQ(canvas.PolygonRings.front(), 2u);  // both rings, for the even-odd fill
}

TEST(ScreenShape, DropsVerticesOnThePixelBeforeAndCoordinatesThatAreNotFinite) {
    TShape line;
    line.ShapeType = kShapeTypePolyLine;
    line.Parts = {0, 4};
    line.Points = {{0, 0}, {0.01, 0}, {0.02, 0}, {5, 0}, {kNaN, 0}, {1, 1}};
    TMapTransform t;
    t.Fit({0, -5, 10, 5}, 120, 120);  // 10 pixels a unit
    TScreenShape screen;
    ToScreenShape(line, t, screen);
    // The second part keeps one point only and is dropped.
    ASSERT_THAT(screen.PartEnds, ElementsAre(2u));
    ExpectAt(screen.Points[1], 60, 60);
}

TEST(ShapeIsAt, PointsAndLinesWithinTheToleranceAndPolygonsOutsideTheirHoles) {
    TShape polygon;
    polygon.ShapeType = kShapeTypePolygon;
    polygon.Box = {0, 0, 10, 10};
    polygon.Parts = {0, 5};
    // The outer ring clockwise, the hole clockwise too: the even-odd rule does not mind.
    polygon.Points = {{0, 0}, {0, 10}, {10, 10}, {10, 0}, {0, 0},
                      {2, 2}, {2, 4},  {4, 4},   {4, 2},  {2, 2}};
    TShape line;
    line.ShapeType = kShapeTypePolyLine;
    line.Box = {0, 0, 10, 0};
    line.Parts = {0};
    line.Points = {{0, 0}, {10, 0}};
    TShape point;
    point.ShapeType = kShapeTypePoint;
    point.Box = {5, 5, 5, 5};
    point.Points = {{5, 5}};

    const struct {
        const TShape& shape;
        TShpPoint at;
        bool hit;
    } cases[] = {
        {polygon, {5, 5}, true},    {polygon, {3, 3}, false},  {polygon, {2.1, 3}, true},
        {polygon, {10.4, 5}, true}, {polygon, {11, 5}, false}, {line, {5, 0.4}, true},
        {line, {5, 0.6}, false},    {line, {10.3, 0.3}, true}, {point, {5.3, 5.3}, true},
        {point, {5.6, 5}, false},   {point, {kNaN, 5}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ShapeIsAt(c.shape, c.at, 0.5), c.hit) << c.at.X << "," << c.at.Y;
    }
}

class ShapefileLayerTest : public ::testing::Test {
  protected:
    std::string Parcels(const std::string& name = "parcels") {
        return Convert(dir, name, 2,
                       "Region 1\r\n  4\r\n0 0\r\n0 10\r\n10 10\r\n10 0\r\n"
                       "Rect 2 2 4 4\r\nRect 3 3 5 5\r\nRect 20 20 21 21\r\n",
                       "\"区画A\"\r\n\"区画b\"\r\n\"池\"\r\n\"区画C\"\r\n");
    }

    TempDir dir;
};

TEST_F(ShapefileLayerTest, ClicksFindTheTopmostShapeAndSearchesGoOnAndWrapAround) {
    TShapefileLayer layer(Parcels());
    EXPECT_EQ(layer.Charset(), "CP932");
    std::atomic<bool> stop{false};
    EXPECT_EQ(FindShapeAt(layer.Shapes(), {3.5, 3.5}, 0.1, stop), 2);
    EXPECT_EQ(FindShapeAt(layer.Shapes(), {1, 1}, 0.1, stop), 0);
    EXPECT_EQ(FindShapeAt(layer.Shapes(), {15, 15}, 0.1, stop), std::nullopt);

    const auto row = [](const std::optional<TShapefileLayer::TFound>& found) {
        return found ? found->Row : -1;
    };
    EXPECT_EQ(row(layer.FindRecord(0, "区画B", std::nullopt)), 1);  // ignoring case
    EXPECT_EQ(row(layer.FindRecord(0, "区画", std::nullopt)), 0);
    EXPECT_EQ(row(layer.FindRecord(0, "区画", 0)), 1);
    EXPECT_EQ(row(layer.FindRecord(0, "区画", 1)), 3);
    const auto wrapped = layer.FindRecord(0, "区画", 3);
    ASSERT_TRUE(wrapped);
    EXPECT_EQ(wrapped->Row, 0);
    EXPECT_TRUE(wrapped->Wrapped);
    EXPECT_EQ(layer.FindRecord(0, "森", std::nullopt), std::nullopt);
}

// The viewer's window as its logic sees it: the selection and the info line.
class TFakePreviewView final : public IPreviewView {
  public:
    std::optional<int> Selected;
    std::string Info;
    void ShowInfo(std::string_view text) override { Info = text; }
    std::optional<int> SelectedRow() const override { return Selected; }
    void SelectRow(int row) override { Selected = row; }
    void SetBusyCursor(bool) override {}
};

TEST_F(ShapefileLayerTest, TheViewersSearchGoesOnWhileItsFindIsSelectedAndSaysWhatItFound) {
    TShapefileLayer layer(Parcels());
    TFakePreviewView view;
    TPreviewLogic logic(layer, view);
    EXPECT_EQ(logic.Title(), "シェープファイルの表示 - parcels.shp");
    EXPECT_EQ(logic.Summary(), "ポリゴン 4 件   文字コード CP932");
    EXPECT_EQ(logic.FirstSearchField(), 0);
    const struct {
        std::string typed;
        std::optional<int> selected;  // before the search
        std::optional<int> found;
        std::string info;
    } steps[] = {
        {"区画", std::nullopt, 0, "レコード 1"},
        {"区画", 0, 1, "レコード 2"},
        {"区画", 1, 3, "レコード 4"},
        {"区画", 3, 0, "レコード 1 (先頭に戻って見つけました)"},
        {"区画", 2, 0, "レコード 1"},  // another row selected: from the first again
        {"森", 0, 0, "「森」で始まるレコードはありません。"},
        {"", 0, 0, "探す値を入力してください。"},
    };
    for (const auto& step : steps) {
        view.Selected = step.selected;
        logic.Search(0, step.typed, step.typed);
        EXPECT_EQ(view.Selected, step.found) << step.typed;
        EXPECT_EQ(view.Info, step.info) << step.typed;
    }
    logic.Search(0, "Ω", std::nullopt);
    EXPECT_EQ(view.Info, "「Ω」にはテーブルの文字コード CP932 で書けない文字があります。");
}

TEST_F(ShapefileLayerTest, TheWindowOpensGoodShapefilesAndShowsWhyOthersCannotBeOpened) {
    TFakeMainView view;
    TImmediateRunner runner;
    TMainLogic logic(view, runner, "/opt/varnelo/bin/varnelo");
    const std::string good = Parcels();
    const std::string noTable = Parcels("notable");
    std::filesystem::remove(dir.Path("notable.dbf"));
    const std::string mismatched =
        Convert(dir, "mismatched", 2, "Rect 2 2 4 4\r\nRect 3 3 5 5\r\nRect 20 20 21 21\r\n", "");
    WriteFileBytes(dir.Path("mismatched.dbf"), testing::ReadFileBytes(dir.Path("parcels.dbf")));
    const std::string damaged = Parcels("damaged");
    WriteFileBytes(damaged, testing::ReadFileBytes(damaged).substr(0, 60));

    for (const std::string& path : {good, noTable, mismatched, damaged, dir.Path("none.shp")}) {
        view.DialogAnswers.push_back(path);
        logic.Dispatch([&] { logic.V1Click(); });
    }
    const std::vector<std::string> shown = view.CallsOf("view");
    EXPECT_THAT(shown, ElementsAre("view " + good));
    const std::vector<std::string> boxes = view.CallsOf("box");
    ASSERT_EQ(boxes.size(), 4u);
    const std::string lead = "box error " + std::string(TMainLogic::kCannotViewText) + "\n";
    EXPECT_EQ(boxes[0], lead + "属性テーブル \"" + dir.Path("notable.dbf") +
                            "\" を開けません: テーブルが見つかりません");
    EXPECT_THAT(boxes[1], HasSubstr("図形の数 (3, \"" + dir.Path("mismatched.shx") +
                                    "\") と属性テーブルのレコード数 (4, "));
    EXPECT_THAT(boxes[2], HasSubstr(damaged));
    EXPECT_THAT(boxes[3], HasSubstr(dir.Path("none.shp")));

    // An entry's target can be looked at once it exists.
    for (const std::string& target : {dir.Path("later.shp"), good}) {
        logic.lstMifTypeClick(2);
        logic.SetMifFileText(dir.Path("parcels.mif"));
        logic.SetShpFileText(target);
        logic.btnAddClick();
    }
    EXPECT_FALSE(logic.CanViewEntry(0));
    EXPECT_TRUE(logic.CanViewEntry(1));
    view.Selected = 0;
    logic.ViewEntryClick();
    view.Selected = 1;
    logic.ViewEntryClick();
    EXPECT_THAT(view.CallsOf("view"), ElementsAre("view " + good, "view " + good));
}

}  // namespace
}  // namespace varnelo
