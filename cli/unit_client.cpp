#include "unit_client.hpp"

#include "link/line_speed.hpp"
#include "link/request_kind.hpp"

#include <QEventLoop>

namespace torl7 {

UnitClient::UnitClient(SerialLine& line, Settings settings, QObject* parent)
    : QObject(parent), line_(line), settings_(settings) {
    timeout_.setSingleShot(true);
    connect(&timeout_, &QTimer::timeout, this, [this] { finish(std::nullopt); });
    connect(&line_, &SerialLine::readyRead, this, &UnitClient::onReadyRead);
    connect(&line_, &SerialLine::lost, this, [this](const QString& reason) {
        lineError_ = reason;
        finish(std::nullopt);
    });
}

bool UnitClient::open(const QString& port, QString& error) {
    if (!line_.open(port, baudForIndex(settings_.speedIndex))) {
        error = line_.errorString();
        return false;
    }
    return true;
}

void UnitClient::close() {
    line_.close();
}

void UnitClient::setSpeedIndex(int speedIndex) {
    settings_.speedIndex = speedIndex;
    line_.setBaudRate(baudForIndex(speedIndex));
}

int UnitClient::timeoutMs(std::uint8_t requestKind) const {
    return settings_.timeoutMs ? *settings_.timeoutMs
                               : responseTimeoutMs(settings_.speedIndex, requestKind);
}

bool UnitClient::send(std::uint8_t requestKind, const Bytes& payload, Done done) {
    return sendFrame(buildFrame(settings_.factoryNumber, requestKind, payload),
                     echoNeverAnAnswer(requestKind), timeoutMs(requestKind), std::move(done));
}

bool UnitClient::sendFrame(const Bytes& frame, bool echoIsNoAnswer, int timeoutMs, Done done) {
    if (busy()) {
        return false;
    }
    request_ = frame;
    echoIsNoAnswer_ = echoIsNoAnswer;
    done_ = std::move(done);
    lineError_.clear();
    // Whatever arrived before this request belongs to no request of ours.
    line_.readAll();
    assembler_.reset(echoIsNoAnswer ? ByteSpan(request_) : ByteSpan());
    sent_.push_back(frame);
    line_.write(QByteArray(reinterpret_cast<const char*>(frame.data()),
                           static_cast<qsizetype>(frame.size())));
    if (!line_.isOpen()) {
        lineError_ = QStringLiteral("the port is closed");
    }
    timeout_.start(timeoutMs);
    return true;
}

void UnitClient::onReadyRead() {
    const QByteArray bytes = line_.readAll();
    if (!busy()) {
        return;
    }
    auto frame = assembler_.feed(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())));
    if (!frame) {
        return;
    }
    if (frame->command() != request_[4]) {
        // Another code answers some other request: keep listening for ours.
        assembler_.reset(echoIsNoAnswer_ ? ByteSpan(request_) : ByteSpan());
        return;
    }
    finish(std::move(frame));
}

void UnitClient::finish(std::optional<Frame> answer) {
    if (!done_) {
        return;
    }
    timeout_.stop();
    Done done = std::move(done_);
    done_ = nullptr;
    done(std::move(answer));
}

std::optional<Frame> UnitClient::exchange(std::uint8_t requestKind, const Bytes& payload) {
    return exchangeFrame(buildFrame(settings_.factoryNumber, requestKind, payload),
                         echoNeverAnAnswer(requestKind), timeoutMs(requestKind));
}

std::optional<Frame> UnitClient::exchangeFrame(const Bytes& frame, bool echoIsNoAnswer,
                                               int timeoutMs) {
    QEventLoop loop;
    std::optional<Frame> result;
    bool ended = false;
    const bool started = sendFrame(frame, echoIsNoAnswer, timeoutMs, [&](std::optional<Frame> a) {
        result = std::move(a);
        ended = true;
        loop.quit();
    });
    if (!started) {
        return std::nullopt;
    }
    if (!ended) {
        loop.exec();
    }
    return result;
}

} // namespace torl7
