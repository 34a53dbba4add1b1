// SPDX-License-Identifier: MIT
// Draws a shapefile into a picture on a worker thread of its own, so that the window answers
// while a million shapes are drawn, and finds the shape at a clicked place there too. Each
// job reads the shapes with the worker's own reader. A new drawing replaces one that waits
// and interrupts one under way; a click interrupts a drawing, which is then started again.
#pragma once

#include <QImage>
#include <QSize>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/map_drawing.hpp"
#include "app/map_transform.hpp"

namespace varnelo::gui {

struct TMapPicture {
    int Id = 0;    // the drawing's, as Draw was given it
    QImage Image;  // empty when the shapefile could not be read at all
    TMapTransform Transform;
    TDrawResult Result;
};

class TMapRenderer {
  public:
    // The callbacks run on the worker thread.
    using TPictureDone = std::function<void(TMapPicture picture)>;
    using TFound = std::function<void(std::optional<int> index, int ticket)>;

    TMapRenderer(std::string shpPath, std::string shxPath, std::int32_t shapeType,
                 TPictureDone pictureDone, TFound found);
    // Interrupts the job under way and waits for the worker to end.
    ~TMapRenderer();
    TMapRenderer(const TMapRenderer&) = delete;
    TMapRenderer& operator=(const TMapRenderer&) = delete;

    // Draws the shapes with `transform` (in view pixels) into a picture of `size` view pixels
    // at `ratio` device pixels each; `id` comes back with the picture.
    void Draw(int id, const TMapTransform& transform, QSize size, double ratio);
    // Finds the topmost shape within `tolerance` map units of `at`; `ticket` comes back with
    // the answer.
    void FindAt(const TShpPoint& at, double tolerance, int ticket);

  private:
    struct TDrawJob {
        int Id = 0;
        TMapTransform Transform;
        QSize Size;
        double Ratio = 1.0;
    };
    struct TFindJob {
        TShpPoint At;
        double Tolerance = 0.0;
        int Ticket = 0;
    };

    void Run();
    void RunDraw(const TDrawJob& job);

    const std::string shpPath_;
    const std::string shxPath_;
    const std::int32_t shapeType_;
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

}  // namespace varnelo::gui
