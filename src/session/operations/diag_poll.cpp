#include "session/operations/diag_poll.hpp"

#include "protocol/poll_sequence.hpp"

namespace torl7 {

namespace {

// Selectors of the waveform blocks: phases 1..3, with 16 added on the last of a sequence.
bool isWaveformSelector(std::uint8_t selector) {
    const int phase = selector & ~kLastBlockFlag;
    return phase >= 1 && phase <= kPhases;
}

} // namespace

DiagPoll::DiagPoll(UnitSession& session, QObject* parent)
    : QObject(parent), Operation(session, PortUse::LeaveOpen), watchdog_(new QTimer(this)) {
    watchdog_->setObjectName(QStringLiteral("watchdog"));
    connect(watchdog_, &QTimer::timeout, this, &DiagPoll::watchdogTick);
    // Every request counted and every frame verified moves the counters: traffic on the line.
    connect(&session_, &UnitSession::countersChanged, this, [this] { armed_ = false; });
    // A poll answer still under way when another command went out is reported all the same.
    connect(&session_, &UnitSession::lateAnswer, this, [this](const Frame& frame) {
        if (frame.command() == kind::Diagnostics) {
            answerReceived(frame, false);
        }
    });
    // A pulled-out adapter ends the poll: reopening a port that is gone only fails again.
    connect(&session_, &UnitSession::lineLost, this, [this](const QString& reason) {
        if (running()) {
            failWith(SessionError{SessionError::Kind::LineLost, session_.portName(), reason});
        }
    });
}

void DiagPoll::start(int viewIndex, Pace pace, std::uint8_t firstSelector, int maxMisses) {
    if (!begin()) {
        return;
    }
    pace_ = pace;
    view_ = viewIndex;
    maxMisses_ = maxMisses;
    misses_ = 0;
    summary_ = {};
    blockCount_ = 0;
    samples_.clear();
    if (pace_ == Pace::Watchdog) {
        // Every period follows the line speed, the first too: at 2400 baud and below an
        // answer takes longer than the fastest line's period.
        watchdog_->start(session_.timeoutMs(kind::Diagnostics));
    }
    next(firstSelector);
}

void DiagPoll::stop(PortAtEnd port) {
    step_ = Step::Idle;
    watchdog_->stop();
    succeed(summary_, port);
}

void DiagPoll::failWith(const SessionError& error) {
    step_ = Step::Idle;
    watchdog_->stop();
    fail(error, summary_);
}

std::optional<int> DiagPoll::watchdogArmed() const {
    return watchdog_->isActive() ? std::optional<int>(watchdog_->interval()) : std::nullopt;
}

void DiagPoll::watchdogTick() {
    if (!running()) {
        watchdog_->stop();
        return;
    }
    if (!armed_) {
        armed_ = true;
        return;
    }
    // A whole period went by with no request sent and no answer verified.
    watchdog_->setInterval(session_.timeoutMs(kind::Diagnostics));
    missed();
}

void DiagPoll::missed() {
    ++summary_.misses;
    if (++misses_ >= maxMisses_) {
        failWith(SessionError{SessionError::Kind::Timeout, session_.portName(), {}});
        return;
    }
    send();
}

void DiagPoll::next(std::uint8_t selector) {
    selector_ = selector;
    if (running()) {
        send();
    }
}

void DiagPoll::send() {
    step_ = selector_ == kSnapshotSelector ? Step::Snapshot : Step::Waveform;
    const auto wait = pace_ == Pace::AnswerTimeout ? UnitSession::Wait::AnswerTimeout
                                                   : UnitSession::Wait::SenderRepeats;
    // Not a guarded request of the run: an answer after a stop is still reported.
    session_.request(
        kind::Diagnostics, Bytes{selector_},
        [this, alive = QPointer<DiagPoll>(this)](const Answer& answer) {
            if (!alive) {
                return;
            }
            if (answer.frame) {
                answerReceived(*answer.frame, true);
                return;
            }
            if (!running()) {
                return;
            }
            switch (answer.error->kind) {
            case SessionError::Kind::NoPort:
            case SessionError::Kind::PortNotOpened:
            case SessionError::Kind::SpeedFixed:
                failWith(*answer.error); // no line to repeat on
                return;
            case SessionError::Kind::Timeout:
                missed();
                return;
            case SessionError::Kind::LineLost: // said by lineLost
            case SessionError::Kind::Refused:  // the watchdog asks again
            case SessionError::Kind::Cancelled:
                return;
            }
        },
        wait);
}

void DiagPoll::answerReceived(const Frame& frame, bool pollOutstanding) {
    const std::uint8_t selector = frame.reader().byte(0);
    if (selector == kSnapshotSelector) {
        misses_ = 0;
        blockCount_ = 0;
        ++summary_.snapshots;
        emit snapshotReceived(decodeSnapshot(frame.payload()));
        if (pollOutstanding) {
            next(selectorAfterSnapshot(view_));
        }
        return;
    }
    // The unit echoes the selector it was asked with. A block of another selector is a late
    // answer to an earlier request of the poll (on a slow line the watchdog asks again before
    // the first answer is in): its samples belong to another step of the sequence, and taken,
    // a drawing would lack phases. It is left out, as a calibration sample or an unknown
    // selector is.
    if (isWaveformSelector(selector) && selector == selector_) {
        misses_ = 0;
        blockArrived(selector, frame.payload(), pollOutstanding);
        return;
    }
    if (pace_ == Pace::Watchdog) {
        misses_ = 0; // an answer all the same; the watchdog asks again
        return;
    }
    // Without a watchdog nothing else would ask again: the request goes out once more, and a
    // unit that never answers what is asked ends as misses do.
    if (pollOutstanding && running()) {
        missed();
    }
}

void DiagPoll::blockArrived(std::uint8_t selector, ByteSpan payload, bool pollOutstanding) {
    const WaveformBlock block = decodeWaveformBlock(payload);
    samples_.store(selector & 3, block);
    if (blockCount_ < kPhases) {
        blockSelectors_[static_cast<std::size_t>(blockCount_++)] = selector;
    }
    const BlockStep step = stepAfterBlock(selector, view_);
    if (!step.draw) {
        emit blockReceived(selector);
        if (pollOutstanding) {
            next(step.nextSelector);
        }
        return;
    }
    emit waveformsReady(samples_);
    if (pollOutstanding) {
        next(kSnapshotSelector);
    }
    samples_.clear();
    blockCount_ = 0;
}

} // namespace torl7
