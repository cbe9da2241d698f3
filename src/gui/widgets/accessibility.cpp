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

// Name: what the text shows (its caption and unit); value: the text itself.
class AccessibleValueText final : public QAccessibleWidget {
public:
    explicit AccessibleValueText(QWidget* text)
        : QAccessibleWidget(text, QAccessible::StaticText) {}

    QString text(QAccessible::Text kind) const override {
        const QString shown = static_cast<const QLabel*>(widget())->text();
        if (kind == QAccessible::Value)
            return shown;
        if (kind == QAccessible::Name && widget()->accessibleName().isEmpty())
            return shown;
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

void addCaptionToName(QWidget* control, const QString& caption) {
    const QString spoken = spokenCaption(caption);
    if (spoken.isEmpty())
        return;
    const QString name = control->accessibleName();
    if (!name.isEmpty()) {
        control->setAccessibleName(name + QStringLiteral(", ") + spoken);
        return;
    }
    const auto* button = qobject_cast<const QAbstractButton*>(control);
    if (button != nullptr && !button->text().isEmpty()) {
        control->setAccessibleName(spokenCaption(button->text()) + u' ' + spoken);
        return;
    }
    control->setAccessibleName(spoken);
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
