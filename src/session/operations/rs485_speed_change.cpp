#include "session/operations/rs485_speed_change.hpp"

#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/search_schedule.hpp"

namespace torl7 {

Rs485SpeedChangeOperation::Rs485SpeedChangeOperation(UnitSession& session, QObject* parent)
    : QObject(parent), Operation(session), stepTimer_(new QTimer(this)) {
    stepTimer_->setObjectName(QStringLiteral("stepTimer"));
    stepTimer_->setInterval(pingWaitMs(0));
    connect(stepTimer_, &QTimer::timeout, this, &Rs485SpeedChangeOperation::tick);
    connect(&session_, &UnitSession::lineLost, this, [this](const QString& reason) {
        if (running()) {
            release();
            fail(SessionError{SessionError::Kind::LineLost, session_.portName(), reason});
        }
    });
}

std::optional<int> Rs485SpeedChangeOperation::stepTimerArmed() const {
    return stepTimer_->isActive() ? std::optional<int>(stepTimer_->interval()) : std::nullopt;
}

void Rs485SpeedChangeOperation::start(std::uint16_t factoryNumber, int unitSpeedIndex,
                                      int pcSpeedIndex) {
    if (!begin()) {
        return;
    }
    factoryNumber_ = factoryNumber;
    unitSpeedIndex_ = unitSpeedIndex;
    pcSpeedIndex_ = pcSpeedIndex;
    mustFollow_ = false;
    // Only the step timer paces this exchange; a timeout or idle close left over from an
    // earlier request would otherwise close the port between its steps.
    session_.cancel();
    session_.holdLine();
    step_ = Step::Pinged;
    stepTimer_->start(pingWaitMs(pcSpeedIndex_));
    send(pingFrame(factoryNumber_));
}

void Rs485SpeedChangeOperation::send(const Bytes& frame) {
    askUncounted(frame, [this](const Answer& answer) { answered(answer); });
}

void Rs485SpeedChangeOperation::answered(const Answer& answer) {
    if (!answer.frame) {
        if (answer.error->kind == SessionError::Kind::PortNotOpened ||
            answer.error->kind == SessionError::Kind::NoPort) {
            release();
            fail(*answer.error);
        }
        return;
    }
    // An empty answer is not taken as the unit's.
    if (answer.frame->length() == 0) {
        return;
    }
    if (step_ == Step::Pinged) {
        mustFollow_ = answer.frame->length() == 1;
        step_ = Step::Answered;
    } else if (step_ == Step::Waiting) {
        step_ = Step::Confirmed;
    }
}

void Rs485SpeedChangeOperation::tick() {
    switch (step_) {
    case Step::Confirmed:
        release();
        succeed(SpeedChanged{pcSpeedIndex_});
        return;
    case Step::Following:
        // The unit talks at the new speed now: so does the PC, and asks it there.
        if (const auto error = session_.openPort()) {
            release();
            fail(*error);
            return;
        }
        step_ = Step::Waiting;
        pcSpeedIndex_ = unitSpeedIndex_;
        session_.setLineSpeed(pcSpeedIndex_);
        emit pcSpeedFollowed(pcSpeedIndex_);
        send(pingFrame(factoryNumber_));
        break;
    case Step::Answered:
        step_ = mustFollow_ ? Step::Following : Step::Waiting;
        send(speedSetFrame(factoryNumber_, static_cast<std::uint8_t>(unitSpeedIndex_)));
        break;
    case Step::Idle:
        stepTimer_->stop();
        return;
    case Step::Pinged:
    case Step::Waiting:
        // The step just taken was not answered.
        release();
        fail(SessionError{SessionError::Kind::Timeout, session_.portName(), {}});
        return;
    }
    stepTimer_->setInterval(speedChangeStepMs(pcSpeedIndex_));
}

void Rs485SpeedChangeOperation::release() {
    session_.cancel();
    session_.closePort();
    stepTimer_->stop();
    step_ = Step::Idle;
    session_.releaseLine();
}

void Rs485SpeedChangeOperation::cancelParts() {
    release();
}

} // namespace torl7
