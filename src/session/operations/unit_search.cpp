#include "session/operations/unit_search.hpp"

#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/line_endpoint.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/search_schedule.hpp"

namespace torl7 {

namespace {

constexpr int kAllPings = kSpeedCount * kPingsPerSpeed;

} // namespace

UnitSearch::UnitSearch(UnitSession& session, QTimer* pacer, QObject* parent)
    : QObject(parent), Operation(session, PortUse::LeaveOpen),
      pacer_(pacer ? pacer : new QTimer(this)) {
    if (!pacer) {
        connect(pacer_, &QTimer::timeout, this, &UnitSearch::tick);
    }
    // A pulled-out adapter ends the search: the pings would go nowhere.
    connect(&session_, &UnitSession::lineLost, this, [this](const QString& reason) {
        if (running()) {
            pacer_->stop();
            step_ = Step::Idle;
            fail(SessionError{SessionError::Kind::LineLost, session_.portName(), reason});
        }
    });
}

void UnitSearch::start(std::uint16_t factoryNumber, std::optional<int> pingWaitOverrideMs) {
    if (!begin()) {
        return;
    }
    if (lineKind(session_.portDevice().toStdString()) == LineEndpoint::Kind::RawTcp) {
        // The server holds the serial side at its own speed: every speed would be "found" at
        // the first one tried.
        fail(SessionError{SessionError::Kind::SpeedFixed, session_.portName(), {}});
        return;
    }
    factoryNumber_ = factoryNumber;
    pingWaitOverrideMs_ = pingWaitOverrideMs;
    // The search paces its own pings: a request or an idle close left over from before would
    // otherwise close the port in the middle of it.
    session_.cancel();
    step_ = Step::Pinging;
    retry_ = 0;
    pings_ = 0;
    moveTo(0);
    pacer_->start();
}

void UnitSearch::cancelParts() {
    pacer_->stop();
    step_ = Step::Idle;
}

void UnitSearch::moveTo(int speedIndex) {
    speedIndex_ = speedIndex;
    session_.setLineSpeed(speedIndex);
    pacer_->setInterval(pingWaitOverrideMs_.value_or(pingWaitMs(speedIndex)));
    emit speedTried(speedIndex);
}

void UnitSearch::tick() {
    if (!running()) {
        pacer_->stop();
        return;
    }
    if (++retry_ > kPingsPerSpeed) {
        retry_ = 1;
        if (step_ == Step::Pinging) {
            if (speedIndex_ + 1 < kSpeedCount) {
                moveTo(speedIndex_ + 1);
            } else {
                step_ = Step::AllSpeedsTried;
            }
        }
    }
    emit stepTaken(speedIndex_, retry_);
    if (!running()) {
        return; // the owner ended it on hearing the step
    }
    if (step_ == Step::Pinging) {
        report(++pings_, kAllPings);
        askUncounted(pingFrame(factoryNumber_),
                     [this](const Answer& answer) { pingAnswered(answer); });
        return;
    }
    pacer_->stop();
    succeed(SearchResult{step_ == Step::Found, speedIndex_});
}

void UnitSearch::pingAnswered(const Answer& answer) {
    // An empty answer is not taken as the unit's; the factory number in it is not compared.
    if (step_ == Step::Pinging && answer.frame && answer.frame->length() > 0) {
        step_ = Step::Found;
    }
}

} // namespace torl7
