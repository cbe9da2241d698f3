#include "gui/widgets/waveform_view.hpp"

#include <QLegend>
#include <QLegendMarker>
#include <QLineSeries>
#include <QMouseEvent>
#include <QRubberBand>
#include <QValueAxis>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace torl7 {

namespace {

// A press that moves less than this is a click.
constexpr double kClickSlackPx = 4;
// One notch of the wheel.
constexpr double kWheelStep = 1.25;
// The cursors stand out from the traces on the dark plot area.
const QColor kCursorColors[2] = {QColor(0, 200, 255), QColor(255, 128, 255)};

} // namespace

WaveformView::WaveformView(QChart* chart, QValueAxis* sampleAxis, QValueAxis* levelAxis,
                           QWidget* parent)
    : QChartView(chart, parent), sampleAxis_(sampleAxis), levelAxis_(levelAxis) {
    setRubberBand(QChartView::NoRubberBand); // the view draws its own
    band_ = new QRubberBand(QRubberBand::Rectangle, this);
    for (int n = 0; n < 2; ++n) {
        auto* line = new QLineSeries(chart);
        line->setObjectName(n == 0 ? "cursor1" : "cursor2");
        line->setName(n == 0 ? "К1" : "К2");
        line->setPen(QPen(kCursorColors[n], 1, Qt::DashLine));
        chart->addSeries(line);
        line->attachAxis(sampleAxis);
        line->attachAxis(levelAxis);
        cursorLines_[static_cast<std::size_t>(n)] = line;
    }
    connect(levelAxis, &QValueAxis::rangeChanged, this, &WaveformView::drawCursors);
    connect(levelAxis, &QValueAxis::rangeChanged, this, [levelAxis] { fitTicks(levelAxis, 6); });
    connect(sampleAxis, &QValueAxis::rangeChanged, this,
            [sampleAxis] { fitTicks(sampleAxis, 10); });
}

void WaveformView::fitTicks(QValueAxis* axis, double count) {
    const double span = axis->max() - axis->min();
    if (!(span > 0)) {
        return;
    }
    const double raw = span / count;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10 * power;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (raw <= m * power * 1.2) {
            step = m * power;
            break;
        }
    }
    axis->setTickInterval(step);
    const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
}

void WaveformView::followLegend() {
    for (QLegendMarker* marker : chart()->legend()->markers()) {
        auto* series = marker->series();
        if (series == cursorLines_[0] || series == cursorLines_[1]) {
            marker->setVisible(false);
            continue;
        }
        connect(marker, &QLegendMarker::clicked, this, [marker, series] {
            series->setVisible(!series->isVisible());
            // Hiding a series hides its marker too: keep it, dimmed, so it can be clicked back.
            marker->setVisible(true);
            QColor label = marker->labelBrush().color();
            label.setAlphaF(series->isVisible() ? 1.0 : 0.35);
            marker->setLabelBrush(label);
        });
    }
}

void WaveformView::setHome(double sampleMin, double sampleMax, double levelMin, double levelMax) {
    home_ = {sampleMin, sampleMax, levelMin, levelMax};
    resetView();
}

void WaveformView::resetView() {
    sampleAxis_->setRange(home_[0], home_[1]);
    levelAxis_->setRange(home_[2], home_[3]);
}

QPointF WaveformView::valueAt(QPointF viewPoint) const {
    const QPointF inChart = chart()->mapFromScene(mapToScene(viewPoint.toPoint()));
    const QRectF plot = chart()->plotArea();
    const double x = sampleAxis_->min() + (inChart.x() - plot.left()) / plot.width() *
                                              (sampleAxis_->max() - sampleAxis_->min());
    const double y = levelAxis_->max() - (inChart.y() - plot.top()) / plot.height() *
                                             (levelAxis_->max() - levelAxis_->min());
    return {x, y};
}

void WaveformView::zoomAt(QPointF at, double factor) {
    const QPointF value = valueAt(at);
    const auto scaled = [&](QValueAxis* axis, double centre) {
        axis->setRange(centre - (centre - axis->min()) / factor,
                       centre + (axis->max() - centre) / factor);
    };
    scaled(sampleAxis_, value.x());
    scaled(levelAxis_, value.y());
}

void WaveformView::zoomTo(QPointF from, QPointF to) {
    const QPointF a = valueAt(from);
    const QPointF b = valueAt(to);
    if (std::fabs(a.x() - b.x()) < 1e-9 || std::fabs(a.y() - b.y()) < 1e-9) {
        return;
    }
    sampleAxis_->setRange(std::min(a.x(), b.x()), std::max(a.x(), b.x()));
    levelAxis_->setRange(std::min(a.y(), b.y()), std::max(a.y(), b.y()));
}

void WaveformView::panBy(QPointF pixels) {
    const QPointF origin = valueAt(QPointF(0, 0));
    const QPointF moved = valueAt(pixels);
    const double dx = moved.x() - origin.x();
    const double dy = moved.y() - origin.y();
    sampleAxis_->setRange(sampleAxis_->min() - dx, sampleAxis_->max() - dx);
    levelAxis_->setRange(levelAxis_->min() - dy, levelAxis_->max() - dy);
}

void WaveformView::placeCursorAt(int which, double viewX) {
    const double sample = valueAt(QPointF(viewX, height() / 2.0)).x();
    setCursorSample(which, static_cast<int>(std::lround(sample)));
}

void WaveformView::setCursorSample(int which, std::optional<int> sample) {
    cursors_[static_cast<std::size_t>(which)] = sample;
    drawCursors();
    emit cursorsChanged();
}

void WaveformView::drawCursors() {
    for (std::size_t n = 0; n < 2; ++n) {
        QList<QPointF> points;
        if (cursors_[n]) {
            points = {QPointF(*cursors_[n], levelAxis_->min()),
                      QPointF(*cursors_[n], levelAxis_->max())};
        }
        cursorLines_[n]->replace(points);
    }
}

void WaveformView::wheelEvent(QWheelEvent* event) {
    const double notches = event->angleDelta().y() / 120.0;
    if (notches != 0) {
        zoomAt(event->position(), std::pow(kWheelStep, notches));
    }
    event->accept();
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    pressedAt_ = event->position();
    pressed_ = event->button();
    dragged_ = false;
    panning_ = pressed_ == Qt::MiddleButton || pressed_ == Qt::RightButton ||
               (pressed_ == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
    event->accept();
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (pressed_ == Qt::NoButton) {
        return;
    }
    const QPointF now = event->position();
    if (!dragged_ && (now - pressedAt_).manhattanLength() < kClickSlackPx) {
        return;
    }
    dragged_ = true;
    if (panning_) {
        panBy(now - pressedAt_);
        pressedAt_ = now;
    } else {
        band_->setGeometry(QRectF(pressedAt_, now).normalized().toRect());
        band_->show();
    }
    event->accept();
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != pressed_) {
        return;
    }
    if (!dragged_) {
        placeCursorAt(pressed_ == Qt::LeftButton ? 0 : 1, event->position().x());
    } else if (!panning_) {
        band_->hide();
        zoomTo(pressedAt_, event->position());
    }
    pressed_ = Qt::NoButton;
    event->accept();
}

void WaveformView::mouseDoubleClickEvent(QMouseEvent* event) {
    resetView();
    event->accept();
}

} // namespace torl7
