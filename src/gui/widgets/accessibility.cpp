#include "gui/widgets/accessibility.hpp"

#include <QAbstractButton>
#include <QAccessibleWidget>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>

#include <algorithm>
#include <tuple>
#include <vector>

namespace torl7 {

namespace {

// A value text keeps what it is (its captions and unit) beside its accessible name, which
// stays empty: QLabel announces a new text as a change of name only to a label without one.
const char* const kSpokenName = "torl7SpokenName";

bool isValueText(const QWidget* control) {
    return control->inherits("torl7::ValueText");
}

// Name: what the text is and what it shows ("Ua, В: 220"), so that a screen reader says the
// value with its caption and hears it change; value: the text alone.
class AccessibleValueText final : public QAccessibleWidget {
public:
    explicit AccessibleValueText(QWidget* text)
        : QAccessibleWidget(text, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        const QString shown = static_cast<const QLabel*>(widget())->text();
        if (kind == QAccessible::Value)
            return shown;
        if (kind == QAccessible::Name) {
            const QString name = spokenName(widget());
            if (name.isEmpty() || shown.isEmpty())
                return name.isEmpty() ? shown : name;
            return name + QStringLiteral(": ") + shown;
        }
        return QAccessibleWidget::text(kind);
    }
};

QAccessibleInterface* interfaceFor(const QString& className, QObject* object) {
    if (className == QLatin1String("torl7::ValueText"))
        return new AccessibleValueText(static_cast<QWidget*>(object));
    if (className == QLatin1String("torl7::IndicatorShape"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Indicator);
    return nullptr;
}

class EnterPresses final : public QObject {
public:
    explicit EnterPresses(QAbstractButton* button) : QObject(button) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) ||
            modifiers != Qt::NoModifier)
            return false;
        auto* button = static_cast<QAbstractButton*>(watched);
        if (button->isEnabled())
            button->click();
        return true;
    }
};

void collectFocusable(QLayout* layout, std::vector<QWidget*>& order);

void collectFocusable(QWidget* widget, std::vector<QWidget*>& order) {
    if (widget == nullptr || widget->isWindow())
        return;
    if ((widget->focusPolicy() & Qt::TabFocus) != 0)
        order.push_back(widget);
    // A group box or a pair of step buttons: its own controls stand in its place.
    if (widget->layout() != nullptr)
        collectFocusable(widget->layout(), order);
}

void collectFocusable(QLayout* layout, std::vector<QWidget*>& order) {
    std::vector<std::tuple<int, int, int>> cells; // row, column, item index
    auto* grid = qobject_cast<QGridLayout*>(layout);
    for (int index = 0; index < layout->count(); ++index) {
        int row = 0;
        int column = index;
        if (grid != nullptr) {
            int rowSpan = 0;
            int columnSpan = 0;
            grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
        }
        cells.emplace_back(row, column, index);
    }
    std::stable_sort(cells.begin(), cells.end());
    for (const auto& [row, column, index] : cells) {
        QLayoutItem* item = layout->itemAt(index);
        if (item->widget() != nullptr)
            collectFocusable(item->widget(), order);
        else if (item->layout() != nullptr)
            collectFocusable(item->layout(), order);
    }
}

} // namespace

QString spokenCaption(const QString& caption) {
    QString spoken = caption.trimmed();
    if (spoken.endsWith(u':'))
        spoken.chop(1);
    return spoken.trimmed();
}

QString spokenName(const QWidget* control) {
    return isValueText(control) ? control->property(kSpokenName).toString()
                                : control->accessibleName();
}

void setSpokenName(QWidget* control, const QString& name) {
    if (isValueText(control))
        control->setProperty(kSpokenName, name);
    else
        control->setAccessibleName(name);
}

void addCaptionToName(QWidget* control, const QString& caption) {
    const QString spoken = spokenCaption(caption);
    if (spoken.isEmpty())
        return;
    const QString name = spokenName(control);
    if (!name.isEmpty()) {
        setSpokenName(control, name + QStringLiteral(", ") + spoken);
        return;
    }
    const auto* button = qobject_cast<const QAbstractButton*>(control);
    if (button != nullptr && !button->text().isEmpty()) {
        control->setAccessibleName(spokenCaption(button->text()) + u' ' + spoken);
        return;
    }
    setSpokenName(control, spoken);
}

void installAccessibleInterfaces() {
    static const bool installed = [] {
        QAccessible::installFactory(interfaceFor);
        return true;
    }();
    Q_UNUSED(installed);
}

void pressOnEnter(QAbstractButton* button) {
    button->installEventFilter(new EnterPresses(button));
}

void orderTabsByLayout(QWidget* root) {
    std::vector<QWidget*> order;
    if (root->layout() != nullptr)
        collectFocusable(root->layout(), order);
    for (std::size_t index = 1; index < order.size(); ++index)
        QWidget::setTabOrder(order[index - 1], order[index]);
}

} // namespace torl7
