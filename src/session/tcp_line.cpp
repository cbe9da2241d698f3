#include "session/tcp_line.hpp"

#include <QHostAddress>
#include <QHostInfo>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#ifdef Q_OS_WIN
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

namespace torl7 {

namespace {

// A dead server is noticed within about 20 s: probes after 10 s of silence, three of them
// 3 s apart, and bytes unacknowledged for 20 s end the connection.
constexpr int kKeepAliveIdleS = 10;
constexpr int kKeepAliveIntervalS = 3;
constexpr int kKeepAliveProbes = 3;
constexpr int kUnacknowledgedMs = 20000;

void setIntOption(qintptr fd, int level, int name, int value) {
#ifdef Q_OS_WIN
    ::setsockopt(static_cast<SOCKET>(fd), level, name, reinterpret_cast<const char*>(&value),
                 sizeof value);
#else
    ::setsockopt(static_cast<int>(fd), level, name, &value, sizeof value);
#endif
}

// Qt turns keep-alive on; how soon it notices is the system's business, hours by default.
void tuneKeepAlive(qintptr fd) {
    [[maybe_unused]] const auto set = [fd](int name, int value) {
        setIntOption(fd, IPPROTO_TCP, name, value);
    };
#ifdef TCP_KEEPIDLE
    set(TCP_KEEPIDLE, kKeepAliveIdleS);
#endif
#ifdef TCP_KEEPINTVL
    set(TCP_KEEPINTVL, kKeepAliveIntervalS);
#endif
#ifdef TCP_KEEPCNT
    set(TCP_KEEPCNT, kKeepAliveProbes);
#endif
#ifdef TCP_USER_TIMEOUT
    set(TCP_USER_TIMEOUT, kUnacknowledgedMs);
#endif
}

// The name looked up on a thread of its own, so that a resolver that does not answer holds
// the open no longer than its bound. A lookup still running then finishes unheard.
std::optional<QHostAddress> lookUp(const QString& host, const QDeadlineTimer& deadline,
                                   bool& timedOut) {
    QHostAddress literal;
    if (literal.setAddress(host)) {
        return literal;
    }
    struct Shared {
        std::mutex mutex;
        std::condition_variable done;
        std::optional<QHostInfo> info;
    };
    auto shared = std::make_shared<Shared>();
    std::thread([shared, host] {
        QHostInfo info = QHostInfo::fromName(host);
        std::lock_guard lock(shared->mutex);
        shared->info = std::move(info);
        shared->done.notify_all();
    }).detach();
    std::unique_lock lock(shared->mutex);
    timedOut = !shared->done.wait_for(lock, std::chrono::milliseconds(deadline.remainingTime()),
                                      [&] { return shared->info.has_value(); });
    if (timedOut || shared->info->error() != QHostInfo::NoError) {
        return std::nullopt;
    }
    const QList<QHostAddress> addresses = shared->info->addresses();
    // IPv4 first: a server on a substation network seldom listens on IPv6.
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol) {
            return address;
        }
    }
    if (addresses.isEmpty()) {
        return std::nullopt;
    }
    return addresses.front();
}

} // namespace

TcpLine::TcpLine(QObject* parent) : SerialLine(parent) {
    connect(&socket_, &QTcpSocket::readyRead, this, [this] { takeIncoming(); });
    connect(&socket_, &QTcpSocket::disconnected, this, &TcpLine::onDisconnected);
    connect(&socket_, &QTcpSocket::errorOccurred, this, &TcpLine::onDisconnected);
}

// The socket, destroyed last, says "disconnected" as it goes; by then the line's own members
// are gone, so it must no longer reach them.
TcpLine::~TcpLine() {
    QObject::disconnect(&socket_, nullptr, this, nullptr);
}

QString TcpLine::where() const {
    return QString::fromStdString(hostPortText(server_));
}

bool TcpLine::open(const QString& portName, qint32 baud) {
    close();
    baud_ = baud;
    error_.clear();
    const auto endpoint = parseLineEndpoint(portName.toStdString());
    if (!endpoint || endpoint->kind == LineEndpoint::Kind::Device) {
        error_ = QStringLiteral("«%1» не адрес сервера: нужно tcp://УЗЕЛ:ПОРТ или "
                                "rfc2217://УЗЕЛ:ПОРТ")
                     .arg(portName);
        return false;
    }
    server_ = endpoint->server;
    const QDeadlineTimer deadline(kConnectTimeoutMs);
    opening_ = true;
    const bool connected = connectTo(server_, deadline) && negotiate(baud, deadline);
    opening_ = false;
    if (!connected) {
        socket_.abort();
        return false;
    }
    open_ = true;
    return true;
}

