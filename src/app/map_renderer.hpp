// SPDX-License-Identifier: MIT
// Draws a shapefile into a picture on a worker thread of its own, so that the window answers
// while a million shapes are drawn, and finds the shape at a clicked place there too. Each
// job reads the shapes with the worker's own reader. A new drawing replaces one that waits
// and interrupts one under way; a click interrupts a drawing, which is then started again.
// The picture itself is the window's: it makes a canvas for each drawing.
#pragma once

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/map_drawing.hpp"
#include "app/map_transform.hpp"

namespace varnelo {

// One drawing: the transform in view pixels, the view's size and its device pixel ratio.
struct TDrawJob {
    int Id = 0;
    TMapTransform Transform;
    int Width = 0;
    int Height = 0;
    double Ratio = 1.0;

    // The picture's size in device pixels.
    int DeviceWidth() const { return static_cast<int>(std::lround(Width * Ratio)); }
    int DeviceHeight() const { return static_cast<int>(std::lround(Height * Ratio)); }
};

// A drawing that ended: its job, what DrawShapes reported, and the canvas drawn into (none
// when there was nothing to draw into, or the shapefile could not be read at all).
struct TMapPicture {
    TDrawJob Job;
    TDrawResult Result;
    std::unique_ptr<IMapCanvas> Canvas;
};

// What the map view asks of its worker; tests put a recording fake in its place.
class IMapWorker {
  public:
    virtual ~IMapWorker() = default;
    // Draws the shapes as `job` says; the picture comes back with the job.
    virtual void Draw(const TDrawJob& job) = 0;
    // Finds the topmost shape within `tolerance` map units of `at`; `ticket` comes back with
    // the answer.
    virtual void FindAt(const TShpPoint& at, double tolerance, int ticket) = 0;
};

class TMapRenderer final : public IMapWorker {
  public:
    // The callbacks run on the worker thread. `makeCanvas` makes the picture for a job, of
    // its size in device pixels, and a canvas that draws into it.
    using TMakeCanvas = std::function<std::unique_ptr<IMapCanvas>(const TDrawJob& job)>;
    using TPictureDone = std::function<void(TMapPicture picture)>;
    using TFound = std::function<void(std::optional<int> index, int ticket)>;

    TMapRenderer(std::string shpPath, std::string shxPath, TMakeCanvas makeCanvas,
                 TPictureDone pictureDone, TFound found);
    // Interrupts the job under way and waits for the worker to end.
    ~TMapRenderer() override;
    TMapRenderer(const TMapRenderer&) = delete;
    TMapRenderer& operator=(const TMapRenderer&) = delete;

    void Draw(const TDrawJob& job) override;
    void FindAt(const TShpPoint& at, double tolerance, int ticket) override;

  private:
    struct TFindJob {
        TShpPoint At;
        double Tolerance = 0.0;
        int Ticket = 0;
    };

    void Run();
    void RunDraw(const TDrawJob& job);

    const std::string shpPath_;
    const std::string shxPath_;
    TMakeCanvas makeCanvas_;
    TPictureDone pictureDone_;
    TFound found_;
    std::unique_ptr<TShapefileReader> reader_;  // the worker's own
    std::string readerError_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::optional<TDrawJob> draw_;
    std::optional<TFindJob> find_;
    bool drawing_ = false;  // the worker is drawing
    bool quit_ = false;
    std::atomic<bool> interrupt_{false};
    std::thread worker_;
};

}  // namespace varnelo
