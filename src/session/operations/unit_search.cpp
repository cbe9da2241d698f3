#include "session/operations/unit_search.hpp"

#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/line_speed.hpp"
#include "protocol/search_schedule.hpp"

namespace torl7 {

UnitSearch::UnitSearch(UnitSession& session, QTimer* timer, QObject* parent)
    : QObject(parent), Timer1(timer ? timer : new QTimer(this)), session_(session) {
    connect(Timer1, &QTimer::timeout, this, &UnitSearch::Timer1Timer);
    // A pulled-out adapter ends the search: the pings would go nowhere.
    connect(&session_, &UnitSession::lineLost, this, [this] {
        if (step_ != Step::Idle) {
            Timer1->stop();
            step_ = Step::LineLost;
            emit finished(false);
        }
    });
}

void UnitSearch::start(std::uint16_t factoryNumber, std::optional<int> pingWaitOverrideMs) {
    factoryNumber_ = factoryNumber;
    pingWaitOverrideMs_ = pingWaitOverrideMs;
    // The pings arm no timer of the session; a timeout or idle close left over from an earlier
    // request would otherwise close the port in the middle of the search.
    session_.abandon();
    session_.Timer4->stop();
    step_ = Step::Pinging;
    retry_ = 0;
    moveTo(0);
    Timer1->start();
}

void UnitSearch::stop() {
    Timer1->stop();
    step_ = Step::Idle;
}

void UnitSearch::moveTo(int speedIndex) {
    speedIndex_ = speedIndex;
    session_.setSpeedIndex(speedIndex);
    session_.Comspeed();
    Timer1->setInterval(pingWaitOverrideMs_.value_or(pingWaitMs(speedIndex)));
    emit speedTried(speedIndex);
}

void UnitSearch::Timer1Timer() {
    if (step_ == Step::Idle || step_ == Step::LineLost) {
        Timer1->stop();
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
    if (step_ == Step::Pinging) {
        session_.requestUncounted(pingFrame(factoryNumber_),
                                  [this](const Answer& answer) { pingAnswered(answer); });
        return;
    }
    Timer1->stop();
    const bool found = step_ == Step::Found;
    emit finished(found);
}

void UnitSearch::pingAnswered(const Answer& answer) {
    // An empty answer is not taken as the unit's; the factory number in it is not compared.
    if (step_ == Step::Pinging && answer.frame && answer.frame->length() > 0) {
        step_ = Step::Found;
    }
}

} // namespace torl7
