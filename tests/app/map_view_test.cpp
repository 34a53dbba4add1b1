// SPDX-License-Identifier: MIT
// The map view's rules with a recording worker in place of the drawing thread, and the drawing
// thread itself: which pictures count, dragging and clicking, the highlight's ring, and a
// drawing interrupted by a newer one or by a click.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <vector>

#include "../support/temp_dir.hpp"
#include "app/map_style.hpp"
#include "app/map_view_state.hpp"
#include "engine/convert.hpp"

namespace varnelo {
namespace {

using testing::TempDir;
using testing::WriteFileBytes;

// A shapefile of one column from MIF objects of `type`, one empty row each.
std::string Convert(const TempDir& dir, int type, const std::string& objects, int count) {
    WriteFileBytes(dir.Path("map.mif"),
                   "Version 300\r\nColumns 1\r\n  NAME Char(10)\r\nData\r\n" + objects);
    std::string rows;
    for (int i = 0; i < count; ++i) {
        rows += "\"\"\r\n";
    }
    WriteFileBytes(dir.Path("map.mid"), rows);
    EXPECT_TRUE(ConvertMifToShp(type, dir.Path("map.mif"), dir.Path("map.shp")));
    return dir.Path("map.shp");
}

struct TFakeWorker final : IMapWorker {
    std::vector<TDrawJob>* Draws;
    std::vector<std::pair<TShpPoint, double>>* Finds;
    void Draw(const TDrawJob& job) override { Draws->push_back(job); }
    void FindAt(const TShpPoint& at, double tolerance, int) override {
        Finds->emplace_back(at, tolerance);
    }
};

class MapViewStateTest : public ::testing::Test {
  protected:
    // Two squares: (0,0)-(100,50) drawn as a box, and one of a hundredth of a unit far off.
    MapViewStateTest()
        : layer(Convert(dir, ctPolygon,
                        "Region 1\r\n  4\r\n0 0\r\n0 50\r\n100 50\r\n100 0\r\n"
                        "Region 1\r\n  4\r\n90 40\r\n90 40.01\r\n90.01 40.01\r\n90.01 40\r\n",
                        2)),
          state(layer) {
        auto worker = std::make_unique<TFakeWorker>();
        worker->Draws = &draws;
        worker->Finds = &finds;
        state.Start(std::move(worker));
    }

    TempDir dir;
    TShapefileLayer layer;
    TMapViewState state;
    std::vector<TDrawJob> draws;
    std::vector<std::pair<TShpPoint, double>> finds;
};

bool FourPixels(double dx, double dy) {
    return std::abs(dx) + std::abs(dy) >= 4;
}

TEST_F(MapViewStateTest, DrawsFirstAtOnceAndOnlyTheLatestPictureEndsTheDrawing) {
    EXPECT_TRUE(state.Resized(220, 120, 2.0));  // the first size draws at once
    state.DrawNow();
    EXPECT_FALSE(state.Resized(220, 120, 2.0));  // later ones once resizing pauses
    EXPECT_TRUE(state.Drawing());
    state.DrawNow();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_EQ(draws[1].Id, 2);
    EXPECT_EQ(draws[1].Ratio, 2.0);
    EXPECT_EQ(draws[1].Transform.Scale(), 2.0);  // fitted: 200 × 100 pixels inside the margin

    std::optional<std::string> problem;
    TDrawResult result{true, 1, 1, "damaged"};
    EXPECT_FALSE(state.PictureArrived(1, true, draws[0].Transform, result, problem));
    EXPECT_TRUE(state.Drawing());
    EXPECT_FALSE(problem);
    EXPECT_TRUE(state.PictureArrived(2, false, draws[1].Transform, result, problem));
    EXPECT_FALSE(state.Drawing());
    EXPECT_EQ(problem, "1 件の図形を読めませんでした: damaged");

    // The earlier picture stands in, placed where its map points now are, until it is
    // too far off in scale to say anything.
    ASSERT_TRUE(state.PicturePlacement());
    EXPECT_EQ(state.PicturePlacement()->Scale, 1.0);
    EXPECT_TRUE(state.Wheel(15, {0, 0}));  // 1.25^15 ≈ 28
    EXPECT_TRUE(state.Drawing());
    EXPECT_TRUE(state.PicturePlacement());
    state.Wheel(1, {0, 0});
    EXPECT_FALSE(state.PicturePlacement());
    EXPECT_FALSE(state.Wheel(0, {0, 0}));
}

TEST_F(MapViewStateTest, ADragMovesTheViewAndAClickAsksForTheShapeAtThePressedPlace) {
    state.Resized(220, 120, 1.0);
    state.Press({50, 50});
    EXPECT_FALSE(state.MoveTo({52, 51}, true, FourPixels));  // not yet a drag
    EXPECT_TRUE(state.MoveTo({60, 50}, true, FourPixels));
    EXPECT_TRUE(state.Dragging());
    EXPECT_EQ(state.Transform().ToScreen({20, 30}).X, 60);  // 50 before the drag
    EXPECT_EQ(state.Release(), TMapViewState::TRelease::DragEnded);
    state.Resized(300, 200, 1.0);  // moved: no longer fitted
    EXPECT_EQ(state.Transform().Scale(), 2.0);

    state.Press({10, 10});
    EXPECT_FALSE(state.MoveTo({30, 30}, false, FourPixels));  // the button is up
    EXPECT_EQ(state.Release(), TMapViewState::TRelease::Clicked);
    EXPECT_EQ(state.Release(), TMapViewState::TRelease::None);
    ASSERT_EQ(finds.size(), 1u);
    EXPECT_EQ(finds[0].first.X, state.Transform().ToWorld({10, 10}).X);
    EXPECT_EQ(finds[0].second, kClickTolerance / 2.0);
    EXPECT_TRUE(state.IsLatestClick(1));
    state.SetClickScale(1.5);
    state.FindAt({10, 10});
    EXPECT_EQ(finds[1].second, kClickTolerance * 1.5 / 2.0);
    EXPECT_FALSE(state.IsLatestClick(1));
}

TEST_F(MapViewStateTest, ARingMarksAShapeUnderSixPixelsAndAFarShapeIsBroughtIntoView) {
    state.Resized(220, 120, 1.0);
    const auto ignore = [](const std::string&) {};
    TScreenShape screen;
    EXPECT_FALSE(state.SetHighlight(0, true, ignore));  // in view already
    EXPECT_FALSE(state.HighlightOnScreen(screen));
    EXPECT_EQ(screen.Points.size(), 5u);
    EXPECT_FALSE(state.SetHighlight(1, true, ignore));
    const auto ring = state.HighlightOnScreen(screen);
    ASSERT_TRUE(ring);
    EXPECT_NEAR(ring->X, 190.01, 1e-6);
    EXPECT_NEAR(ring->Y, 29.99, 1e-6);
    state.SetHighlight(std::nullopt, false, ignore);
    EXPECT_TRUE(state.Highlight().IsNull());

    state.Wheel(20, {0, 0});  // the far corner leaves the view
    EXPECT_TRUE(state.SetHighlight(1, true, ignore));
    EXPECT_NEAR(state.HighlightOnScreen(screen)->X, 110, 1e-6);
    std::string reason;
    state.SetHighlight(7, false, [&](const std::string& r) { reason = r; });
    EXPECT_FALSE(reason.empty());
}

// A canvas that holds its first dot until the test lets it go on.
struct TGate {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Entered = false;
    bool Open = false;
};

class THeldCanvas final : public IMapCanvas {
  public:
    explicit THeldCanvas(TGate& gate) : gate_(gate) {}
    void Dot(int, int, int) override {
        std::unique_lock lock(gate_.Mutex);
        gate_.Entered = true;
        gate_.Changed.notify_all();
        gate_.Changed.wait(lock, [&] { return gate_.Open; });
    }
    void Line(std::span<const TScreenPoint>) override {}
    void Polygon(std::span<const TScreenPoint>, std::span<const std::size_t>) override {}

