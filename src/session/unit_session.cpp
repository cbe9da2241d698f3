#include "session/unit_session.hpp"

#include "protocol/line_speed.hpp"
#include "session/wait_until_ended.hpp"

#include <algorithm>

namespace torl7 {

namespace {

// The idle close of a fast line: the port is released 3 s after the line went quiet.
constexpr int kIdleCloseMs = 3000;

QByteArray toQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
}

// Ten bits a byte: start, eight data bits, stop.
int wireTimeMs(std::size_t byteCount, int baud) {
    return baud > 0 ? static_cast<int>((byteCount * 10 * 1000 + baud - 1) / baud) : 0;
}

// A ping's answer is never empty, and the answers to reads never repeat the request; a
// speed-set request (a ping with a payload), a write, a clock correction and a protection
// reset may be acknowledged by a frame identical to the request.
bool answerAlwaysDiffers(const Bytes& frame) {
    const std::uint8_t code = frame.size() >= kFrameOverhead ? frame[4] : kind::Ping;
    if (code == kind::Ping) {
        return frame.size() == kFrameOverhead;
    }
    return echoNeverAnAnswer(code);
}

} // namespace

UnitSession::UnitSession(SerialLine& cp1, QObject* parent)
    : QObject(parent), Timer3(new QTimer(this)), Timer4(new QTimer(this)), cp1_(cp1) {
    Timer3->setInterval(300);
    Timer4->setInterval(kIdleCloseMs);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    connect(Timer3, &QTimer::timeout, this, &UnitSession::Timer3Timer);
    connect(Timer4, &QTimer::timeout, this, &UnitSession::Timer4Timer);
    connect(&cp1_, &SerialLine::readyRead, this, &UnitSession::cp1RxChar);
    connect(&cp1_, &SerialLine::lost, this, [this](const QString& reason) {
        Timer3->stop();
        Timer4->stop();
        assembler_.reset();
        // Another adapter may come back in its place.
        echo_ = Echo::Unknown;
        finish(Answer{std::nullopt, SessionError{SessionError::Kind::LineLost, portName_, reason}});
        emit lineLost(reason);
    });
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

void UnitSession::setSpeedIndex(int speedIndex) {
    speedIndex_ = speedIndex;
}

int UnitSession::timeoutMs(std::uint8_t requestKind) const {
    return timeoutOverrideMs_ ? *timeoutOverrideMs_ : responseTimeoutMs(speedIndex_, requestKind);
}

int UnitSession::idleCloseMs() const {
    const int longestWait =
        timeoutMs(kind::Write) + wireTimeMs(kMaxFrame, baudForIndex(speedIndex_));
    return std::max(kIdleCloseMs, longestWait);
}

std::optional<SessionError> UnitSession::comopen() {
    if (portDevice_.isEmpty()) {
        return SessionError{SessionError::Kind::NoPort, {}, {}};
    }
    cp1_.close();
    if (!cp1_.open(portDevice_, cp1_.baudRate())) {
        return SessionError{SessionError::Kind::PortNotOpened, portName_, cp1_.errorString(),
                            whyPortRefused(portDevice_, cp1_.errorString())};
    }
    emit portOpened();
    return std::nullopt;
}

void UnitSession::comclose() {
    cp1_.close();
    Timer4->stop();
}

void UnitSession::Comspeed() {
    const int baud = baudForIndex(speedIndex_);
    if (baud != 0) {
        cp1_.setBaudRate(baud);
    }
}

void UnitSession::request(std::uint8_t kindOfRequest, const Bytes& body, Reply reply,
                          bool withTimeout) {
    std::optional<int> timeout;
    if (kindOfRequest != kind::Diagnostics || withTimeout) {
        timeout = timeoutMs(kindOfRequest);
    }
    send(Outgoing{buildFrame(factoryNumber_, kindOfRequest, body), true, true, timeout,
                  std::move(reply)});
}

void UnitSession::requestUncounted(const Bytes& frame, Reply reply, std::optional<int> timeoutMs) {
    // A ping of the search is one probe of many: an unanswered one leaves the port open.
    send(Outgoing{frame, false, false, timeoutMs, std::move(reply)});
}

void UnitSession::send(Outgoing outgoing) {
    if (reply_ && Timer3->isActive() && (lastCounted_ || settlingEcho_)) {
        // Another exchange waits for its answer (or for the ping before it): sending over it
        // would leave it without one. Only a poll request (the watchdog repeats it) or a probe
        // paced by its sender gives way to a new request.
        QTimer::singleShot(0, this, [this, reply = std::move(outgoing.reply)] {
            reply(Answer{std::nullopt, SessionError{SessionError::Kind::Refused, portName_, {}}});
        });
        return;
    }
    if (echo_ == Echo::Unknown && !answerAlwaysDiffers(outgoing.frame)) {
        settleEchoThenSend(std::move(outgoing));
        return;
    }
    transmit(std::move(outgoing));
}

void UnitSession::settleEchoThenSend(Outgoing outgoing) {
    const std::uint16_t number =
        outgoing.frame.size() >= kFrameOverhead
            ? static_cast<std::uint16_t>(outgoing.frame[2] << 8 | outgoing.frame[3])
            : factoryNumber_;
    const bool closeOnTimeout = outgoing.closeOnTimeout;
    auto held = std::make_shared<Outgoing>(std::move(outgoing));
    Reply afterPing = [this, held](const Answer& answer) {
        if (!answer) {
            // No answer to the ping: the request would be no better off. It is not sent.
            Reply reply = std::move(held->reply);
            reply(answer);
            return;
        }
        transmit(std::move(*held));
    };
    transmit(Outgoing{buildFrame(number, kind::Ping, {}), false, closeOnTimeout,
                      timeoutMs(kind::Ping), std::move(afterPing)});
    settlingEcho_ = true;
}

void UnitSession::transmit(Outgoing outgoing) {
    lastRequest_ = std::move(outgoing.frame);
    answerAlwaysDiffers_ = answerAlwaysDiffers(lastRequest_);
    echoSeen_ = false;
    lastFrame_.reset();
    // Whatever is still pending answers no request of ours.
    assembler_.reset();
    cp1_.readAll();
    reply_ = std::move(outgoing.reply);
    closeOnTimeout_ = outgoing.closeOnTimeout;
    lastCounted_ = outgoing.counted;
    settlingEcho_ = false;
    cp1_.write(toQByteArray(lastRequest_));
    record(TrafficEntry::Direction::Sent, lastRequest_, TrafficEntry::Sum::Good,
           outgoing.counted ? TrafficEntry::Fate::Request : TrafficEntry::Fate::Probe);
    if (outgoing.counted) {
        ++requestsSent_;
        emit countersChanged();
    }
    if (outgoing.timeoutMs) {
        Timer3->start(*outgoing.timeoutMs);
    } else {
        Timer3->stop();
    }
    if (outgoing.counted) {
        Timer4->start(idleCloseMs());
    }
}

void UnitSession::abandon() {
    reply_ = nullptr;
    Timer3->stop();
}

std::uint8_t UnitSession::answerCode() const {
    return lastRequest_.size() >= kFrameOverhead ? lastRequest_[4] : kind::Ping;
}

void UnitSession::cp1RxChar() {
    const QByteArray bytes = cp1_.readAll();
    if (bytes.isEmpty()) {
        return;
    }
    if (Timer4->isActive()) {
        Timer4->start(idleCloseMs());
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
        RX_OK();
    }
}

void UnitSession::RX_OK() {
    using Fate = TrafficEntry::Fate;
    // A reply may send the next request, which replaces lastFrame_; work on a copy.
    const Frame frame = *lastFrame_;
    const auto note = [&](Fate fate) {
        record(TrafficEntry::Direction::Received, frame.bytes(), TrafficEntry::Sum::Good, fate);
    };
    if (!reply_) {
        note(Fate::Unasked);
        if (frame.command() != answerCode()) {
            // A poll answer still under way when a command's answer ended the wait.
            ++answersVerified_;
            emit countersChanged();
            emit lateAnswer(frame);
        }
        return;
    }
    if (frame.bytes() == lastRequest_) {
        if (answerAlwaysDiffers_) {
            echo_ = Echo::Echoing;
            echoSeen_ = true;
            note(Fate::Echo);
            return;
        }
        if (echo_ != Echo::NotEchoing && !echoSeen_) {
            echoSeen_ = true;
            note(Fate::Echo);
            return;
        }
    }
    ++answersVerified_;
    emit countersChanged();
    if (frame.command() != answerCode()) {
        // Not this request's answer: keep waiting for the real one, timeout untouched.
        note(Fate::OtherCode);
        emit lateAnswer(frame);
        return;
    }
    if (answerAlwaysDiffers_ && !echoSeen_ && echo_ == Echo::Unknown) {
        echo_ = Echo::NotEchoing;
    }
    note(Fate::Answer);
    Timer3->stop();
    finish(Answer{frame, std::nullopt});
}

void UnitSession::finish(Answer answer) {
    if (!reply_) {
        return;
    }
    // The reply may send the next request, which sets a reply of its own.
    Reply reply = std::move(reply_);
    reply_ = nullptr;
    reply(answer);
}

void UnitSession::Timer3Timer() {
    recordUnfinished();
    if (closeOnTimeout_) {
        comclose();
    }
    Timer3->stop();
    finish(Answer{std::nullopt, SessionError{SessionError::Kind::Timeout, portName_, {}}});
}

void UnitSession::Timer4Timer() {
    if (Timer3->isActive()) {
        // An answer is still awaited: the response timeout ends that wait, not the idle close.
        Timer4->start(idleCloseMs());
        return;
    }
    comclose();
}

void UnitSession::record(TrafficEntry::Direction direction, Bytes bytes, TrafficEntry::Sum sum,
                         TrafficEntry::Fate fate) {
    emit traffic(TrafficEntry{std::chrono::steady_clock::now(), direction, requestKind(),
                              std::move(bytes), sum, fate});
}

void UnitSession::recordUnfinished() {
    if (assembler_.pending() != 0) {
        record(TrafficEntry::Direction::Received, assembler_.pendingBytes(),
               TrafficEntry::Sum::Incomplete, TrafficEntry::Fate::Dropped);
        assembler_.reset();
    }
}

Answer waitForAnswer(const std::function<void(UnitSession::Reply)>& send) {
    return waitUntilEnded<Answer>(send);
}

void UnitSession::resetCounters() {
    requestsSent_ = 0;
    answersVerified_ = 0;
    emit countersChanged();
}

} // namespace torl7
