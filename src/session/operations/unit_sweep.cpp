#include "session/operations/unit_sweep.hpp"

#include "protocol/codecs/speed_change_codec.hpp"
#include "protocol/search_schedule.hpp"

#include <algorithm>

namespace torl7 {

UnitSweep::UnitSweep(UnitSession& session, QObject* parent)
    : QObject(parent), Operation(session), pacer_(new QTimer(this)) {
    connect(pacer_, &QTimer::timeout, this, &UnitSweep::tick);
    connect(&session_, &UnitSession::lineLost, this, [this](const QString& reason) {
        if (running()) {
            pacer_->stop();
            fail(SessionError{SessionError::Kind::LineLost, session_.portName(), reason}, found_);
        }
    });
}

void UnitSweep::start(int from, int to, int speedIndex, std::optional<int> pingWaitOverrideMs) {
    session_.setLineSpeed(speedIndex);
    if (!begin()) {
        return;
    }
    next_ = from;
    to_ = to;
    total_ = std::max(0, to - from + 1);
    found_.clear();
    pacer_->setInterval(pingWaitOverrideMs.value_or(pingWaitMs(speedIndex)));
    pacer_->start();
    tick();
}

void UnitSweep::tick() {
    if (!running()) {
        pacer_->stop();
        return;
    }
    if (next_ > to_) {
        // The last ping's wait is over.
        pacer_->stop();
        std::sort(found_.begin(), found_.end());
        succeed(found_);
        return;
    }
    const int number = next_++;
    report(number - (to_ - total_ + 1) + 1, total_);
    askUncounted(pingFrame(static_cast<std::uint16_t>(number)), [this](const Answer& answer) {
        // An empty answer is not a unit's (a ping's own echo has no payload).
        if (answer.frame && answer.frame->length() > 0) {
            const int unit = answer.frame->factoryNumber();
            if (std::find(found_.begin(), found_.end(), unit) == found_.end()) {
                found_.push_back(unit);
            }
        }
    });
}

} // namespace torl7
