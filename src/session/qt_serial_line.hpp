// The serial port of the machine, through Qt Serial Port.
#pragma once

#include "session/serial_line.hpp"

#include <QSerialPort>

namespace torl7 {

class QtSerialLine final : public SerialLine {
    Q_OBJECT
public:
    explicit QtSerialLine(QObject* parent = nullptr);

    bool isOpen() const override;
    bool open(const QString& portName, qint32 baud) override;
    void close() override;
    void setBaudRate(qint32 baud) override;
    qint32 baudRate() const override { return baud_; }
    bool write(const QByteArray& bytes) override;
    QByteArray readAll() override;
    QString errorString() const override;

private:
    void onError(QSerialPort::SerialPortError error);

    QSerialPort port_;
    qint32 baud_ = 115200;
};

} // namespace torl7
