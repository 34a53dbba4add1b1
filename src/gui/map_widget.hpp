// SPDX-License-Identifier: MIT
// The map of a shapefile: its shapes fitted to the view, moved by dragging, zoomed about the
// mouse with the wheel, and the shape of the selected record drawn on top. Drawing happens on
// a worker (TMapRenderer); until its picture arrives the previous one is shown moved and
// scaled to where it now belongs. A click asks which shape lies there.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

#include "app/map_drawing.hpp"
#include "app/map_renderer.hpp"
#include "app/map_transform.hpp"
#include "app/shapefile_layer.hpp"

namespace varnelo::gui {

class TMapWidget final : public QWidget {
    Q_OBJECT

  public:
    // `layer` outlives the widget.
    explicit TMapWidget(TShapefileLayer& layer, QWidget* parent = nullptr);
    ~TMapWidget() override;

    // Shows every shape, as the header's box gives them.
    void FitAll();
    // Draws the shape of `row` highlighted (none: no highlight); with `bringIntoView` the map
    // moves to it when it lies outside the view.
    void SetHighlight(std::optional<int> row, bool bringIntoView);
    // Asks for the shape at a place in the view, as a click does.
    void FindAt(QPoint at);

    const TMapTransform& Transform() const noexcept { return transform_; }
    // True while the picture on screen is not the one for the current view.
    bool Drawing() const noexcept { return drawPending_ || drawSoon_.isActive(); }
    // The last finished drawing's report.
    const TDrawResult& LastDrawing() const noexcept { return lastResult_; }

  signals:
    void shapeClicked(int row);
    void nothingClicked();
    void drawingFinished();
    // The map position under the mouse; none when the mouse left the map.
    void pointerMoved(std::optional<TShpPoint> at);
    // A record or the whole shapefile could not be read while drawing.
    void readProblem(const QString& message);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

  private:
    void RequestDrawing();
    void ReceivePicture(int id, QImage image, const TMapTransform& transform,
                        const TDrawResult& result);
    void PaintHighlight(QPainter& painter) const;

    TShapefileLayer& layer_;
    TMapTransform transform_;
    bool fitted_ = true;  // showing everything, as the view has not been moved since
    QImage picture_;
    TMapTransform pictureTransform_;
    TDrawResult lastResult_;
    bool drawPending_ = true;  // from the start until the first picture arrives
    int drawId_ = 0;
    QElapsedTimer drawingSince_;
    QTimer drawSoon_;  // gathers the steps of a wheel turn or a resize into one drawing

    TShape highlight_;

    std::optional<QPoint> pressedAt_;
    QPoint lastDragAt_;
    bool dragging_ = false;
    int ticket_ = 0;

    std::unique_ptr<TMapRenderer> renderer_;  // last: its worker ends before the rest goes
};

}  // namespace varnelo::gui
