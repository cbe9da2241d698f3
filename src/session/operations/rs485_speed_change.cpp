#include "session/operations/rs485_speed_change.hpp"

#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/search_schedule.hpp"

namespace torl7 {

Rs485SpeedChangeOperation::Rs485SpeedChangeOperation(UnitSession& session, QObject* parent)
    : QObject(parent), Timer1(new QTimer(this)), session_(session) {
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(pingWaitMs(0));
    connect(Timer1, &QTimer::timeout, this, &Rs485SpeedChangeOperation::Timer1Timer);
    connect(&session_, &UnitSession::lineLost, this, [this](const QString& reason) {
        if (step_ != Step::Idle) {
            release();
            emit failed(SessionError{SessionError::Kind::LineLost, session_.portName(), reason});
        }
    });
}

void Rs485SpeedChangeOperation::start(std::uint16_t factoryNumber, int unitSpeedIndex,
                                      int pcSpeedIndex) {
    factoryNumber_ = factoryNumber;
    unitSpeedIndex_ = unitSpeedIndex;
    pcSpeedIndex_ = pcSpeedIndex;
    mustFollow_ = false;
    session_.setReserved(true);
    // Only Timer1 paces this exchange; a timeout or idle close left over from an earlier
    // request would otherwise close the port between its steps.
    session_.abandon();
    session_.Timer4->stop();
    step_ = Step::Pinged;
    send(pingFrame(factoryNumber_));
    Timer1->start(pingWaitMs(pcSpeedIndex_));
}

void Rs485SpeedChangeOperation::send(const Bytes& frame) {
    session_.requestUncounted(frame, [this](const Answer& answer) { answered(answer); });
}

void Rs485SpeedChangeOperation::answered(const Answer& answer) {
    // An empty answer is not taken as the unit's.
    if (!answer.frame || answer.frame->length() == 0) {
        return;
    }
    if (step_ == Step::Pinged) {
        mustFollow_ = answer.frame->length() == 1;
        step_ = Step::Answered;
    } else if (step_ == Step::Waiting) {
        step_ = Step::Confirmed;
    }
}

void Rs485SpeedChangeOperation::Timer1Timer() {
    switch (step_) {
    case Step::Confirmed:
        release();
        emit finished(Outcome::Changed);
        return;
    case Step::Following:
        // The unit talks at the new speed now: so does the PC, and asks it there.
        if (const auto error = session_.comopen()) {
            release();
            emit failed(*error);
            return;
        }
        step_ = Step::Waiting;
        pcSpeedIndex_ = unitSpeedIndex_;
        session_.setSpeedIndex(pcSpeedIndex_);
        session_.Comspeed();
        emit pcSpeedFollowed(pcSpeedIndex_);
        send(pingFrame(factoryNumber_));
        break;
    case Step::Answered:
        step_ = mustFollow_ ? Step::Following : Step::Waiting;
        send(speedSetFrame(factoryNumber_, static_cast<std::uint8_t>(unitSpeedIndex_)));
        break;
    case Step::Idle:
        Timer1->stop();
        return;
    case Step::Pinged:
    case Step::Waiting:
        // The step just taken was not answered.
        release();
        emit finished(Outcome::NoAnswer);
        return;
    }
    Timer1->setInterval(speedChangeStepMs(pcSpeedIndex_));
}

void Rs485SpeedChangeOperation::release() {
    session_.abandon();
    session_.comclose();
    Timer1->stop();
    step_ = Step::Idle;
    session_.setReserved(false);
}

} // namespace torl7
