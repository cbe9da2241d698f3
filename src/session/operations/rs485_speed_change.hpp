// The RS485 speed change: tells the unit to move its bus port to another speed. A ping first;
// the unit's answer says whether the PC must follow (an answer of one payload byte: the PC
// talks over that same bus). Then the speed-set request, and when following, a check ping at
// the new speed. Each step waits one tick of Timer1 for its answer; a step left unanswered
// ends the change. While it runs the line is reserved: no other exchange starts.
#pragma once

#include "session/unit_session.hpp"

#include <QObject>
#include <QTimer>

#include <cstdint>

namespace torl7 {

class Rs485SpeedChangeOperation : public QObject {
    Q_OBJECT
public:
    enum class Step {
        Idle,
        Pinged,    // the first ping went out, no answer yet
        Answered,  // the first ping was answered
        Waiting,   // the speed-set request or the check ping went out, no answer yet
        Following, // the speed-set request went out and the PC must follow
        Confirmed, // the unit answered the last step: success
    };
    enum class Outcome { Changed, NoAnswer };

    explicit Rs485SpeedChangeOperation(UnitSession& session, QObject* parent = nullptr);

    // Paces the steps; off between changes.
    QTimer* const Timer1;

    // Starts on the port the caller opened: the unit `factoryNumber` is to move to the speed
    // `unitSpeedIndex`; the PC talks at `pcSpeedIndex` now.
    void start(std::uint16_t factoryNumber, int unitSpeedIndex, int pcSpeedIndex);
    void Timer1Timer();

    Step step() const { return step_; }

signals:
    // The PC followed the unit to `speedIndex`.
    void pcSpeedFollowed(int speedIndex);
    // The change ended: the port is closed and the line released.
    void finished(Outcome outcome);
    // The port would not open again for the check at the new speed; closed and released.
    void failed(const SessionError& error);

private:
    void send(const Bytes& frame);
    void answered(const Answer& answer);
    void release();

    UnitSession& session_;
    Step step_ = Step::Idle;
    std::uint16_t factoryNumber_ = 0;
    int unitSpeedIndex_ = 0;
    int pcSpeedIndex_ = 0;
    // Whether the unit answered the first ping with one payload byte: the PC must follow.
    bool mustFollow_ = false;
};

} // namespace torl7
