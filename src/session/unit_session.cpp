#include "session/unit_session.hpp"

#include "protocol/line_speed.hpp"

#include <algorithm>

namespace torl7 {

namespace {

// The idle close of a fast line: the port is released 3 s after the line went quiet.
constexpr int kIdleCloseMs = 3000;
// The answer timeout's period before the first request sets its own.
constexpr int kFirstAnswerTimeoutMs = 300;

QByteArray toQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// Ten bits a byte: start, eight data bits, stop.
int wireTimeMs(std::size_t byteCount, int baud) {
    return baud > 0 ? static_cast<int>((byteCount * 10 * 1000 + baud - 1) / baud) : 0;
}

RequestKind kindOfFrame(const Bytes& frame) {
    return frame.size() >= kFrameOverhead ? requestKindOf(frame[4]).value_or(kind::Ping)
                                          : kind::Ping;
}

// A ping's answer is never empty, and the answers to reads never repeat the request; a
// speed-set request (a ping with a payload), a write, a clock correction and a protection
// reset may be acknowledged by a frame identical to the request.
bool answerAlwaysDiffers(const Bytes& frame) {
    const RequestKind asked = kindOfFrame(frame);
    if (asked == kind::Ping) {
        return frame.size() == kFrameOverhead;
    }
    return echoNeverAnAnswer(asked);
}

} // namespace

UnitSession::UnitSession(SerialLine& line, QObject* parent)
    : QObject(parent), line_(line), answerTimer_(new QTimer(this)),
      idleCloseTimer_(new QTimer(this)) {
    answerTimer_->setInterval(kFirstAnswerTimeoutMs);
    idleCloseTimer_->setInterval(kIdleCloseMs);
    answerTimer_->setObjectName(QStringLiteral("answerTimer"));
    idleCloseTimer_->setObjectName(QStringLiteral("idleCloseTimer"));
    connect(answerTimer_, &QTimer::timeout, this, &UnitSession::answerTimedOut);
    connect(idleCloseTimer_, &QTimer::timeout, this, &UnitSession::idleCloseElapsed);
    connect(&line_, &SerialLine::readyRead, this, &UnitSession::bytesArrived);
    connect(&line_, &SerialLine::lost, this, &UnitSession::lost);
}

void UnitSession::setPort(const QString& device, const QString& name) {
    if (device != portDevice_) {
        echo_ = Echo::Unknown;
    }
    portDevice_ = device;
    portName_ = name;
}

void UnitSession::clearPort() {
    portDevice_.clear();
    portName_.clear();
    echo_ = Echo::Unknown;
}

void UnitSession::setLineSpeed(int speedIndex) {
    speedIndex_ = speedIndex;
    if (const int baud = baudForIndex(speedIndex_); baud != 0) {
        line_.setBaudRate(baud);
    }
}

int UnitSession::timeoutMs(RequestKind requestKind) const {
    return timeoutOverrideMs_ ? *timeoutOverrideMs_ : responseTimeoutMs(speedIndex_, requestKind);
}

int UnitSession::idleCloseMs() const {
    const int longestWait =
        timeoutMs(kind::Write) + wireTimeMs(kMaxFrame, baudForIndex(speedIndex_));
    return std::max(kIdleCloseMs, longestWait);
}

SessionError UnitSession::error(SessionError::Kind kind, const QString& detail) const {
    return SessionError{kind, portName_, detail};
}

std::optional<SessionError> UnitSession::openPort() {
    if (portDevice_.isEmpty()) {
        return SessionError{SessionError::Kind::NoPort, {}, {}};
    }
    line_.close();
    if (!line_.open(portDevice_, line_.baudRate())) {
        return SessionError{SessionError::Kind::PortNotOpened, portName_, line_.errorString(),
                            whyPortRefused(portDevice_, line_.errorString())};
    }
    emit portOpened();
    return std::nullopt;
}

void UnitSession::closePort() {
    line_.close();
    idleCloseTimer_->stop();
}

std::optional<int> UnitSession::answerTimeoutArmed() const {
    return answerTimer_->isActive() ? std::optional<int>(answerTimer_->interval()) : std::nullopt;
}

std::optional<int> UnitSession::idleCloseArmed() const {
    return idleCloseTimer_->isActive() ? std::optional<int>(idleCloseTimer_->interval())
                                       : std::nullopt;
}

void UnitSession::request(RequestKind requestKind, const Bytes& payload, Reply reply, Wait wait) {
    std::optional<int> timeout;
    if (wait == Wait::AnswerTimeout) {
        timeout = timeoutMs(requestKind);
    }
    send(Outgoing{buildFrame(factoryNumber_, requestKind, payload), Counting::Counted,
                  OnTimeout::ClosePort, timeout, std::move(reply)});
}

void UnitSession::probe(const Bytes& frame, Reply reply, std::optional<int> timeoutMs) {
    // A ping of the search is one probe of many: an unanswered one leaves the port open.
    send(Outgoing{frame, Counting::Probe, OnTimeout::KeepPortOpen, timeoutMs, std::move(reply)});
}

void UnitSession::refuse(Reply reply, SessionError::Kind why) {
    // After the caller has returned: it may still be setting up what the reply ends.
    QTimer::singleShot(0, this, [reply = std::move(reply), refused = error(why)] {
        if (reply) {
            reply(Answer{std::nullopt, refused});
        }
    });
}

void UnitSession::send(Outgoing outgoing) {
    // Another exchange waits for its answer (or for the ping before it): sending over it would
    // leave it without one. The holder of the line sends probes only.
    if (state_ == State::AwaitingAnswer || state_ == State::SettlingEcho ||
        (held_ && outgoing.counting == Counting::Counted)) {
        refuse(std::move(outgoing.reply), SessionError::Kind::Refused);
        return;
    }
    // A request its sender repeats, or a probe the sender paces, gives way; its reply is told
    // once the new request is on its way.
    Reply replaced;
    if (state_ != State::Idle) {
        replaced = std::move(inFlight_.reply);
        answerTimer_->stop();
        state_ = State::Idle;
    }
    if (echo_ == Echo::Unknown && !answerAlwaysDiffers(outgoing.frame)) {
        settleEchoThenSend(std::move(outgoing));
    } else {
        transmit(std::move(outgoing));
    }
    if (replaced) {
        replaced(Answer{std::nullopt, error(SessionError::Kind::Cancelled)});
    }
}

void UnitSession::settleEchoThenSend(Outgoing outgoing) {
    const std::uint16_t number =
        outgoing.frame.size() >= kFrameOverhead
            ? static_cast<std::uint16_t>(outgoing.frame[2] << 8 | outgoing.frame[3])
            : factoryNumber_;
    const OnTimeout onTimeout = outgoing.onTimeout;
    heldBehindPing_ = std::move(outgoing);
    transmit(Outgoing{buildFrame(number, kind::Ping, {}), Counting::Probe, onTimeout,
                      timeoutMs(kind::Ping), nullptr});
}

void UnitSession::transmit(Outgoing outgoing) {
    if (!line_.isOpen()) {
        // Nothing goes into a closed port: it is opened first, or the request ends here.
        if (auto failed = openPort()) {
            std::optional<Outgoing> held = std::move(heldBehindPing_);
            heldBehindPing_.reset();
            Reply reply = held ? std::move(held->reply) : std::move(outgoing.reply);
            if (reply) {
                reply(Answer{std::nullopt, std::move(failed)});
            }
            return;
        }
    }
    // Whatever is still pending answers no request of ours.
    assembler_.reset();
    line_.readAll();
    lastFrame_.reset();
    if (!line_.write(toQByteArray(outgoing.frame))) {
        // The line did not take the frame: it never went out, and is not recorded as sent.
        std::optional<Outgoing> held = std::move(heldBehindPing_);
        heldBehindPing_.reset();
        Reply reply = held ? std::move(held->reply) : std::move(outgoing.reply);
        if (reply) {
            reply(Answer{std::nullopt, error(SessionError::Kind::LineLost, line_.errorString())});
        }
        return;
    }
    lastRequest_ = std::move(outgoing.frame);
    inFlight_ = InFlight{kindOfFrame(lastRequest_),
                         outgoing.counting,
                         outgoing.onTimeout,
                         answerAlwaysDiffers(lastRequest_),
                         false,
                         std::move(outgoing.reply)};
    const bool counted = outgoing.counting == Counting::Counted;
    state_ = heldBehindPing_      ? State::SettlingEcho
             : !counted           ? State::Probing
             : outgoing.timeoutMs ? State::AwaitingAnswer
                                  : State::AwaitingRepeat;
    record(TrafficEntry::Direction::Sent, lastRequest_, TrafficEntry::Sum::Good,
           counted ? TrafficEntry::Fate::Request : TrafficEntry::Fate::Probe);
    if (counted) {
        ++requestsSent_;
        emit countersChanged();
    }
    if (outgoing.timeoutMs) {
        answerTimer_->start(*outgoing.timeoutMs);
    }
    if (counted) {
        idleCloseTimer_->start(idleCloseMs());
    }
}

void UnitSession::cancel() {
    answerTimer_->stop();
    idleCloseTimer_->stop();
    finish(Answer{std::nullopt, error(SessionError::Kind::Cancelled)});
}

void UnitSession::lost(const QString& reason) {
    answerTimer_->stop();
    idleCloseTimer_->stop();
    assembler_.reset();
    // Another adapter may come back in its place.
    echo_ = Echo::Unknown;
    finish(Answer{std::nullopt, error(SessionError::Kind::LineLost, reason)});
    emit lineLost(reason);
}

void UnitSession::bytesArrived() {
    const QByteArray bytes = line_.readAll();
    if (bytes.isEmpty()) {
        return;
    }
    if (idleCloseTimer_->isActive()) {
        idleCloseTimer_->start(idleCloseMs());
    }
    assembler_.append(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                               static_cast<std::size_t>(bytes.size())));
    while (auto item = assembler_.next()) {
        if (!item->frame) {
            const bool falseStart = item->reason != FrameAssembler::Dropped::NoSync;
            record(TrafficEntry::Direction::Received, std::move(item->dropped),
                   falseStart ? TrafficEntry::Sum::Bad : TrafficEntry::Sum::None,
                   TrafficEntry::Fate::Dropped);
            continue;
        }
        lastFrame_ = std::move(item->frame);
        // A reply may send the next request, which replaces lastFrame_; work on a copy.
        const Frame frame = *lastFrame_;
        frameVerified(frame);
    }
}

