// SPDX-License-Identifier: MIT
#include "gui/map_widget.hpp"

#include <QApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>
#include <cmath>

#include "app/preview_logic.hpp"
#include "gui/image_canvas.hpp"
#include "gui/main_window.hpp"
#include "gui/map_style.hpp"

namespace varnelo::gui {
namespace {

QPointF ToQt(const TScreenPoint& p) {
    return {p.X, p.Y};
}

TScreenPoint FromQt(const QPointF& p) {
    return {p.x(), p.y()};
}

}  // namespace

TMapWidget::TMapWidget(TShapefileLayer& layer, QWidget* parent)
    : QWidget(parent),
      layer_(layer),
      renderer_(std::make_unique<TMapRenderer>(
          layer.ShpPath(), layer.ShxPath(),
          [shapeType = layer.ShapeType()](const TDrawJob& job) {
              return std::make_unique<TImageCanvas>(job, shapeType);
          },
          [this](TMapPicture picture) {
              QImage image;
              if (picture.Canvas) {
                  image = static_cast<TImageCanvas&>(*picture.Canvas).TakeImage();
              }
              QMetaObject::invokeMethod(
                  this,
                  [this, id = picture.Job.Id, image = std::move(image),
                   transform = picture.Job.Transform, result = picture.Result]() mutable {
                      ReceivePicture(id, std::move(image), transform, result);
                  },
                  Qt::QueuedConnection);
          },
          [this](std::optional<int> index, int ticket) {
              QMetaObject::invokeMethod(
                  this,
                  [this, index, ticket] {
                      if (ticket != ticket_) {
                          return;  // a later click is on its way
                      }
                      if (index) {
                          emit shapeClicked(*index);
                      } else {
                          emit nothingClicked();
                      }
                  },
                  Qt::QueuedConnection);
          })) {
    setObjectName("imgMap");
    setMouseTracking(true);
    setMinimumSize(120, 90);
    setCursor(Qt::OpenHandCursor);
    drawSoon_.setSingleShot(true);
    drawSoon_.setInterval(kDrawDelayMs);
    connect(&drawSoon_, &QTimer::timeout, this, &TMapWidget::RequestDrawing);
}

TMapWidget::~TMapWidget() {
    renderer_.reset();  // no picture arrives for a widget on its way out
}

void TMapWidget::FitAll() {
    transform_.Fit(layer_.Shapes().Box(), width(), height());
    fitted_ = true;
    RequestDrawing();
}

void TMapWidget::RequestDrawing() {
    drawSoon_.stop();
    drawPending_ = true;
    drawingSince_.start();
    renderer_->Draw(TDrawJob{++drawId_, transform_, width(), height(), devicePixelRatioF()});
    QTimer::singleShot(kDrawingNoticeMs, this, [this] { update(); });
    update();
}

void TMapWidget::ReceivePicture(int id, QImage image, const TMapTransform& transform,
                                const TDrawResult& result) {
    const bool latest = id == drawId_;
    if (!image.isNull()) {
        picture_ = std::move(image);
        pictureTransform_ = transform;
    }
    if (latest) {
        lastResult_ = result;
        drawPending_ = false;
        if (!lastResult_.FirstError.empty()) {
            emit readProblem(ScreenText(*DrawingProblemText(lastResult_)));
        }
    }
    update();
    if (latest) {
        emit drawingFinished();
    }
}

void TMapWidget::SetHighlight(std::optional<int> row, bool bringIntoView) {
    const auto problem = [this](const std::string& reason) {
        emit readProblem(ScreenText(reason));
    };
    if (ReadHighlight(layer_, row, bringIntoView, transform_, width(), height(), highlight_,
                      problem)) {
        fitted_ = false;
        RequestDrawing();
    }
    update();
}

void TMapWidget::FindAt(QPoint at) {
    renderer_->FindAt(transform_.ToWorld(FromQt(at)), kClickTolerance / transform_.Scale(),
                      ++ticket_);
}

void TMapWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(kMapBackground));
    if (!picture_.isNull()) {
        const TMapTransform::TPlacement place = transform_.PlacementOf(pictureTransform_);
        if (place.Scale < kStalePictureZoom && place.Scale > 1.0 / kStalePictureZoom) {
            painter.save();
            painter.translate(place.DX, place.DY);
            painter.scale(place.Scale, place.Scale);
            painter.drawImage(QPointF(0, 0), picture_);
            painter.restore();
        }
    }
    PaintHighlight(painter);
    if (drawPending_ && drawingSince_.isValid() && drawingSince_.elapsed() >= kDrawingNoticeMs) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignTop,
                         ScreenText(kDrawingText));
    }
}

