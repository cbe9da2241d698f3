// The RS485 speed change: tells the unit to move its bus port to another speed. A ping first;
// the unit's answer says whether the PC must follow (an answer of one payload byte: the PC
// talks over that same bus). Then the speed-set request, and when following, a check ping at
// the new speed. Each step waits one tick of the step timer for its answer; a step left
// unanswered ends the change with a timeout. While it runs the change holds the line: no other
// exchange starts. It ends with the port closed and the line released.
#pragma once

#include "session/operations/operation.hpp"

#include <QObject>
#include <QTimer>

#include <cstdint>

namespace torl7 {

struct SpeedChanged {
    int pcSpeedIndex = 0; // where the PC talks now
};

class Rs485SpeedChangeOperation : public QObject, public Operation<SpeedChanged> {
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

    explicit Rs485SpeedChangeOperation(UnitSession& session, QObject* parent = nullptr);

    // The unit `factoryNumber` is to move to the speed `unitSpeedIndex`; the PC talks at
    // `pcSpeedIndex` now.
    void start(std::uint16_t factoryNumber, int unitSpeedIndex, int pcSpeedIndex);
    // One step (tests step it without waiting).
    void tick();
    // The step timer's period while it runs, nothing when off.
    std::optional<int> stepTimerArmed() const;

    Step step() const { return step_; }

signals:
    // The PC followed the unit to `speedIndex`.
    void pcSpeedFollowed(int speedIndex);

private:
    void send(const Bytes& frame);
    void answered(const Answer& answer);
    void release();
    void cancelParts() override;

    QTimer* const stepTimer_;
    Step step_ = Step::Idle;
    std::uint16_t factoryNumber_ = 0;
    int unitSpeedIndex_ = 0;
    int pcSpeedIndex_ = 0;
    // Whether the unit answered the first ping with one payload byte: the PC must follow.
    bool mustFollow_ = false;
};

} // namespace torl7
