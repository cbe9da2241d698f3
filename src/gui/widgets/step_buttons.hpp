// A pair of small stacked arrow buttons that step a value shown beside them up or down.
// The widget only reports the presses; what a step does belongs to its owner.
#pragma once

#include <QWidget>

class QToolButton;

namespace torl7 {

class StepButtons : public QWidget {
    Q_OBJECT
public:
    // `name` becomes the objectName of the pair; its buttons are "<name>_up" and "<name>_down".
    explicit StepButtons(const QString& name, QWidget* parent = nullptr);

    // Names the buttons for screen readers by what they step: "<subject>: больше" and
    // "<subject>: меньше".
    void setSubject(const QString& subject);

    QToolButton* upButton() const { return up_; }
    QToolButton* downButton() const { return down_; }

signals:
    void upClicked();
    void downClicked();

private:
    QToolButton* up_;
    QToolButton* down_;
};

} // namespace torl7
