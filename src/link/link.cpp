#include "link/link.hpp"

#include "app/message_boxes.hpp"
#include "link/line_speed.hpp"

#include <QComboBox>
#include <QLabel>
#include <QSpinBox>

namespace torl7 {

namespace {

constexpr int kIdleCloseMs = 3000;


} // namespace

Link::Link(SerialLine& cp1, MessageBoxes& boxes, Controls controls, QObject* parent)
    : QObject(parent), Timer3(new QTimer(this)), Timer4(new QTimer(this)), cp1_(cp1), boxes_(boxes),
      controls_(controls) {
    Timer3->setInterval(300);
    Timer4->setInterval(kIdleCloseMs);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer4->setObjectName(QStringLiteral("Timer4"));
    connect(Timer3, &QTimer::timeout, this, &Link::Timer3Timer);
    connect(Timer4, &QTimer::timeout, this, &Link::Timer4Timer);
    connect(&cp1_, &SerialLine::readyRead, this, &Link::cp1RxChar);
    connect(&cp1_, &SerialLine::lost, this, [this](const QString& reason) {
        Timer4->stop();
        boxes_.error(QStringLiteral("Порт закрыт: связь с адаптером потеряна (%1).").arg(reason),
                     kCaptionPort);
    });
}

QString portDevice(const QComboBox* ports, int index) {
    const QVariant data = ports->itemData(index);
    return data.isValid() ? data.toString() : ports->itemText(index);
}

bool Link::comopen() {
    const int index = controls_.cmbPorts->currentIndex();
    if (index < 0) {
        boxes_.error(QStringLiteral("Не найден СОМ-порт!"), kCaptionPort);
        return false;
    }
    cp1_.close();
    if (!cp1_.open(portDevice(controls_.cmbPorts, index), cp1_.baudRate())) {
        boxes_.error(QStringLiteral("Ошибка открытия порта !"), kCaptionPort);
    }
    emit portIndexUsed(index);
    return true;
}

void Link::comclose() {
    cp1_.close();
    Timer4->stop();
}

void Link::Comspeed() {
    const int baud = baudForIndex(controls_.cb_speed->currentIndex());
    if (baud != 0) {
        cp1_.setBaudRate(baud);
    }
}

void Link::TXD() {
    Bytes body;
    if (requestKind == kind::Write) {
        const auto builder = writeBuilders_.find(payload[0]);
        if (builder == writeBuilders_.end()) {
            return;
        }
        auto built = builder->second();
        if (!built) {
            return;
        }
        body = std::move(*built);
    } else {
        const std::size_t length = callerPayloadLength(requestKind);
        body.assign(payload.begin(), payload.begin() + static_cast<long>(length));
    }
    const auto factoryNumber = static_cast<std::uint16_t>(controls_.frm1_zn->value());
    startRequest(buildFrame(factoryNumber, requestKind, body), echoNeverAnAnswer(requestKind));
    increment(controls_.st_txd);
    if (requestKind == kind::Diagnostics) {
        Timer3->stop();
    } else {
        Timer3->start(responseTimeoutMs(controls_.cb_speed->currentIndex(), requestKind));
    }
    Timer4->start(kIdleCloseMs);
}

void Link::sendUncounted(const Bytes& frame) {
    // A ping's answer is never empty, so an identical frame is the echo; a speed-set request
    // may be acknowledged by its repetition.
    const bool isPing = frame.size() == kFrameOverhead;
    startRequest(frame, isPing);
}

void Link::startRequest(const Bytes& frame, bool echoIsNoAnswer) {
    lastRequest_ = frame;
    lastEchoIsNoAnswer_ = echoIsNoAnswer;
    lastFrame_.reset();
    assembler_.reset(echoIsNoAnswer ? ByteSpan(lastRequest_) : ByteSpan());
    linkFlags = 0;
    cp1_.write(QByteArray(reinterpret_cast<const char*>(frame.data()),
                          static_cast<qsizetype>(frame.size())));
}

void Link::resumeWaiting() {
    if (lastRequest_.size() < kFrameOverhead) {
        return;
    }
    assembler_.reset(lastEchoIsNoAnswer_ ? ByteSpan(lastRequest_) : ByteSpan());
    linkFlags = 0;
    // The ping, the speed-set request and the poll's own requests have no response timeout.
    const std::uint8_t outstanding = lastRequest_[4];
    if (outstanding != kind::Ping && outstanding != kind::Diagnostics) {
        Timer3->start(responseTimeoutMs(controls_.cb_speed->currentIndex(), outstanding));
    }
}

void Link::cp1RxChar() {
    const QByteArray bytes = cp1_.readAll();
    if (linkFlags & 1) {
        return;
    }
    auto frame = assembler_.feed(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                          static_cast<std::size_t>(bytes.size())));
    if (frame) {
        lastFrame_ = std::move(frame);
        linkFlags = 1;
        RX_OK();
    }
}

void Link::RX_OK() {
    if (linkFlags != 1) {
        return;
    }
    linkFlags = 0;
    Timer3->stop();
    increment(controls_.st_rxd);
    // The handler may send the next request, which replaces lastFrame_; hand it a copy.
    const Frame frame = *lastFrame_;
    if (const auto observer = observers_.find(frame.command()); observer != observers_.end()) {
        observer->second(frame);
    }
    const auto bySelector = selectorHandlers_.find({frame.command(), frame.reader().byte(0)});
    if (bySelector != selectorHandlers_.end() && bySelector->second) {
        bySelector->second(frame);
        return;
    }
    const auto handler = handlers_.find(frame.command());
    if (handler != handlers_.end() && handler->second) {
        handler->second(frame);
    }
}

void Link::Timer3Timer() {
    comclose();
    Timer3->stop();
    // A report chain that lost an answer is over; the next plain read must not continue it.
    if (searchState >= 20 && searchState <= 22) {
        searchState = 0;
    }
    boxes_.error(kNoAnswerText, kCaptionTool);
}

void Link::Timer4Timer() {
    comclose();
}

void Link::setHandler(std::uint8_t responseCode, Handler handler) {
    handlers_[responseCode] = std::move(handler);
}

void Link::setHandler(std::uint8_t responseCode, std::uint8_t selector, Handler handler) {
    selectorHandlers_[{responseCode, selector}] = std::move(handler);
}

void Link::observeAnswers(std::uint8_t responseCode, Handler observer) {
    observers_[responseCode] = std::move(observer);
}

void Link::setWriteBuilder(std::uint8_t subMode, PayloadBuilder builder) {
    writeBuilders_[subMode] = std::move(builder);
}

void Link::increment(QLabel* counter) {
    bool ok = false;
    const qlonglong value = counter->text().toLongLong(&ok);
    counter->setText(QString::number(ok ? value + 1 : 1));
}

} // namespace torl7