bool TcpLine::connectTo(const HostPort& server, const QDeadlineTimer& deadline) {
    bool timedOut = false;
    const QString host = QString::fromStdString(server.host);
    const auto address = lookUp(host, deadline, timedOut);
    if (!address) {
        error_ = timedOut ? QStringLiteral("сервер %1: имя %2 не найдено за %3 с")
                                .arg(where(), host)
                                .arg(kConnectTimeoutMs / 1000)
                          : QStringLiteral("сервер %1: узел %2 не найден").arg(where(), host);
        return false;
    }
    socket_.connectToHost(*address, server.port);
    if (socket_.waitForConnected(static_cast<int>(std::max<qint64>(deadline.remainingTime(), 1)))) {
        // Every request is one small write: it must leave at once, not wait for more.
        socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
        socket_.setSocketOption(QAbstractSocket::KeepAliveOption, 1);
        tuneKeepAlive(socket_.socketDescriptor());
        return true;
    }
    switch (socket_.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        error_ = QStringLiteral("сервер %1 отказал в соединении: на этом порту никто не "
                                "слушает")
                     .arg(where());
        break;
    case QAbstractSocket::SocketTimeoutError:
        error_ = QStringLiteral("сервер %1 не ответил за %2 с")
                     .arg(where())
                     .arg(kConnectTimeoutMs / 1000);
        break;
    default:
        error_ = QStringLiteral("сервер %1 недоступен: %2").arg(where(), socket_.errorString());
        break;
    }
    return false;
}

bool TcpLine::negotiate(qint32, const QDeadlineTimer&) {
    return true;
}

void TcpLine::close() {
    open_ = false;
    // An orderly close where the bytes have left: the server frees its serial side at once.
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        socket_.disconnectFromHost();
    }
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        socket_.abort();
    }
}

bool TcpLine::write(const QByteArray& bytes) {
    return open_ && sendRaw(bytes);
}

bool TcpLine::sendRaw(const QByteArray& bytes) {
    if (socket_.state() != QAbstractSocket::ConnectedState ||
        socket_.write(bytes) != bytes.size()) {
        return false;
    }
    // Into the system now, as the serial line does: the event loop may be busy painting.
    socket_.flush();
    return true;
}

bool TcpLine::sendRaw(const std::vector<std::uint8_t>& bytes) {
    return sendRaw(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                              static_cast<qsizetype>(bytes.size())));
}

QByteArray TcpLine::readAll() {
    return open_ ? socket_.readAll() : QByteArray();
}

void TcpLine::takeIncoming() {
    if (open_) {
        emit readyRead();
    }
}

bool TcpLine::waitForBytes(const QDeadlineTimer& deadline) {
    if (socket_.bytesAvailable() > 0) {
        takeIncoming();
        return true;
    }
    const qint64 left = deadline.remainingTime();
    return left > 0 && socket_.state() == QAbstractSocket::ConnectedState &&
           socket_.waitForReadyRead(static_cast<int>(left));
}

void TcpLine::drop(const QString& reason) {
    if (!open_) {
        return;
    }
    open_ = false;
    error_ = reason;
    socket_.abort();
    emit lost(reason);
}

void TcpLine::onDisconnected() {
    if (!open_) {
        return;
    }
    // What the server sent before it went is handed on first.
    if (socket_.bytesAvailable() > 0) {
        takeIncoming();
    }
    if (socket_.state() == QAbstractSocket::ConnectedState) {
        return; // an error that left the connection standing (a wait that ran out)
    }
    const QAbstractSocket::SocketError error = socket_.error();
    drop(error == QAbstractSocket::RemoteHostClosedError ||
                 error == QAbstractSocket::UnknownSocketError
             ? QStringLiteral("сервер %1 закрыл соединение").arg(where())
             : QStringLiteral("связь с сервером %1 прервана: %2")
                   .arg(where(), socket_.errorString()));
}

} // namespace torl7
