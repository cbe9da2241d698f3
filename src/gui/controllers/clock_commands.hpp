// The three one-shot commands beside the poll: clock correction from the PC's clock,
// protection reset, and the firmware version. Each runs its command operation, which opens
// the port and closes it when the unit has answered.
#pragma once

#include "session/operations/unit_commands.hpp"

#include <QDateTime>
#include <QObject>

#include <functional>

namespace torl7 {

class Diagnostics;
class MainWindow;

class ClockCommands : public QObject {
    Q_OBJECT
public:
    // Connects `Button11`, `btn_monitor` and `Button12`; the clock correction and the reset
    // stop the poll.
    ClockCommands(MainWindow& window, Diagnostics& diagnostics);

    // Where the PC's local date and time come from; tests set a fixed moment.
    std::function<QDateTime()> pcClock = [] { return QDateTime::currentDateTime(); };

    void Button11Click();                          // "Корректировка часов"
    void btn_monitorClick() { resetProtection(); } // "Сброс защиты"
    void Button12Click();                          // "Версия программы МК"

    void resetProtection();

private:
    void clockCorrected(const Outcome<Acknowledged>& outcome);
    void protectionReset(const Outcome<Acknowledged>& outcome);

    MainWindow& window_;
    Diagnostics& diagnostics_;
    ClockCorrectionCommand clock_;
    ProtectionResetCommand reset_;
    VersionRead version_;
};

} // namespace torl7
