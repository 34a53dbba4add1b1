// SPDX-License-Identifier: MIT
// The map of a shapefile as a Qt widget: it passes its mouse, wheel and size to
// TMapViewState, which keeps the view and its rules, and paints the latest picture where it
// now belongs with the selected record's shape on top.
#pragma once

#include <QImage>
#include <QPoint>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "app/map_view_state.hpp"

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

    const TMapTransform& Transform() const noexcept { return state_.Transform(); }
    // True while the picture on screen is not the one for the current view.
    bool Drawing() const noexcept { return state_.Drawing(); }
    // The last finished drawing's report.
    const TDrawResult& LastDrawing() const noexcept { return state_.LastDrawing(); }

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
    void DrawSoon();
    void ReceivePicture(int id, QImage image, const TMapTransform& transform,
                        const TDrawResult& result);
    void PaintHighlight(QPainter& painter) const;

    TMapViewState state_;
    QImage picture_;
    QTimer drawSoon_;  // gathers the steps of a wheel turn or a resize into one drawing
};

}  // namespace varnelo::gui
