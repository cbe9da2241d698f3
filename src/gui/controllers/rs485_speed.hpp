// The RS485 speed change: choosing a speed in `cb_rs485` tells the unit at once to move its
// bus port to that speed. A ping first; the unit's answer says whether the PC must follow
// (an answer of one payload byte: the PC talks over that same bus). Then the speed-set
// request, and when following, a check ping at the new speed. `Timer1` paces the steps and
// the link's search state carries them:
//   0  first ping sent, no answer yet (and the idle value left behind)
//   13 the first ping was answered
//   14 the speed-set request or the check ping was sent, no answer yet
//   15 that was answered: success
//   16 the speed-set request was sent and the PC must follow
// While it runs, the link is reserved so that no other request shares its buffers.
#pragma once

#include <QObject>

#include <cstdint>

class QTimer;

namespace torl7 {

class UnitSession;
class MainWindow;

class Rs485SpeedChange : public QObject {
    Q_OBJECT
public:
    static constexpr int kAnswered = 13;
    static constexpr int kWaiting = 14;
    static constexpr int kConfirmed = 15;
    static constexpr int kFollowing = 16;

    explicit Rs485SpeedChange(MainWindow& window);

    // Paces the exchange; off between changes.
    QTimer* Timer1;

    // The user picked a speed in `cb_rs485` (a record read from the unit does not start it).
    void cb_rs485Change();
    void Timer1Timer();

    // Wait after the first ping, and after every later step, at the PC's line speed
    // `speedIndex` (0 = 300 ... 10 = 115200 baud).
    static int firstIntervalMs(int speedIndex);
    static int stepIntervalMs(int speedIndex);

private:
    void finish(const QString& text, const QString& caption);
    std::uint16_t factoryNumber() const;

    MainWindow& window_;
    UnitSession& session_;
};

} // namespace torl7
