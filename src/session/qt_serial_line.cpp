#include "session/qt_serial_line.hpp"

namespace torl7 {

QtSerialLine::QtSerialLine(QObject* parent) : SerialLine(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &SerialLine::readyRead);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialLine::onError);
}

bool QtSerialLine::isOpen() const {
    return port_.isOpen();
}

bool QtSerialLine::open(const QString& portName, qint32 baud) {
    if (port_.isOpen()) {
        port_.close();
    }
    baud_ = baud;
    port_.setPortName(portName);
    port_.setBaudRate(baud);
    port_.setDataBits(QSerialPort::Data8);
    port_.setParity(QSerialPort::NoParity);
    port_.setStopBits(QSerialPort::OneStop);
    port_.setFlowControl(QSerialPort::NoFlowControl);
    port_.setReadBufferSize(4096);
    if (!port_.open(QIODevice::ReadWrite)) {
        return false;
    }
    // The unit's RS-485 adapters take their power or direction from these lines. A
    // pseudo-terminal refuses both setters; that is not a failure of the open.
    port_.setDataTerminalReady(false);
    port_.setRequestToSend(true);
    // Qt does not flush what the driver kept from before the open.
    port_.clear();
    port_.clearError();
    return true;
}

void QtSerialLine::close() {
    if (port_.isOpen()) {
        port_.close();
    }
}

void QtSerialLine::setBaudRate(qint32 baud) {
    baud_ = baud;
    port_.setBaudRate(baud);
}

bool QtSerialLine::write(const QByteArray& bytes) {
    if (!port_.isOpen() || port_.write(bytes) != bytes.size()) {
        return false;
    }
    // Into the driver now: left to the next turn of the event loop, the request would wait
    // until the window has repainted what the last answer changed, and that delay would add to
    // every exchange of a poll.
    port_.flush();
    return true;
}

QByteArray QtSerialLine::readAll() {
    return port_.isOpen() ? port_.readAll() : QByteArray();
}

QString QtSerialLine::errorString() const {
    return port_.errorString();
}

void QtSerialLine::onError(QSerialPort::SerialPortError error) {
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
        // A device that went away: reading it again only repeats the error.
        if (port_.isOpen()) {
            const QString reason = port_.errorString();
            port_.close();
            emit lost(reason);
        }
        break;
    case QSerialPort::NoError:
    case QSerialPort::DeviceNotFoundError:
    case QSerialPort::PermissionError:
    case QSerialPort::OpenError:
    case QSerialPort::NotOpenError:
    case QSerialPort::UnsupportedOperationError:
    case QSerialPort::TimeoutError:
    case QSerialPort::UnknownError:
        // An open that failed says so itself; a setter a pseudo-terminal does not support
        // is no failure of the line.
        break;
    }
}

} // namespace torl7
