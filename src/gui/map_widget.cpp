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

TMapWidget::TMapWidget(TShapefileLayer& layer, QWidget* parent) : QWidget(parent), state_(layer) {
    state_.Start(std::make_unique<TMapRenderer>(
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
                    if (!state_.IsLatestClick(ticket)) {
                        return;  // a later click is on its way
                    }
                    if (index) {
                        emit shapeClicked(*index);
                    } else {
                        emit nothingClicked();
                    }
                },
                Qt::QueuedConnection);
        }));
    setObjectName("imgMap");
    setMouseTracking(true);
    setMinimumSize(120, 90);
    setCursor(Qt::OpenHandCursor);
    drawSoon_.setSingleShot(true);
    drawSoon_.setInterval(kDrawDelayMs);
    connect(&drawSoon_, &QTimer::timeout, this, &TMapWidget::RequestDrawing);
}

TMapWidget::~TMapWidget() {
    state_.Stop();  // no picture arrives for a widget on its way out
}

void TMapWidget::FitAll() {
    state_.SetSize(width(), height(), devicePixelRatioF());
    state_.FitAll();
    RequestDrawing();
}

void TMapWidget::RequestDrawing() {
    drawSoon_.stop();
    state_.SetSize(width(), height(), devicePixelRatioF());
    state_.DrawNow();
    QTimer::singleShot(kDrawingNoticeMs, this, [this] { update(); });
    update();
}

void TMapWidget::ReceivePicture(int id, QImage image, const TMapTransform& transform,
                                const TDrawResult& result) {
    std::optional<std::string> problem;
    const bool latest = state_.PictureArrived(id, !image.isNull(), transform, result, problem);
    if (!image.isNull()) {
        picture_ = std::move(image);
    }
    if (problem) {
        emit readProblem(ScreenText(*problem));
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
    state_.SetSize(width(), height(), devicePixelRatioF());
    if (state_.SetHighlight(row, bringIntoView, problem)) {
        RequestDrawing();
    }
    update();
}

void TMapWidget::FindAt(QPoint at) {
    state_.FindAt(FromQt(at));
}

void TMapWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ToQColor(kMapBackground));
    if (const auto place = state_.PicturePlacement(); place && !picture_.isNull()) {
        painter.save();
        painter.translate(place->DX, place->DY);
        painter.scale(place->Scale, place->Scale);
        painter.drawImage(QPointF(0, 0), picture_);
        painter.restore();
    }
    PaintHighlight(painter);
    if (state_.ShowsDrawingNotice()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(rect().adjusted(8, 6, -8, -6), Qt::AlignLeft | Qt::AlignTop,
                         ScreenText(kDrawingText));
    }
}

void TMapWidget::PaintHighlight(QPainter& painter) const {
    const TShape& highlight = state_.Highlight();
    if (highlight.IsNull()) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(ToQColor(kHighlightLine), kHighlightLineWidth));
    painter.setBrush(ToQColor(kHighlightFill));
    TScreenShape screen;
    const std::optional<TScreenPoint> ring = state_.HighlightOnScreen(screen);
    if (highlight.ShapeType == kShapeTypePolygon) {
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
    } else if (highlight.ShapeType == kShapeTypePolyLine) {
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
    if (ring) {
        painter.drawEllipse(ToQt(*ring), 7.0, 7.0);
    }
    painter.restore();
}

void TMapWidget::DrawSoon() {
    drawSoon_.start();
}

void TMapWidget::resizeEvent(QResizeEvent*) {
    if (state_.Resized(width(), height(), devicePixelRatioF())) {
        RequestDrawing();
    } else {
        DrawSoon();
    }
}

void TMapWidget::wheelEvent(QWheelEvent* event) {
    if (!state_.Wheel(event->angleDelta().y() / 120.0, FromQt(event->position()))) {
        return;
    }
    update();
    DrawSoon();
    event->accept();
}

void TMapWidget::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        state_.Press(FromQt(event->position().toPoint()));
    }
}

void TMapWidget::mouseMoveEvent(QMouseEvent* event) {
    emit pointerMoved(state_.Transform().ToWorld(FromQt(event->position())));
    const bool wasDragging = state_.Dragging();
    const auto farEnough = [](double dx, double dy) {
        return std::abs(dx) + std::abs(dy) >= QApplication::startDragDistance();
    };
    if (!state_.MoveTo(FromQt(event->position().toPoint()),
                       (event->buttons() & Qt::LeftButton) != 0, farEnough)) {
        return;
    }
    if (!wasDragging) {
        setCursor(Qt::ClosedHandCursor);
    }
    update();
}

void TMapWidget::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    if (state_.Release() == TMapViewState::TRelease::DragEnded) {
        setCursor(Qt::OpenHandCursor);
        RequestDrawing();
    }
}

void TMapWidget::leaveEvent(QEvent*) {
    emit pointerMoved(std::nullopt);
}

}  // namespace varnelo::gui
