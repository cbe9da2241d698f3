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

    // The user picked a speed in `cb_rs485` (a record read from the unit does not start it).
    void cb_rs485Change();
    // One step of the change (its timer's tick).
    void Timer1Timer() { change_.tick(); }

    Rs485SpeedChangeOperation& operation() { return change_; }

private:
    void finished(const Outcome<SpeedChanged>& outcome);

    MainWindow& window_;
    UnitSession& session_;
    Rs485SpeedChangeOperation change_;
};

} // namespace torl7
