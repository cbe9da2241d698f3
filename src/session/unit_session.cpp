#include "session/unit_session.hpp"

#include "protocol/line_speed.hpp"
#include "session/wait_until_ended.hpp"

namespace torl7 {

namespace {

constexpr int kIdleCloseMs = 3000;

QByteArray toQByteArray(const Bytes& bytes) {
    return QByteArray(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<qsizetype>(bytes.size()));
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
        finish(Answer{std::nullopt, SessionError{SessionError::Kind::LineLost, portName_, reason}});
        emit lineLost(reason);
    });
}

void UnitSession::setPort(const QString& device, const QString& name) {
    portDevice_ = device;
    portName_ = name;
}

void UnitSession::clearPort() {
    portDevice_.clear();
    portName_.clear();
}

void UnitSession::setSpeedIndex(int speedIndex) {
    speedIndex_ = speedIndex;
}

int UnitSession::timeoutMs(std::uint8_t requestKind) const {
    return timeoutOverrideMs_ ? *timeoutOverrideMs_ : responseTimeoutMs(speedIndex_, requestKind);
}

std::optional<SessionError> UnitSession::comopen() {
    if (portDevice_.isEmpty()) {
        return SessionError{SessionError::Kind::NoPort, {}, {}};
    }
    cp1_.close();
    if (!cp1_.open(portDevice_, cp1_.baudRate())) {
        return SessionError{SessionError::Kind::PortNotOpened, portName_, cp1_.errorString()};
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
    startRequest(buildFrame(factoryNumber_, kindOfRequest, body), echoNeverAnAnswer(kindOfRequest));
    reply_ = std::move(reply);
    closeOnTimeout_ = true;
    ++requestsSent_;
    emit countersChanged();
    if (kindOfRequest == kind::Diagnostics && !withTimeout) {
        Timer3->stop();
    } else {
        Timer3->start(timeoutMs(kindOfRequest));
    }
    Timer4->start(kIdleCloseMs);
}

void UnitSession::requestUncounted(const Bytes& frame, Reply reply, std::optional<int> timeoutMs) {
    sendUncounted(frame);
    Timer3->stop();
    reply_ = std::move(reply);
    // A ping of the search is one probe of many: an unanswered one leaves the port open.
    closeOnTimeout_ = false;
    if (timeoutMs) {
        Timer3->start(*timeoutMs);
    }
}

void UnitSession::abandon() {
    reply_ = nullptr;
    Timer3->stop();
}

void UnitSession::sendUncounted(const Bytes& frame) {
    // A ping's answer is never empty, so an identical frame is the echo; a speed-set request
    // may be acknowledged by its repetition.
    const bool isPing = frame.size() == kFrameOverhead;
    startRequest(frame, isPing);
}

void UnitSession::startRequest(const Bytes& frame, bool echoIsNoAnswer) {
    lastRequest_ = frame;
    lastEchoIsNoAnswer_ = echoIsNoAnswer;
    lastFrame_.reset();
    assembler_.reset(echoIsNoAnswer ? ByteSpan(lastRequest_) : ByteSpan());
    handingOver_ = false;
    // Whatever is still pending answers no request of ours.
    cp1_.readAll();
    cp1_.write(toQByteArray(frame));
}

std::uint8_t UnitSession::answerCode() const {
    return lastRequest_.size() >= kFrameOverhead ? lastRequest_[4] : kind::Ping;
}

void UnitSession::cp1RxChar() {
    const QByteArray bytes = cp1_.readAll();
    if (handingOver_) {
        return;
    }
    auto frame = assembler_.feed(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())));
    if (frame) {
        lastFrame_ = std::move(frame);
        handingOver_ = true;
        RX_OK();
    }
}

void UnitSession::RX_OK() {
    if (!handingOver_) {
        return;
    }
    handingOver_ = false;
    ++answersVerified_;
    emit countersChanged();
    // A reply may send the next request, which replaces lastFrame_; work on a copy.
    const Frame frame = *lastFrame_;
    if (frame.command() != answerCode()) {
        // Not this request's answer: keep gathering for the real one, timeout untouched.
        assembler_.reset(lastEchoIsNoAnswer_ ? ByteSpan(lastRequest_) : ByteSpan());
        emit lateAnswer(frame);
        return;
    }
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
    if (closeOnTimeout_) {
        comclose();
    }
    Timer3->stop();
    finish(Answer{std::nullopt, SessionError{SessionError::Kind::Timeout, portName_, {}}});
}

void UnitSession::Timer4Timer() {
    comclose();
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
