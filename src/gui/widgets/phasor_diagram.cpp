#include "gui/widgets/phasor_diagram.hpp"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace torl7 {

namespace {

const char* const kNames[6] = {"Ua", "Ub", "Uc", "Ia", "Ib", "Ic"};

// The chart's colours of the phases: A yellow, B green, C red.
QColor phaseColor(int channel) {
    switch (channel % 3) {
    case 0:
        return QColor(255, 255, 0);
    case 1:
        return QColor(128, 255, 0);
    default:
        return QColor(255, 60, 60);
    }
}

void arrow(QPainter& p, QPointF from, QPointF to, const QColor& color, double width) {
    p.setPen(QPen(color, width, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(from, to);
    const QPointF d = to - from;
    const double length = std::hypot(d.x(), d.y());
    if (length < 1) {
        return;
    }
    const QPointF u = d / length;
    const QPointF n(-u.y(), u.x());
    const double head = std::min(9.0, length / 3);
    QPainterPath tip;
    tip.moveTo(to);
    tip.lineTo(to - u * head + n * head * 0.45);
    tip.lineTo(to - u * head - n * head * 0.45);
    tip.closeSubpath();
    p.fillPath(tip, color);
}

} // namespace

PhasorDiagram::PhasorDiagram(QWidget* parent) : QWidget(parent) {
    setObjectName("phasorDiagram");
    setAccessibleName("Векторная диаграмма");
    setFixedSize(140, 140);
}

void PhasorDiagram::setPhasors(const Phasors& phasors) {
    phasors_ = phasors;
    update();
}

void PhasorDiagram::setReference(int channel) {
    reference_ = std::clamp(channel, 0, 5);
    update();
}

std::optional<double> PhasorDiagram::drawnAngleDeg(int channel) const {
    const auto& x = phasors_[static_cast<std::size_t>(channel)];
    if (!x || std::abs(*x) == 0) {
        return std::nullopt;
    }
    const auto& ref = phasors_[static_cast<std::size_t>(reference_)];
    const double turn = ref && std::abs(*ref) > 0 ? std::arg(*ref) : 0.0;
    return std::remainder((std::arg(*x) - turn) * 180 / std::numbers::pi, 360.0);
}

void PhasorDiagram::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), QColor(38, 40, 48)); // the chart's dark plot area
    const double side = std::min(width(), height());
    const QPointF centre(width() / 2.0, height() / 2.0);
    const double radius = side / 2 - 15;
    const QColor grid(110, 110, 120);
    p.setPen(QPen(grid, 1, Qt::DotLine));
    p.drawEllipse(centre, radius, radius);
    p.drawEllipse(centre, radius * 0.6, radius * 0.6);
    p.drawLine(centre - QPointF(radius, 0), centre + QPointF(radius, 0));
    p.drawLine(centre - QPointF(0, radius), centre + QPointF(0, radius));

    double largest[2] = {0, 0};
    for (int c = 0; c < 6; ++c) {
        if (const auto& x = phasors_[static_cast<std::size_t>(c)]) {
            largest[c / 3] = std::max(largest[c / 3], std::abs(*x));
        }
    }
    QFont font = p.font();
    font.setPointSizeF(font.pointSizeF() * 0.85);
    p.setFont(font);
    for (int c = 0; c < 6; ++c) {
        const auto angle = drawnAngleDeg(c);
        const auto& x = phasors_[static_cast<std::size_t>(c)];
        if (!angle || largest[c / 3] <= 0) {
            continue;
        }
        // Voltages to the outer circle, currents to the inner one.
        const double length = (c < 3 ? radius : radius * 0.6) * std::abs(*x) / largest[c / 3];
        const double a = *angle * std::numbers::pi / 180;
        const QPointF tip = centre + QPointF(std::cos(a), -std::sin(a)) * length;
        arrow(p, centre, tip, phaseColor(c), c < 3 ? 1.5 : 3.0);
        p.setPen(phaseColor(c));
        const QPointF label = centre + QPointF(std::cos(a), -std::sin(a)) * (length + 9);
        p.drawText(QRectF(label.x() - 12, label.y() - 8, 24, 16), Qt::AlignCenter, kNames[c]);
    }
}

} // namespace torl7
