// The three one-shot commands beside the poll: clock correction from the PC's clock,
// protection reset, and the firmware version. Each opens the port, sends one request, and
// closes the port when its answer has been handled.
#pragma once

#include "protocol/frame.hpp"

#include <QDateTime>
#include <QObject>

#include <functional>

namespace torl7 {

class MainWindow;
class UnitSession;
struct ClockCorrection;

// The correction that sets the unit's clock to `now` (local time of the PC), with the clock
// panel's calibration, stop and summer-time settings.
ClockCorrection clockCorrectionAt(const QDateTime& now, int calibration, bool stopClock,
                                  bool autoDst);

class ClockCommands : public QObject {
    Q_OBJECT
public:
    // Connects `Button11`, `btn_monitor` and `Button12`, and takes the answers with codes 4, 5
    // and 15.
    explicit ClockCommands(MainWindow& window);

    // Where the PC's local date and time come from; tests set a fixed moment.
    std::function<QDateTime()> pcClock = [] { return QDateTime::currentDateTime(); };

    void Button11Click();    // "Корректировка часов"
    void btn_monitorClick(); // "Сброс защиты"
    void Button12Click();    // "Версия программы МК"

private:
    // Opens the port; false when there is none to open (said already).
    bool open();
    void clockCorrected(const Frame& frame);
    void protectionReset(const Frame& frame);
    void versionReceived(const Frame& frame);

    MainWindow& window_;
    UnitSession& session_;
};

} // namespace torl7
