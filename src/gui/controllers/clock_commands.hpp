// The three one-shot commands beside the poll: clock correction from the PC's clock,
// protection reset, and the firmware version. Each opens the port and runs the session's
// one-shot command, which closes the port when the unit has answered.
#pragma once

#include <QDateTime>
#include <QObject>

#include <functional>

namespace torl7 {

class MainWindow;
class UnitSession;

class ClockCommands : public QObject {
    Q_OBJECT
public:
    // Connects `Button11`, `btn_monitor` and `Button12`.
    explicit ClockCommands(MainWindow& window);

    // Where the PC's local date and time come from; tests set a fixed moment.
    std::function<QDateTime()> pcClock = [] { return QDateTime::currentDateTime(); };

    void Button11Click();    // "Корректировка часов"
    void btn_monitorClick(); // "Сброс защиты"
    void Button12Click();    // "Версия программы МК"

private:
    // Opens the port; false when there is none to open (said already).
    bool open();

    MainWindow& window_;
    UnitSession& session_;
};

} // namespace torl7
