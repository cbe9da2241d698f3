#include "gui/widgets/indicator_shape.hpp"

#include <QPainter>

namespace torl7 {

namespace {
constexpr int kSquareSide = 22;
constexpr int kCircleDiameter = 12;
} // namespace

IndicatorShape::IndicatorShape(Form form, const QString& name, QWidget* parent)
    : QWidget(parent), form_(form) {
    setObjectName(name);
    setFixedSize(sizeHint());
    if (auto* outer = qobject_cast<IndicatorShape*>(parent))
        outer->centreChildren();
}

void IndicatorShape::setFillColor(const QColor& color) {
    if (color == fill_)
        return;
    fill_ = color;
    update();
}

QSize IndicatorShape::sizeHint() const {
    const int side = form_ == Form::RoundedSquare ? kSquareSide : kCircleDiameter;
    return {side, side};
}

void IndicatorShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(64, 64, 64), 1));
    painter.setBrush(fill_);
    const QRectF area = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (form_ == Form::Circle)
        painter.drawEllipse(area);
    else
        painter.drawRoundedRect(area, 4, 4);
}

void IndicatorShape::resizeEvent(QResizeEvent*) {
    centreChildren();
}

void IndicatorShape::centreChildren() {
    for (QObject* child : children()) {
        if (auto* widget = qobject_cast<QWidget*>(child)) {
            QRect box(QPoint(0, 0), widget->size());
            box.moveCenter(rect().center());
            widget->move(box.topLeft());
        }
    }
}

} // namespace torl7
