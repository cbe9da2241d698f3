// The RS485 speed change in the window: choosing a speed in `cb_rs485` asks whether to go on,
// then runs the speed change (Rs485SpeedChangeOperation) with the factory number, the picked
// speed and the PC's speed of that moment, and says how it ended. While it runs, the line is
// reserved: the other buttons do nothing.
#pragma once

#include "session/operations/rs485_speed_change.hpp"

#include <QObject>

namespace torl7 {

class MainWindow;

class Rs485SpeedChange : public QObject {
    Q_OBJECT
public:
    using Step = Rs485SpeedChangeOperation::Step;

    explicit Rs485SpeedChange(MainWindow& window);

    // Paces the exchange; off between changes.
    QTimer* Timer1 = nullptr;

    // The user picked a speed in `cb_rs485` (a record read from the unit does not start it).
    void cb_rs485Change();
    void Timer1Timer() { change_.Timer1Timer(); }

    Rs485SpeedChangeOperation& operation() { return change_; }

private:
    void finished(Rs485SpeedChangeOperation::Outcome outcome);

    MainWindow& window_;
    UnitSession& session_;
    Rs485SpeedChangeOperation change_;
};

} // namespace torl7
