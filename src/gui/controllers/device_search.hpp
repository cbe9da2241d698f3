// The device search: pings one factory number at each line speed of the tool, lowest first,
// twice a speed, and stops at the first speed the unit answers at, leaving the tool there
// with the port open. It also owns the handling of every command-0 answer, which the RS485
// speed change relies on too.
#pragma once

#include <QObject>

namespace torl7 {

class Frame;
class UnitSession;
class MainWindow;
class SearchDialog;

class DeviceSearch : public QObject {
    Q_OBJECT
public:
    // Values of the link's search state that belong to the search: 0..10 is the index of the
    // speed being tried, 11 means every speed was tried, 12 that the unit answered.
    static constexpr int kAllSpeedsTried = 11;
    static constexpr int kFound = 12;
    // Pings sent at each speed before the next one is tried.
    static constexpr int kPingsPerSpeed = 2;

    explicit DeviceSearch(MainWindow& window);

    // The dialog's factory number follows into the main window as it is typed, as soon as it
    // is a number within the limits...
    void frm2_znChange();
    // ...and when the field is left, brought within them.
    void frm2_znExit();
    // A port picked in the dialog: the port is closed and the main window picks it too.
    void cmbPortsChange();
    // "Начать поиск" starts a search, "Остановить поиск" stops it.
    void Button1Click();
    // One search step: the next ping, or the end of the search.
    void Timer1Timer();
    // Every answer with response code 0, whoever sent the request.
    void answerToPing(const Frame& frame);

    // How long a ping at the speed `speedIndex` waits for its answer.
    static int stepIntervalMs(int speedIndex);

private:
    void finish();

    MainWindow& window_;
    SearchDialog& dialog_;
    UnitSession& session_;
    // Pings sent at the current speed; shown after "повтор №".
    int retry_ = 0;
};

} // namespace torl7
