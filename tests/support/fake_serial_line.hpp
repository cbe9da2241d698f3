// An in-memory serial line for window tests.
// Controls: feed() delivers bytes from the "unit" and raises readyRead; written() is everything
// the tool wrote while the port was open; failNextOpen makes open() fail; loseDevice() acts
// like an adapter pulled out. openCount and lastPortName tell how the tool opened it.
#pragma once

#include "session/serial_line.hpp"

#include <vector>

namespace torl7::test {

class FakeSerialLine final : public SerialLine {
    Q_OBJECT
public:
    bool isOpen() const override { return open_; }
    bool open(const QString& portName, qint32 baud) override {
        lastPortName = portName;
        baud_ = baud;
        if (failNextOpen) {
            failNextOpen = false;
            return false;
        }
        open_ = true;
        ++openCount;
        pending_.clear();
        return true;
    }
    void close() override { open_ = false; }
    void setBaudRate(qint32 baud) override { baud_ = baud; }
    qint32 baudRate() const override { return baud_; }
    bool write(const QByteArray& bytes) override {
        if (open_) {
            written_.append(bytes);
            writes.push_back(bytes);
        }
        return open_;
    }
    QByteArray readAll() override {
        QByteArray out;
        out.swap(pending_);
        return out;
    }
    QString errorString() const override { return QStringLiteral("fake"); }

    // Bytes that have arrived but whose receive event has not been delivered yet.
    void queue(const QByteArray& bytes) { pending_.append(bytes); }
    void feed(const QByteArray& bytes) {
        pending_.append(bytes);
        emit readyRead();
    }
    template <typename Container> void feedBytes(const Container& bytes) {
        feed(QByteArray(reinterpret_cast<const char*>(bytes.data()),
                        static_cast<qsizetype>(bytes.size())));
    }
    void loseDevice() {
        open_ = false;
        emit lost(QStringLiteral("device removed"));
    }
    QByteArray written() const { return written_; }
    void clearWritten() {
        written_.clear();
        writes.clear();
    }

    bool failNextOpen = false;
    int openCount = 0;
    QString lastPortName;
    std::vector<QByteArray> writes; // one entry per write call

private:
    bool open_ = false;
    qint32 baud_ = 115200;
    QByteArray written_;
    QByteArray pending_;
};

} // namespace torl7::test
