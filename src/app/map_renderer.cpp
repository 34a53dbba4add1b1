// SPDX-License-Identifier: MIT
#include "app/map_renderer.hpp"

namespace varnelo {

TMapRenderer::TMapRenderer(std::string shpPath, std::string shxPath, TMakeCanvas makeCanvas,
                           TPictureDone pictureDone, TFound found)
    : shpPath_(std::move(shpPath)),
      shxPath_(std::move(shxPath)),
      makeCanvas_(std::move(makeCanvas)),
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

void TMapRenderer::Draw(const TDrawJob& job) {
    {
        const std::lock_guard lock(mutex_);
        draw_ = job;
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
    picture.Job = job;
    const int width = job.DeviceWidth();
    const int height = job.DeviceHeight();
    if (reader_ && (width <= 0 || height <= 0)) {
        picture.Result.Finished = true;  // nothing to draw into yet
    } else if (reader_) {
        picture.Canvas = makeCanvas_(job);
        picture.Result = DrawShapes(*reader_, job.Transform.ForDevicePixels(job.Ratio), width,
                                    height, *picture.Canvas, interrupt_, job.Ratio);
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

}  // namespace varnelo
