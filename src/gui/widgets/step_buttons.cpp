#include "gui/widgets/step_buttons.hpp"

#include "gui/widgets/accessibility.hpp"

#include <QToolButton>
#include <QVBoxLayout>

namespace torl7 {

namespace {

QToolButton* makeArrow(QWidget* parent, const QString& name, Qt::ArrowType arrow) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setArrowType(arrow);
    // Reached by Tab (a click leaves the focus where it was): the keyboard's only way to
    // step the value. Space and Enter press it.
    button->setFocusPolicy(Qt::TabFocus);
    pressOnEnter(button);
    // Holding a button keeps stepping, as spin arrows do.
    button->setAutoRepeat(true);
    button->setFixedSize(18, 11);
    return button;
}

} // namespace

StepButtons::StepButtons(const QString& name, QWidget* parent)
    : QWidget(parent), up_(makeArrow(this, name + QStringLiteral("_up"), Qt::UpArrow)),
      down_(makeArrow(this, name + QStringLiteral("_down"), Qt::DownArrow)) {
    setObjectName(name);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(up_);
    column->addWidget(down_);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(up_, &QToolButton::clicked, this, &StepButtons::upClicked);
    connect(down_, &QToolButton::clicked, this, &StepButtons::downClicked);
}

void StepButtons::setSubject(const QString& subject) {
    up_->setAccessibleName(subject + QStringLiteral(": больше"));
    down_->setAccessibleName(subject + QStringLiteral(": меньше"));
}

} // namespace torl7
