// The line the port text names, chosen when it is opened: a local serial port, a serial
// server's raw TCP port (tcp://HOST:PORT) or its RFC 2217 port (rfc2217://HOST:PORT). The
// session and every operation talk to this one line whichever it is.
#pragma once

#include "session/qt_serial_line.hpp"
#include "session/rfc2217_line.hpp"
#include "session/tcp_line.hpp"

namespace torl7 {

class PortLine final : public SerialLine {
    Q_OBJECT
public:
    explicit PortLine(QObject* parent = nullptr);

    bool isOpen() const override { return active_ && active_->isOpen(); }
    bool open(const QString& portName, qint32 baud) override;
    void close() override;
    void setBaudRate(qint32 baud) override;
    qint32 baudRate() const override { return baud_; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QString errorString() const override;

private:
    void follow(SerialLine& line);

    QtSerialLine serial_;
    TcpLine tcp_;
    Rfc2217Line rfc2217_;
    SerialLine* active_ = nullptr;
    qint32 baud_ = 115200;
    QString error_;
};

} // namespace torl7
