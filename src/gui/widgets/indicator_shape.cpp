#include "gui/widgets/indicator_shape.hpp"

#include "gui/widgets/accessibility.hpp"

#include <QPainter>

namespace torl7 {

namespace {
constexpr int kSquareSide = 22;
constexpr int kCircleDiameter = 12;
const QColor kRed(255, 0, 0);
} // namespace

IndicatorShape::IndicatorShape(Form form, const QString& name, QWidget* parent)
    : QWidget(parent), form_(form) {
    installAccessibleInterfaces();
    setObjectName(name);
    setFixedSize(sizeHint());
    if (auto* outer = qobject_cast<IndicatorShape*>(parent))
        outer->centreChildren();
}

void IndicatorShape::setFillColor(const QColor& color) {
    const bool firstState = !stateReceived_;
    stateReceived_ = true;
    if (color == fill_) {
        if (firstState)
            sayState(); // the same silver, but now a state received
        return;
    }
    fill_ = color;
    sayState();
    update();
}

void IndicatorShape::describe(const QString& subject, const QString& whenRed,
                              const QString& otherwise) {
    subject_ = subject;
    whenRed_ = whenRed;
    otherwise_ = otherwise;
    sayState();
}

void IndicatorShape::sayState() {
    if (subject_.isEmpty())
        return;
    const QString state = !stateReceived_ ? QStringLiteral("нет данных")
                          : fill_ == kRed ? whenRed_
                                          : otherwise_;
    // Setting the name tells a screen reader that it changed.
    setAccessibleName(subject_ + QStringLiteral(": ") + state);
}

QSize IndicatorShape::sizeHint() const {
    const int side = form_ == Form::RoundedSquare ? kSquareSide : kCircleDiameter;
    return {side, side};
}

void IndicatorShape::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A lamp whose state is no longer current (disabled) is drawn faded, as greyed texts are.
    const QColor background = palette().color(QPalette::Window);
    const auto faded = [&](const QColor& c) {
        return isEnabled() ? c
                           : QColor((c.red() + 2 * background.red()) / 3,
                                    (c.green() + 2 * background.green()) / 3,
                                    (c.blue() + 2 * background.blue()) / 3);
    };
    painter.setPen(QPen(faded(QColor(64, 64, 64)), 1));
    painter.setBrush(faded(fill_));
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
