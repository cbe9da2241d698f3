// The waveform chart of the "Диагностика" page as something to look into: the wheel zooms
// around the pointer, a rectangle dragged with the left button zooms into it, a drag with the
// right or middle button (or with Shift) pans, a double click or "Сброс масштаба" goes back to
// the home view (for the unit's waveforms the fixed axis, 0..101 by -1..260). A left click
// puts cursor 1 at a sample, a right click cursor 2; a click on a legend entry hides or shows
// its series.
#pragma once

#include <QChartView>
#include <QPointF>

#include <array>
#include <optional>

class QLineSeries;
class QRubberBand;
class QValueAxis;

namespace torl7 {

class WaveformView : public QChartView {
    Q_OBJECT
public:
    WaveformView(QChart* chart, QValueAxis* sampleAxis, QValueAxis* levelAxis,
                 QWidget* parent = nullptr);

    // The view a reset returns to; setting it also goes there.
    void setHome(double sampleMin, double sampleMax, double levelMin, double levelMax);
    void resetView();
    // Zoom by `factor` (above 1: closer) keeping the value under `at` (view pixels) in place.
    void zoomAt(QPointF at, double factor);
    // Zoom into the rectangle between two points of the view.
    void zoomTo(QPointF from, QPointF to);
    // Move the view by a drag of `pixels`.
    void panBy(QPointF pixels);

    // Cursor 0 or 1 at the sample under view pixel x, or at a sample number; nothing removes it.
    void placeCursorAt(int which, double viewX);
    void setCursorSample(int which, std::optional<int> sample);
    std::optional<int> cursorSample(int which) const { return cursors_[which]; }

    // The value at a point of the view, in axis units.
    QPointF valueAt(QPointF viewPoint) const;
    // Whether a record opened from disk is shown; the poll's drawings then leave the chart be.
    bool showsRecord() const { return showsRecord_; }
    void setShowsRecord(bool shows) { showsRecord_ = shows; }
    // Lets a click on each legend entry hide and show its series (after the series are added).
    void followLegend();

signals:
    void cursorsChanged();

protected:
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void drawCursors();
    // Ticks at 1, 2 or 5 times a power of ten, about `count` of them over the axis, labels
    // with the decimals they need: 50 and 10 on the fixed axes, and a zoom or a record of
    // ±30000 gets a readable scale instead of thousands of labels.
    static void fitTicks(QValueAxis* axis, double count);

    QValueAxis* sampleAxis_;
    QValueAxis* levelAxis_;
    std::array<double, 4> home_{0, 1, 0, 1};
    std::array<QLineSeries*, 2> cursorLines_{};
    std::array<std::optional<int>, 2> cursors_{};
    QRubberBand* band_ = nullptr;
    QPointF pressedAt_;
    Qt::MouseButton pressed_ = Qt::NoButton;
    bool dragged_ = false;
    bool panning_ = false;
    bool showsRecord_ = false;
};

} // namespace torl7