void TMapWidget::PaintHighlight(QPainter& painter) const {
    if (highlight_.IsNull()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ToQColor(kHighlightLine), kHighlightLineWidth));
    painter.setBrush(ToQColor(kHighlightFill));
    TScreenShape screen;
    ToScreenShape(highlight_, transform_, screen);
    const TScreenPoint a = transform_.ToScreen({highlight_.Box.Xmin, highlight_.Box.Ymax});
    const TScreenPoint b = transform_.ToScreen({highlight_.Box.Xmax, highlight_.Box.Ymin});
    if (highlight_.ShapeType == kShapeTypePolygon) {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        std::size_t begin = 0;
        for (const std::size_t end : screen.PartEnds) {
            path.moveTo(ToQt(screen.Points[begin]));
            for (std::size_t i = begin + 1; i < end; ++i) {
                path.lineTo(ToQt(screen.Points[i]));
            }
            path.closeSubpath();
            begin = end;
        }
        painter.drawPath(path);
    } else if (highlight_.ShapeType == kShapeTypePolyLine) {
        painter.setPen(
            QPen(ToQColor(kHighlightLine), 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        std::size_t begin = 0;
        for (const std::size_t end : screen.PartEnds) {
            QPolygonF part;
            for (std::size_t i = begin; i < end; ++i) {
                part << ToQt(screen.Points[i]);
            }
            painter.drawPolyline(part);
            begin = end;
        }
    }
    // A point, or a shape too small to see, gets a ring around it.
    if (highlight_.ShapeType == kShapeTypePoint || (b.X - a.X < 6 && b.Y - a.Y < 6)) {
        const QPointF middle((a.X + b.X) / 2, (a.Y + b.Y) / 2);
        if (std::isfinite(middle.x()) && std::isfinite(middle.y())) {
            painter.drawEllipse(middle, 7.0, 7.0);
        }
    }
    painter.restore();
}

void TMapWidget::resizeEvent(QResizeEvent*) {
    if (fitted_) {
        transform_.Fit(layer_.Shapes().Box(), width(), height());
    }
    if (drawId_ == 0) {
        RequestDrawing();  // the first picture at once; later sizes once resizing pauses
    } else {
        drawSoon_.start();
    }
}

void TMapWidget::wheelEvent(QWheelEvent* event) {
    const double steps = event->angleDelta().y() / 120.0;
    if (steps == 0) {
        return;
    }
    transform_.ZoomAt(std::pow(kWheelZoom, steps), FromQt(event->position()));
    fitted_ = false;
    update();
    drawSoon_.start();
    event->accept();
}

void TMapWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        pressedAt_ = event->position().toPoint();
        lastDragAt_ = *pressedAt_;
        dragging_ = false;
    }
}

void TMapWidget::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    emit pointerMoved(transform_.ToWorld(FromQt(event->position())));
    if (!pressedAt_ || !(event->buttons() & Qt::LeftButton)) {
        return;
    }
    if (!dragging_ && (at - *pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
        dragging_ = true;
        setCursor(Qt::ClosedHandCursor);
    }
    if (dragging_) {
        const QPoint delta = at - lastDragAt_;
        transform_.PanBy(delta.x(), delta.y());
        lastDragAt_ = at;
        fitted_ = false;
        update();
    }
}

void TMapWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressedAt_) {
        return;
    }
    if (dragging_) {
        setCursor(Qt::OpenHandCursor);
        RequestDrawing();
    } else {
        FindAt(*pressedAt_);
    }
    pressedAt_.reset();
    dragging_ = false;
}

void TMapWidget::leaveEvent(QEvent*) {
    emit pointerMoved(std::nullopt);
}

}  // namespace varnelo::gui
