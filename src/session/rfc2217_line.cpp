#include "session/rfc2217_line.hpp"

namespace torl7 {

namespace {

Bytes bytesOf(const QByteArray& bytes) {
    return Bytes(bytes.begin(), bytes.end());
}

QString speedNotTakenText(const QString& where, const telnet::ComPortClient::SpeedNotTaken& n) {
    return QStringLiteral("сервер %1 не может работать на %2 бод (установил %3)")
        .arg(where)
        .arg(n.asked)
        .arg(n.set);
}

} // namespace

Rfc2217Line::Rfc2217Line(QObject* parent) : TcpLine(parent) {
    confirmTimer_.setSingleShot(true);
    connect(&confirmTimer_, &QTimer::timeout, this, [this] {
        if (client_ && client_->speedPending()) {
            drop(QStringLiteral("сервер %1 не подтвердил скорость %2 бод за %3 с")
                     .arg(where())
                     .arg(baud_)
                     .arg(kConfirmTimeoutMs / 1000));
        }
    });
}

Rfc2217Line::~Rfc2217Line() = default;

bool Rfc2217Line::negotiate(qint32 baud, const QDeadlineTimer& deadline) {
    client_ = std::make_unique<telnet::ComPortClient>();
    received_.clear();
    const QString tryRaw = QStringLiteral("tcp://") + where();
    const auto waitFailed = [&](const QString& waitingFor) {
        error_ = socket_.state() == QAbstractSocket::ConnectedState
                     ? waitingFor
                     : QStringLiteral("сервер %1 закрыл соединение при согласовании RFC 2217 "
                                      "(занят другим клиентом?)")
                           .arg(where());
        return false;
    };
    sendRaw(client_->start());
    while (client_->comPort() == telnet::ComPortClient::Offer::Pending) {
        if (!waitForBytes(deadline)) {
            return waitFailed(QStringLiteral("сервер %1 не ответил на согласование RFC 2217 "
                                             "(управление COM-портом) за %2 с; если это "
                                             "простой TCP-порт, откройте %3")
                                  .arg(where())
                                  .arg(kConnectTimeoutMs / 1000)
                                  .arg(tryRaw));
        }
    }
    if (client_->comPort() == telnet::ComPortClient::Offer::Refused) {
        error_ = QStringLiteral("сервер %1 не поддерживает RFC 2217 (управление COM-портом); "
                                "если скорость линии задана в самом сервере, откройте %2")
                     .arg(where(), tryRaw);
        return false;
    }
    sendRaw(client_->configure(static_cast<std::uint32_t>(baud)));
    while (client_->speedPending()) {
        if (!waitForBytes(deadline)) {
            return waitFailed(QStringLiteral("сервер %1 не подтвердил скорость %2 бод за %3 с")
                                  .arg(where())
                                  .arg(baud)
                                  .arg(kConnectTimeoutMs / 1000));
        }
    }
    if (const auto notTaken = client_->speedNotTaken()) {
        error_ = speedNotTakenText(where(), *notTaken);
        return false;
    }
    // What the serial side held from before is not an answer to anything of ours.
    received_.clear();
    return true;
}

void Rfc2217Line::setBaudRate(qint32 baud) {
    baud_ = baud;
    if (!isOpen()) {
        return;
    }
    sendRaw(client_->changeSpeed(static_cast<std::uint32_t>(baud)));
    if (client_->speedPending()) {
        confirmTimer_.start(kConfirmTimeoutMs);
    }
}

bool Rfc2217Line::write(const QByteArray& bytes) {
    if (!isOpen()) {
        return false;
    }
    // Held behind a speed change, the bytes are taken all the same: they go out on its
    // confirmation.
    const Bytes now = client_->send(bytesOf(bytes));
    return now.empty() || sendRaw(now);
}

QByteArray Rfc2217Line::readAll() {
    QByteArray out;
    out.swap(received_);
    return out;
}

bool Rfc2217Line::speedTaken() {
    const auto notTaken = client_->speedNotTaken();
    if (!notTaken) {
        return true;
    }
    drop(speedNotTakenText(where(), *notTaken));
    return false;
}

void Rfc2217Line::takeIncoming() {
    if (!client_) {
        socket_.readAll();
        return;
    }
    const QByteArray bytes = socket_.readAll();
    const auto incoming =
        client_->receive(ByteSpan(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                  static_cast<std::size_t>(bytes.size())));
    sendRaw(incoming.toSend);
    received_.append(reinterpret_cast<const char*>(incoming.data.data()),
                     static_cast<qsizetype>(incoming.data.size()));
    if (!client_->speedPending()) {
        confirmTimer_.stop();
    }
    if (isOpen() && speedTaken() && !incoming.data.empty()) {
        emit readyRead();
    }
}

} // namespace torl7
