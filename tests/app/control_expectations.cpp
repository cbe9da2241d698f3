#include "app/control_expectations.hpp"

#include "gui/widgets/indicator_shape.hpp"
#include "gui/widgets/step_buttons.hpp"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QLayout>

namespace torl7::testing {

namespace {

bool isControl(const QWidget* widget) {
    return qobject_cast<const QLabel*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QAbstractSpinBox*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QAbstractButton*>(widget) ||
           qobject_cast<const QProgressBar*>(widget) ||
           qobject_cast<const IndicatorShape*>(widget) ||
           qobject_cast<const StepButtons*>(widget) ||
           qobject_cast<const QAbstractScrollArea*>(widget);
}

// True when an ancestor below `window` is itself a control: the arrows of a spin edit, the
// buttons of a step pair, the circle inside a square lamp are parts of one control.
bool isPartOfControl(const QWidget* widget, const QWidget* window) {
    for (const QWidget* up = widget->parentWidget(); up && up != window; up = up->parentWidget())
        if (isControl(up))
            return true;
    return false;
}

std::string describe(const QWidget* widget) {
    QString text = widget->objectName();
    if (auto* label = qobject_cast<const QLabel*>(widget))
        text += " \"" + label->text() + "\"";
    if (auto* button = qobject_cast<const QAbstractButton*>(widget))
        text += " \"" + button->text() + "\"";
    return text.toStdString();
}

} // namespace

void expectNothingClippedOrOverlapping(QWidget* window) {
    window->show();
    window->resize(window->sizeHint());
    if (window->layout())
        window->layout()->activate();
    QApplication::processEvents();

    std::vector<const QWidget*> controls;
    for (const QWidget* widget : window->findChildren<QWidget*>())
        if (widget->isVisible() && isControl(widget) && !isPartOfControl(widget, window))
            controls.push_back(widget);
    ASSERT_GT(controls.size(), 1u);

    auto area = [window](const QWidget* widget) {
        return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
    };
    for (std::size_t first = 0; first < controls.size(); ++first)
        for (std::size_t second = first + 1; second < controls.size(); ++second)
            EXPECT_FALSE(area(controls[first]).intersects(area(controls[second])))
                << describe(controls[first]) << " overlaps " << describe(controls[second]);

    for (const QWidget* widget : controls) {
        QSize needed;
        if (qobject_cast<const QLabel*>(widget))
            needed = widget->minimumSizeHint();
        else if (qobject_cast<const QPushButton*>(widget) || qobject_cast<const QCheckBox*>(widget))
            needed = widget->sizeHint();
        else
            continue;
        EXPECT_GE(widget->width(), needed.width()) << describe(widget) << " is cut";
        EXPECT_GE(widget->height(), needed.height()) << describe(widget) << " is cut";
    }
}

} // namespace torl7::testing