void UnitSession::frameVerified(const Frame& frame) {
    using Fate = TrafficEntry::Fate;
    const auto note = [&](Fate fate) {
        record(TrafficEntry::Direction::Received, frame.bytes(), TrafficEntry::Sum::Good, fate);
    };
    if (state_ == State::Idle) {
        note(Fate::Unasked);
        if (frame.command() != inFlight_.answerCode) {
            // A poll answer still under way when a command's answer ended the wait.
            ++answersVerified_;
            emit countersChanged();
            emit lateAnswer(frame);
        }
        return;
    }
    if (frame.bytes() == lastRequest_) {
        if (inFlight_.answerAlwaysDiffers) {
            echo_ = Echo::Echoing;
            inFlight_.echoSeen = true;
            note(Fate::Echo);
            return;
        }
        if (echo_ != Echo::NotEchoing && !inFlight_.echoSeen) {
            inFlight_.echoSeen = true;
            note(Fate::Echo);
            return;
        }
    }
    ++answersVerified_;
    emit countersChanged();
    if (frame.command() != inFlight_.answerCode) {
        // Not this request's answer: keep waiting for the real one, timeout untouched.
        note(Fate::OtherCode);
        emit lateAnswer(frame);
        return;
    }
    if (inFlight_.answerAlwaysDiffers && !inFlight_.echoSeen && echo_ == Echo::Unknown) {
        echo_ = Echo::NotEchoing;
    }
    note(Fate::Answer);
    finish(Answer{frame, std::nullopt});
}

