// SPDX-License-Identifier: MIT
#include "gui/map_renderer.hpp"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <vector>

#include "gui/map_style.hpp"
#include "shape/errors.hpp"
#include "shape/shp_writer.hpp"

namespace varnelo::gui {
namespace {

// Draws into a picture: lines and polygons with a painter, dots straight into the pixels, as
// a point file may have hundreds of thousands of them in view.
class TImageCanvas final : public IMapCanvas {
  public:
    TImageCanvas(QImage& image, const TMapStyle& style)
        : bits_(image.bits()),
          stride_(image.bytesPerLine()),
          width_(image.width()),
          height_(image.height()),
          dot_(style.Dot.rgba()),
          painter_(&image) {
        painter_.setPen(QPen(style.Outline, 0));
        painter_.setBrush(style.Fill);
    }

    void Dot(int x, int y) override {
        // A dot of 3 × 3 pixels around the pixel, as far as it lies in the picture.
        for (int row = std::max(y - 1, 0); row <= std::min(y + 1, height_ - 1); ++row) {
            auto* line = reinterpret_cast<QRgb*>(bits_ + static_cast<qsizetype>(row) * stride_);
            for (int column = std::max(x - 1, 0); column <= std::min(x + 1, width_ - 1); ++column) {
                line[column] = dot_;
            }
        }
    }

    void Line(std::span<const TScreenPoint> points) override {
        painter_.drawPolyline(Points(points).data(), static_cast<int>(points.size()));
    }

    void Polygon(std::span<const TScreenPoint> points,
                 std::span<const std::size_t> ringEnds) override {
        const std::vector<QPointF>& all = Points(points);
        if (ringEnds.size() == 1) {  // most polygons: the quicker way, without a path
            painter_.drawPolygon(all.data(), static_cast<int>(all.size()), Qt::OddEvenFill);
            return;
        }
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        std::size_t begin = 0;
        for (const std::size_t end : ringEnds) {
            ring_.resize(static_cast<qsizetype>(end - begin));
            std::copy(all.begin() + static_cast<std::ptrdiff_t>(begin),
                      all.begin() + static_cast<std::ptrdiff_t>(end), ring_.begin());
            path.addPolygon(ring_);  // much quicker than a lineTo for each point
            path.closeSubpath();
            begin = end;
        }
        painter_.drawPath(path);
    }

  private:
    const std::vector<QPointF>& Points(std::span<const TScreenPoint> points) {
        qpoints_.clear();
        for (const TScreenPoint& p : points) {
            qpoints_.emplace_back(p.X, p.Y);
        }
        return qpoints_;
    }

    uchar* bits_;  // taken before the painter starts, which never reallocates the picture
    qsizetype stride_;
    int width_;
    int height_;
    QRgb dot_;
    QPainter painter_;
    std::vector<QPointF> qpoints_;
    QPolygonF ring_;
};

}  // namespace

TMapRenderer::TMapRenderer(std::string shpPath, std::string shxPath, std::int32_t shapeType,
                           TPictureDone pictureDone, TFound found)
    : shpPath_(std::move(shpPath)),
      shxPath_(std::move(shxPath)),
      shapeType_(shapeType),
      pictureDone_(std::move(pictureDone)),
      found_(std::move(found)),
      worker_([this] { Run(); }) {}

TMapRenderer::~TMapRenderer() {
    {
        const std::lock_guard lock(mutex_);
        quit_ = true;
        interrupt_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void TMapRenderer::Draw(int id, const TMapTransform& transform, QSize size, double ratio) {
    {
        const std::lock_guard lock(mutex_);
        draw_ = TDrawJob{id, transform, size, ratio};
        if (drawing_) {
            interrupt_ = true;
        }
    }
    wake_.notify_one();
}

void TMapRenderer::FindAt(const TShpPoint& at, double tolerance, int ticket) {
    {
        const std::lock_guard lock(mutex_);
        find_ = TFindJob{at, tolerance, ticket};
        interrupt_ = true;  // a click is answered before the drawing goes on
    }
    wake_.notify_one();
}

void TMapRenderer::Run() {
    try {
        reader_ = std::make_unique<TShapefileReader>(shpPath_, shxPath_);
    } catch (const std::exception& error) {
        readerError_ = error.what();
    }
    for (;;) {
        std::unique_lock lock(mutex_);
        wake_.wait(lock, [this] { return quit_ || draw_ || find_; });
        if (quit_) {
            return;
        }
        interrupt_ = false;
        if (find_) {
            const TFindJob job = *find_;
            find_.reset();
            lock.unlock();
            const std::optional<int> index =
                reader_ ? FindShapeAt(*reader_, job.At, job.Tolerance, interrupt_) : std::nullopt;
            if (!interrupt_) {
                found_(index, job.Ticket);
            }
            continue;
        }
        const TDrawJob job = *draw_;
        draw_.reset();
        drawing_ = true;
        lock.unlock();
        RunDraw(job);
    }
}

void TMapRenderer::RunDraw(const TDrawJob& job) {
    TMapPicture picture;
    picture.Id = job.Id;
    picture.Transform = job.Transform;
    const QSize pixels = job.Size * job.Ratio;
    if (reader_ && pixels.isEmpty()) {
        picture.Result.Finished = true;  // nothing to draw into yet
    } else if (reader_) {
        picture.Image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
        picture.Image.setDevicePixelRatio(job.Ratio);
        picture.Image.fill(Qt::transparent);
        TImageCanvas canvas(picture.Image, MapStyle(shapeType_));
        picture.Result = DrawShapes(*reader_, job.Transform.ForDevicePixels(job.Ratio),
                                    pixels.width(), pixels.height(), canvas, interrupt_);
    } else {
        picture.Result.Finished = true;
        picture.Result.FirstError = readerError_;
    }
    {
        const std::lock_guard lock(mutex_);
        drawing_ = false;
        if (!picture.Result.Finished) {
            if (!draw_ && !quit_) {
                draw_ = job;  // interrupted by a click: drawn again once it is answered
            }
            return;
        }
    }
    pictureDone_(std::move(picture));
}

}  // namespace varnelo::gui
