#include "session/port_line.hpp"

#include "protocol/line_endpoint.hpp"

namespace torl7 {

PortLine::PortLine(QObject* parent) : SerialLine(parent) {
    follow(serial_);
    follow(tcp_);
    follow(rfc2217_);
}

void PortLine::follow(SerialLine& line) {
    connect(&line, &SerialLine::readyRead, this, [this, &line] {
        if (&line == active_) {
            emit readyRead();
        }
    });
    connect(&line, &SerialLine::lost, this, [this, &line](const QString& reason) {
        if (&line == active_) {
            emit lost(reason);
        }
    });
}

bool PortLine::open(const QString& portName, qint32 baud) {
    baud_ = baud;
    error_.clear();
    const auto endpoint = parseLineEndpoint(portName.toStdString());
    SerialLine* chosen = &serial_;
    if (!endpoint && isNetworkPort(portName.toStdString())) {
        chosen = &tcp_; // says what is wrong with the address
    } else if (endpoint && endpoint->kind == LineEndpoint::Kind::RawTcp) {
        chosen = &tcp_;
    } else if (endpoint && endpoint->kind == LineEndpoint::Kind::Rfc2217) {
        chosen = &rfc2217_;
    }
    if (active_ && active_ != chosen) {
        active_->close();
    }
    active_ = chosen;
    return active_->open(portName, baud);
}

void PortLine::close() {
    if (active_) {
        active_->close();
    }
}

void PortLine::setBaudRate(qint32 baud) {
    baud_ = baud;
    if (active_) {
        active_->setBaudRate(baud);
    }
}

bool PortLine::write(const QByteArray& bytes) {
    return active_ && active_->write(bytes);
}

QByteArray PortLine::readAll() {
    return active_ ? active_->readAll() : QByteArray();
}

QString PortLine::errorString() const {
    return active_ ? active_->errorString() : error_;
}

} // namespace torl7