void UnitSession::finish(const Answer& answer) {
    if (state_ == State::Idle) {
        return;
    }
    answerTimer_->stop();
    const bool settling = state_ == State::SettlingEcho;
    state_ = State::Idle;
    Reply reply = std::move(inFlight_.reply);
    inFlight_.reply = nullptr;
    std::optional<Outgoing> held = std::move(heldBehindPing_);
    heldBehindPing_.reset();
    if (settling && held) {
        if (answer.frame) {
            // The line's echo is settled: the request that waited goes out now.
            transmit(std::move(*held));
            return;
        }
        // No answer to the ping: the request would be no better off. It is not sent.
        reply = std::move(held->reply);
    }
    if (reply) {
        reply(answer);
    }
}

void UnitSession::answerTimedOut() {
    recordUnfinished();
    if (inFlight_.onTimeout == OnTimeout::ClosePort) {
        closePort();
    }
    answerTimer_->stop();
    finish(Answer{std::nullopt, error(SessionError::Kind::Timeout)});
}

void UnitSession::idleCloseElapsed() {
    if (answerTimer_->isActive()) {
        // An answer is still awaited: the answer timeout ends that wait, not the idle close.
        idleCloseTimer_->start(idleCloseMs());
        return;
    }
    closePort();
}

void UnitSession::record(TrafficEntry::Direction direction, Bytes bytes, TrafficEntry::Sum sum,
                         TrafficEntry::Fate fate) {
    emit traffic(TrafficEntry{std::chrono::steady_clock::now(), direction, inFlight_.answerCode,
                              std::move(bytes), sum, fate});
}

void UnitSession::recordUnfinished() {
    if (assembler_.pending() != 0) {
        record(TrafficEntry::Direction::Received, assembler_.pendingBytes(),
               TrafficEntry::Sum::Incomplete, TrafficEntry::Fate::Dropped);
        assembler_.reset();
    }
}

void UnitSession::resetCounters() {
    requestsSent_ = 0;
    answersVerified_ = 0;
    emit countersChanged();
}

} // namespace torl7