  private:
    TGate& gate_;
};

TEST(MapRenderer, ANewerDrawingOrAClickInterruptsTheOneUnderWayWhichIsThenDrawnAgain) {
    TempDir dir;
    std::string points;
    for (int i = 0; i < 3000; ++i) {
        points += "Point " + std::to_string(i % 100) + " " + std::to_string(i / 100) + "\r\n";
    }
    const std::string shp = Convert(dir, ctPoint, points, 3000);
    TGate gate;
    std::mutex mutex;
    std::condition_variable arrived;
    std::vector<std::pair<int, bool>> pictures;  // job, finished
    std::vector<int> found;
    TMapRenderer renderer(
        shp, dir.Path("map.shx"),
        [&](const TDrawJob&) { return std::make_unique<THeldCanvas>(gate); },
        [&](TMapPicture picture) {
            const std::lock_guard lock(mutex);
            pictures.emplace_back(picture.Job.Id, picture.Result.Finished);
            arrived.notify_all();
        },
        [&](std::optional<int> index, int ticket) {
            const std::lock_guard lock(mutex);
            found.push_back(index ? *index : -1);
            found.push_back(ticket);
            arrived.notify_all();
        });
    TMapTransform transform;
    transform.Fit({0, 0, 99, 29}, 200, 100);
    const auto holdThen = [&](const std::function<void()>& meanwhile) {
        std::unique_lock lock(gate.Mutex);
        gate.Changed.wait(lock, [&] { return gate.Entered; });
        lock.unlock();
        meanwhile();
        lock.lock();
        gate.Open = true;
        gate.Changed.notify_all();
    };
    const auto waitFor = [&](std::size_t count) {
        std::unique_lock lock(mutex);
        return arrived.wait_for(lock, std::chrono::seconds(30),
                                [&] { return pictures.size() == count; });
    };

    renderer.Draw(TDrawJob{1, transform, 200, 100, 1.0});
    holdThen([&] { renderer.Draw(TDrawJob{2, transform, 200, 100, 1.0}); });
    ASSERT_TRUE(waitFor(1));
    EXPECT_EQ(pictures[0], std::pair(2, true));  // the first never comes back

    {
        const std::lock_guard lock(gate.Mutex);
        gate.Entered = gate.Open = false;
    }
    renderer.Draw(TDrawJob{3, transform, 200, 100, 1.0});
    holdThen([&] { renderer.FindAt({5, 0}, 0.1, 9); });
    ASSERT_TRUE(waitFor(2));
    EXPECT_EQ(found, (std::vector<int>{5, 9}));  // answered before the drawing goes on
    EXPECT_EQ(pictures[1], std::pair(3, true));
}

}  // namespace
}  // namespace varnelo
