// The byte channel to the unit, behind an interface so that tests put an in-memory peer (or
// the simulated unit) where the real serial port would be.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

namespace torl7 {

class SerialLine : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    virtual bool isOpen() const = 0;
    // Opens `portName` at `baud`, 8 data bits, no parity, one stop bit, no flow control,
    // exclusively, and drops whatever the driver still held from before. False when the port
    // cannot be opened; errorString() tells why.
    virtual bool open(const QString& portName, qint32 baud) = 0;
    virtual void close() = 0;
    // Takes effect at once on an open port, otherwise at the next open.
    virtual void setBaudRate(qint32 baud) = 0;
    virtual qint32 baudRate() const = 0;
    // Queues the bytes for sending. False when the line did not take them (a closed port, a
    // write the system refused): then nothing went out.
    virtual bool write(const QByteArray& bytes) = 0;
    // Everything that has arrived and not been read yet.
    virtual QByteArray readAll() = 0;
    virtual QString errorString() const = 0;

signals:
    // Bytes have arrived. Delivered on the thread of the window, one at a time.
    void readyRead();
    // The port went away under us (an adapter pulled out); it has been closed already.
    void lost(const QString& reason);
};

} // namespace torl7
